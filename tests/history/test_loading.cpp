// Loading tank files into tank histories: the reading rules, the thinning of
// runs, the cap, where the file is looked for, and the client's incremental
// reload, which must always equal a full load.
#include "HistoryTestSupport.h"

#include "history/TankFileParser.h"

#include "core/DateText.h"
#include "core/SafeFile.h"

#include <atomic>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Refreshed = TankHistoryLoader::Refreshed;

class LoadingTest : public HistoryTest
{
protected:
    static void append(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Append));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    TankHistoryLoader loader{switches, clock};
};

static QByteArray line(const QDateTime &t, const QByteArray &rest)
{
    return FormatDateText(t).toLatin1() + ',' + rest + "\r\n";
}

// The entries of a history as "day.hh:mm:ss value temperature".
static QString entries(const TankHistory &h)
{
    QStringList out;
    for (int i = 1; i <= h.count(); ++i)
        out << h.time(i).toString("d.hh:mm:ss") +
                   QStringLiteral(" %1 %2").arg(h.HistoryValues[i]).arg(h.HistoryTemps[i]);
    return out.join(" | ");
}

TEST_F(LoadingTest, ReadingRules)
{
    const struct {
        const char *name;
        QByteArray file;
        const char *entries;
    } cases[] = {
        {"malformed lines skipped, numbers read as far as they go, temperatures halved to even, LF alone",
         "05.12.2026 10:00:00,1234,Liter,12\r\n05.12.2026 11:00:00,57.5,%\r\nshort,1,Liter,1\r\n"
         "no comma in this line at all\r\n,05.12.2026 11:30:00,1,Liter,1\r\n"
         "05.12.2026 1x:00:00,1,Liter,1\r\n07.12.2026 12:00:00,5,Liter,5\r\n"
         "05.12.2026 12:00:00, 12.5abc,m,-2.5\r\n05.12.2026 13:00:00,abc,Liter,13.5\r\n"
         "05.12.2026 14:00,7,Liter,1,extra\n05.12.2026 15:00:00,-3,m,x\r\n\r\n",
         "5.10:00:00 1234 12 | 5.11:00:00 57.5 -9999 | 5.12:00:00 12.5 -2 | 5.13:00:00 0 14 | "
         "5.14:00:00 7 1 | 5.15:00:00 -3 0"},
        {"a run of equal levels within one hour of the day (whatever the date) keeps its first and latest "
         "entry",
         "01.11.2026 09:00:00,500,Liter,1\r\n02.11.2026 09:00:00,490,Liter,1\r\n"
         "03.11.2026 12:10:00,480,Liter,2\r\n04.11.2026 12:20:00,480,Liter,3\r\n"
         "05.11.2026 12:30:00,480,Liter,4\r\n",
         "1.09:00:00 500 1 | 2.09:00:00 490 1 | 3.12:10:00 480 2 | 5.12:30:00 480 4"},
        {"a run that starts the file or goes into the next hour is kept",
         "05.12.2026 09:10:00,480,Liter,2\r\n05.12.2026 09:20:00,480,Liter,3\r\n"
         "05.12.2026 09:30:00,480,Liter,4\r\n05.12.2026 11:00:00,490,Liter,1\r\n"
         "05.12.2026 12:50:00,480,Liter,2\r\n05.12.2026 12:55:00,480,Liter,3\r\n"
         "05.12.2026 13:00:00,480,Liter,4\r\n",
         "5.09:10:00 480 2 | 5.09:20:00 480 3 | 5.09:30:00 480 4 | 5.11:00:00 490 1 | 5.12:50:00 480 2 | "
         "5.12:55:00 480 3 | 5.13:00:00 480 4"},
        {"equal time stamps keep the first line with the greatest level",
         "05.12.2026 09:59:00,1,Liter,0\r\n05.12.2026 10:00:00,5,Liter,1\r\n"
         "05.12.2026 10:00:00,7,Liter,2\r\n05.12.2026 10:00:00,6,Liter,3\r\n"
         "05.12.2026 10:00:00,7,Liter,4\r\n05.12.2026 10:01:00,2,Liter,5\r\n",
         "5.09:59:00 1 0 | 5.10:00:00 7 2 | 5.10:01:00 2 5"},
        {"a torn last line is skipped", "05.12.2026 10:00:00,100,Liter,1\r\n05.12.2026 11:00:00,99",
         "5.10:00:00 100 1"},
        {"a CR alone ends no line", "05.12.2026 10:00:00,100,Liter,1\r\n05.12.2026 11:00:00,99,Liter,1\r",
         "5.10:00:00 100 1"},
        {"a line more than a day ahead of now is skipped",
         "06.12.2026 15:09:54,20,Liter,1\r\n06.12.2026 15:09:55,21,Liter,1\r\n", "6.15:09:54 20 1"},
        {"US,Gal is one unit: the temperature is the fifth field",
         "05.12.2026 10:00:00,1234,US,Gal,12\r\n05.12.2026 11:00:00,1200,US,Gal\r\n"
         "05.12.2026 12:00:00,1100,US,Gal,-3.5\r\n05.12.2026 13:00:00,1000,US,Gallons,8\r\n",
         "5.10:00:00 1234 12 | 5.11:00:00 1200 -9999 | 5.12:00:00 1100 -4 | 5.13:00:00 1000 0"},
    };
    for (const auto &c : cases) {
        writeBytes(file(1), c.file);
        const TankHistory h = load(1);
        EXPECT_EQ(entries(h), QString::fromLatin1(c.entries)) << c.name;
        EXPECT_EQ(h.HistoryTimes.size(), size_t(h.count() + 1)) << "the placeholder stays in front";
    }
}

// Lines near the usual form with every kind of deviation (the edges of the
// date are tried one by one below). nearFuture: also lines about a day ahead,
// which a later clock accepts.
static QByteArray randomLines(std::mt19937 &rng, int count, const QDateTime &now, bool nearFuture = true)
{
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const char *units[] = {"Liter", "m", "US,Gal", "", "m\xB3", "US", "a unit longer than any written"};
    const char *temps[] = {"12", "-3", "-0", "12.5", "13.5", "-2.5", "abc", " 7", "1234567890123", "", "1,2"};
    const char *values[] = {
        "1234", "57.5", "0001234", " 12", "+4", "abc", "", "123456789012345678901234", "1.234567890123456789",
        "1.2.3"};
    QByteArray out;
    QDateTime t = now.addDays(-3);
    double lastValueChoice = 0;
    for (int i = 0; i < count; ++i) {
        if (pick(3))
            t = t.addSecs(pick(4) == 0 ? 0 : pick(1800));
        const bool ahead = nearFuture && pick(14) == 0; // about a day ahead
        QByteArray date = FormatDateText(ahead ? now.addSecs(86395 + pick(10)) : t).toLatin1();
        if (pick(7) == 0)
            date[pick(19)] = char(32 + pick(96)); // one character off
        else if (pick(7) == 0)
            date.chop(1 + pick(3));
        QByteArray v = values[pick(int(std::size(values)))];
        if (pick(2))
            v = QByteArray::number(lastValueChoice); // runs of equal levels
        else if (pick(2))
            lastValueChoice = double(pick(5));
        QByteArray l = date + ',' + v;
        if (pick(10))
            l += QByteArray(",") + units[pick(int(std::size(units)))];
        if (pick(5))
            l += QByteArray(",") + temps[pick(int(std::size(temps)))];
        if (pick(20) == 0)
            l = QByteArray(pick(40), char(pick(256))); // garbage
        if (pick(30) == 0)
            l.insert(pick(int(l.size()) + 1), '\0');
        const char *ends[] = {"\r\n", "\n", "\r\r\n", "\r\n"};
        out += l + ends[pick(4)];
    }
    return out;
}

// The vectorised readers against the general rules: random lines of every
// kind, and lines at the edges of the usual form (with enough bytes after
// them for the look-ahead), fed in pieces as the loader's blocks cut them.
TEST_F(LoadingTest, VectorisedReadersMatchTheGeneralRules)
{
    // The edges of the usual form, and the fields after a usual date and time.
    QList<QByteArray> edges =
        QByteArray("29.02.2024 23:59:59,12345678,Liter,-1234567|29.02.2025 00:00:00,1,Liter,1|"
                   "29.02.2000 12:00:00,2,Liter,2|29.02.2100 12:00:00,3,Liter,3|31.12.2025 23:59:59,1.5,m,3|"
                   "01.01.2026 00:00:00,1.25,m,-3|00.01.2026 10:00:00,4,m,4|15.13.2025 10:00:00,5,m,5|"
                   "31.04.2026 10:00:00,6,m,6|15.06.0150 12:00:00,7,m,7|15.06.0099 12:00:00,8,m,8|"
                   "15.06.2026 24:00:00,9,m,9|15.06.2026 23:60:00,10,m,10|15.06.2026 23:00:60,11,m,11|"
                   "15.06.2026 9:00:00,12,m,12|15.06.2026 09:00,13,m,13|15.06.2026 09:00:24;5,Liter,5|"
                   "15-06-2026 09:00:26,5,Liter,5|06.12.2026 15:09:54,20,Liter,1|"
                   "06.12.2026 15:09:55,21,Liter,1|30.12.1899 00:00:00,5,Liter,1")
            .split('|');
    for (const QByteArray &rest :
         QByteArray("0.5,Liter,1|12.,Liter,1|1.2345678,Liter,1|12345.678,Liter,1|.5,Liter,1|1e3,Liter,1|"
                    "123456789,Liter,1|-5,Liter,1|5,Liter,-0|5,Liter,+5|5,Liter,0012|5,Liter,12345678|"
                    "5,Liter,1.5|5,Liter,|5,Liter|5,US,Gal,5|5,US,Gal|5,US,Galx,5|5,US,Gal,5,6|5,US,5|"
                    "5,Liter,5,6|5,,5|,Liter,5|5,Liter,5 |5,Liter,-")
             .split('|'))
        edges << "15.06.2026 09:00:00," + rest;
    QList<QByteArray> inputs;
    for (const QByteArray &edge : edges)
        for (const char *end : {"\r\n", "\n", "\r\r\n"}) {
            QByteArray bytes = edge + end;
            for (int i = 0; i < 3; ++i)
                bytes += line(At(2026, 12, 5, 10 + i), QByteArray::number(100 + i) + ",Liter,1");
            inputs << bytes;
        }
    std::mt19937 rng(20261205);
    for (int round = 0; round < 40; ++round)
        inputs << randomLines(rng, 400, now) + (round % 4 ? "" : "05.12.2026 10:00:00,12"); // torn
    const qint64 nowSecs = now.toSecsSinceEpoch();
    std::uniform_int_distribution<int> piece(1, 700);
    for (const QByteArray &bytes : inputs) {
        TankFileParser::State general;
        const TankHistory reference = TankFileParser::Parse(bytes.constData(), bytes.size(), nowSecs,
                                                            TankFileParser::Reader::General, &general);
        ASSERT_GE(reference.count(), 3);
        for (const auto reader : {TankFileParser::Reader::Fastest, TankFileParser::Reader::Portable}) {
            TankHistory h;
            TankFileParser::State st;
            TankFileParser parser(h, st, nowSecs, reader);
            for (qsizetype done = 0, upto = 0; upto < bytes.size();) {
                upto = std::min<qsizetype>(bytes.size(), upto + piece(rng));
                done += parser.feed(bytes.constData() + done, upto - done);
            }
            ASSERT_TRUE(sameHistory(h, reference)) << bytes.left(60).constData() << " reader " << int(reader);
            EXPECT_EQ(st.previousTime, general.previousTime);
            EXPECT_EQ(st.latestAccepted, general.latestAccepted);
            EXPECT_EQ(st.earliestRefused, general.earliestRefused);
        }
    }
}

// A plain append is read on from where the last load stopped; whatever else
// happened (a file that appears, shrinks, is replaced or rewritten, a history
// changed elsewhere, a clock that moved past a line ahead of it) is read whole
// again. Either way the history equals a full load.
TEST_F(LoadingTest, RefreshEqualsAFullLoad)
{
    QByteArray bytes, half;
    for (int i = 0; i < 100; ++i) {
        bytes += line(At(2026, 12, 1).addSecs(i * 3600), QByteArray::number(1000 - i) + ",Liter,5");
        if (i == 49)
            half = bytes;
    }
    QByteArray other = bytes;
    other.replace(",950,", ",951,");
    other += line(At(2026, 12, 5), "1,Liter,1");
    QByteArray rewritten = other;
    rewritten.replace(rewritten.size() - 40, 3, "999");
    rewritten += line(At(2026, 12, 5, 1), "2,Liter,1");
    TankHistory h;
    h.append(At(2026, 1, 1), 5, 5);
    loader.Load(9, h);
    EXPECT_EQ(h.HistoryTimes.size(), 1u) << "a missing file gives an empty history";
    using enum Refreshed;
    const auto add = [&](const QByteArray &more) { return [&, more] { append(file(9), more); }; };
    const struct {
        const char *name;
        std::function<void()> change;
        Refreshed result;
        int count;
    } steps[] = {
        {"nothing there", [] {}, Unchanged, 0},
        {"the file appears", [&] { writeBytes(file(9), bytes); }, Reloaded, 100},
        {"a run begins at the end", add(line(At(2026, 12, 5, 3, 10), "901,Liter,2")), Appended, 101},
        {"and goes on", add(line(At(2026, 12, 5, 3, 20), "901,Liter,3")), Appended, 101},
        {"an equal time stamp with a greater level, then a torn line",
         add(line(At(2026, 12, 5, 3, 20), "902,Liter,3") + "05.12.2026 03:30:00,7,Li"), Appended, 101},
        {"the torn line waits", [] {}, Unchanged, 101},
        {"until it is completed", add("ter,4\r\n"), Appended, 102},
        {"a line cut within its date", add("05.12.2026 0"), Appended, 102},
        {"and between CR and LF", add("4:00:00,903,Liter,4\r"), Appended, 102},
        {"then ended", add("\n"), Appended, 103},
        {"shortened", [&] { writeBytes(file(9), half); }, Reloaded, 50},
        {"replaced by a longer file that starts alike",
         [&] { ASSERT_TRUE(SafeFile::Replace(file(9), other)); }, Reloaded, 101},
        {"rewritten in place, longer, with other bytes before the end of the last load",
         [&] {
             QFile f(file(9));
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_EQ(f.write(rewritten), rewritten.size());
         },
         Reloaded, 102},
        {"an entry added elsewhere", [&] { h.append(At(2026, 12, 6), 1, 1); }, Reloaded, 102},
        {"a line ahead of the clock", add(line(At(2026, 12, 7, 10), "4,Liter,1")), Appended, 102},
        {"the clock caught up with it", [&] { now = At(2026, 12, 6, 10); }, Reloaded, 103},
        {"the clock set back before lines taken", [&] { now = At(2026, 12, 4); }, Reloaded, 97},
        {"deleted", [&] { ASSERT_TRUE(QFile::remove(file(9))); }, Reloaded, 0},
    };
    for (const auto &step : steps) {
        step.change();
        EXPECT_EQ(loader.Refresh(9, h), step.result) << step.name;
        EXPECT_EQ(h.count(), step.count) << step.name;
        EXPECT_TRUE(sameHistory(h, load(9))); // as a loader that never saw the file
    }
}

// A big file, read in blocks with one line longer than a block, gives what one
// pass gives, on a load as on a refresh: beyond the cap its newest entries,
// so that the present is always shown.
TEST_F(LoadingTest, BigFileInBlocksAndTheCap)
{
    const QDateTime start = At(2020, 1, 1);
    const auto minutes = [&](int from, int to) {
        QByteArray bytes;
        for (int i = from; i < to; ++i)
            bytes += line(start.addSecs(qint64(i) * 60), QByteArray::number(i % 2) + ",m,1");
        return bytes;
    };
    const QByteArray longLine = line(start.addSecs(-60), "77,m,5" + QByteArray(3 * 1024 * 1024, ' '));
    writeBytes(file(1), longLine + minutes(0, 1000));
    TankHistory h;
    loader.Load(1, h);
    ASSERT_EQ(h.count(), 1001);
    append(file(1), minutes(1000, 600000)); // far more lines than the room kept after the load
    EXPECT_EQ(loader.Refresh(1, h), Refreshed::Appended);
    EXPECT_EQ(h.count(), TankHistory::kMaxEntries);
    EXPECT_TRUE(sameHistory(h, load(1)));
    EXPECT_EQ(h.time(h.count()), start.addSecs(qint64(599999) * 60));
    // A full load keeps the same newest entries, with at most the parser's
    // slack as room.
    const TankHistory full = load(1);
    ASSERT_EQ(full.count(), TankHistory::kMaxEntries);
    EXPECT_EQ(full.time(1), start.addSecs(qint64(600000 - TankHistory::kMaxEntries) * 60));
    EXPECT_EQ(full.time(full.count()), start.addSecs(qint64(599999) * 60));
    EXPECT_LE(full.HistoryTimes.capacity(), full.HistoryTimes.size() + size_t(TankFileParser::kSlack));
    const QByteArray bytes = readBytes(file(1));
    const qint64 nowSecs = now.toSecsSinceEpoch();
    EXPECT_TRUE(sameHistory(full, TankFileParser::Parse(bytes.constData(), bytes.size(), nowSecs,
                                                        TankFileParser::Reader::General)));
    append(file(1), minutes(600000, 600001));
    EXPECT_EQ(loader.Refresh(1, h), Refreshed::Appended);
    EXPECT_EQ(h.count(), TankHistory::kMaxEntries);
    EXPECT_EQ(h.time(h.count()), start.addSecs(qint64(600000) * 60));
    EXPECT_EQ(loader.Refresh(1, h), Refreshed::Unchanged);
}

// The start-up preloads in parallel what it would load one by one. A FIFO (or
// any file that is not a regular one) named like a tank file would block a
// plain open until some writer came: the start-up must go on with an empty
// history.
TEST_F(LoadingTest, ParallelPreloadEqualsLoadingOneByOne)
{
    std::mt19937 rng(99);
    const int tanks = 7;
    for (int n = 1; n <= tanks; ++n)
        if (n != 4 && n != 6) // tank 6 has no file; any letter case will do
            writeBytes(n == 7 ? dataDir() + "tank7.CSV" : file(n), randomLines(rng, 200 * n, now));
    const QByteArray fifo = QFile::encodeName(file(4));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread start([&] {
        recorder.PreloadTankHistories(tanks);
        // A line written while the start-up was busy elsewhere is not lost.
        recorder.loader().LoadOrTake(1, (*table)[1].History);
        append(file(2), line(now.addSecs(-10), "4321,Liter,9"));
        for (int n = 2; n <= tanks; ++n)
            recorder.LoadTankHistory(n);
        done = true;
    });
    const bool prompt = WaitFor([&] { return done.load(); }, 10000);
    // Otherwise a writer that comes and goes lets each blocked open go on.
    if (!prompt)
        WaitFor(
            [&] {
                const int w = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
                if (w >= 0)
                    ::close(w);
                return done.load();
            },
            10000);
    start.join();
    ASSERT_TRUE(prompt);
    for (int n = 1; n <= tanks; ++n)
        EXPECT_TRUE(sameHistory((*table)[n].History, load(n))) << "tank " << n;
    EXPECT_EQ((*table)[2].History.HistoryValues.back(), 4321.0);
    EXPECT_EQ((*table)[4].History.count(), 0);
    EXPECT_GT((*table)[7].History.count(), 0);
    EXPECT_EQ(recorder.RefreshTankHistory(4), Refreshed::Unchanged);
    // Taken once: a second call loads again, with the same result.
    recorder.LoadTankHistory(3);
    EXPECT_TRUE(sameHistory((*table)[3].History, load(3)));
}
