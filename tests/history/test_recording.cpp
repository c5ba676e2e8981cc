// Recording in server mode: when the two periodic functions run, what the
// tank files receive, and what happens when a tank file cannot be opened.
#include "HistoryTestSupport.h"

#include "core/Catalogue.h"
#include "core/DateText.h"
#include "core/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <sys/stat.h>

class RecordingTest : public HistoryTest
{
protected:
    void SetUp() override
    {
        HistoryTest::SetUp();
        switches.setLogFileActive(true);
        switches.setLogFileInterval(86400);
        switches.setLogIniActive(true);
        switches.setLogIniInterval(60);
    }
    QByteArray tankFile(int n) const { return readBytes(file(n)); }
    QString ini(const IniKey &k) const { return settings.read(k, QStringLiteral("<none>")); }
    // Five attempts 250 ms apart; a loaded machine may take much longer.
    bool retriesOver()
    {
        return WaitFor([this] { return !recorder.retriesPending(); }, 30000);
    }
};

TEST_F(RecordingTest, SnapshotWritesOneLinePerTankInTheFileFormat)
{
    const struct {
        qint32 raw, unit;
        qint16 scale, temp;
        const char *line; // after the time; none for an error code; a scale code without a number last
    } tanks[] = {{1234, 0, 2, 12, ",12340,Liter,12"},
                 {-57346, 0, 0, 12, nullptr},
                 {125, 2, 2, -3, ",1.25,m,-3"},
                 {575, 3, 3, -9999, ",57.5,%"},
                 {1234, 1, 1, 7, ",1.234,m\xB3,7"},
                 {250, 6, 0, 4, ",250,US,Gal,4"},
                 {42, 8, 0, 5, ",42,,5"},
                 {42, 0, 5, 5, ",,Liter,5"}};
    for (int n = 1; n <= 8; ++n)
        tank(n, tanks[n - 1].raw, tanks[n - 1].unit, tanks[n - 1].scale, tanks[n - 1].temp);
    recorder.AppendHistorySnapshot(At(2026, 12, 5, 15, 9, 54));
    for (int n = 1; n <= 8; ++n) {
        const char *line = tanks[n - 1].line;
        EXPECT_EQ(QFile::exists(file(n)), line != nullptr) << n;
        EXPECT_EQ(tankFile(n), line ? "05.12.2026 15:09:54" + QByteArray(line) + "\r\n" : "") << n;
        // The same entries in memory as loaded back from the files.
        EXPECT_TRUE(sameHistory(load(n), (*table)[n].History)) << "tank " << n;
    }
    EXPECT_TRUE(ui.shown.isEmpty());
}

// What a power cut may leave at the end of a tank file, and the file after
// the next snapshot: a torn line never stays to load as a false level.
TEST_F(RecordingTest, SnapshotCutsATornLastLineBeforeAppendingAndAFullHistoryLetsItsOldestGo)
{
    const QByteArray kept = "04.12.2026 00:00:00,201,Liter,4\r\n";
    const QByteArray added = "05.12.2026 00:00:00,1234,Liter,20\r\n";
    const QByteArray foreign(5000, 'x');
    tank(1, 1234, 0, 0, 20);
    const auto after = [&](const QByteArray &before) {
        writeBytes(file(1), before);
        recorder.AppendHistorySnapshot(At(2026, 12, 5));
        return tankFile(1);
    };
    EXPECT_EQ(after(kept), kept + added) << "whole";
    EXPECT_EQ(after(kept + "03.12.2026 10:00:00,12"), kept + added) << "torn value";
    EXPECT_EQ(after("03.12.2026 10:00:00,12"), added) << "only a torn line";
    EXPECT_EQ(after(kept.chopped(1)), kept + added) << "CR without LF";
    EXPECT_EQ(after(kept.chopped(1) + "03.12"), kept + added) << "CR-only lines, torn";
    EXPECT_EQ(after(kept + foreign), kept + foreign + "\r\n" + added) << "long foreign tail";
    EXPECT_TRUE(ui.shown.isEmpty());
    // A full history lets its oldest entry go for the new one; the file grows.
    TankHistory &h = (*table)[1].History;
    h.HistoryTimes.resize(TankHistory::kMaxEntries + 1, 1);
    h.HistoryValues.resize(TankHistory::kMaxEntries + 1, 1);
    h.HistoryTemps.resize(TankHistory::kMaxEntries + 1, 1);
    h.HistoryTimes[2] = 2;
    EXPECT_EQ(after(kept), kept + added);
    EXPECT_EQ(h.count(), TankHistory::kMaxEntries);
    EXPECT_EQ(h.HistoryTimes[1], 2);
    EXPECT_EQ(h.HistoryTimes.back(), TankHistory::toSecs(At(2026, 12, 5)));
}

// A folder of the tank file's name: every open fails. The caller does not
// wait for the five attempts 250 ms apart; lines that wait behind the first
// are written in order once the file opens, and a file that never does (a
// FIFO, which nobody reads: it must not hang the recording) is reported.
TEST_F(RecordingTest, UnopenableFileIsRetriedWithoutWaitingThenWrittenOrReported)
{
    tank(1, 100, 0, 0, 3);
    tank(2, 200, 0, 0, 4);
    ASSERT_TRUE(QDir(dataDir()).mkdir(QStringLiteral("Tank1.csv")));
    recorder.AppendHistorySnapshot(At(2026, 12, 5));
    (*table)[1].Volumen = 99;
    recorder.AppendHistorySnapshot(At(2026, 12, 5, 0, 0, 30)); // waits behind the first line
    ASSERT_TRUE(QDir(dataDir()).rmdir(QStringLiteral("Tank1.csv")));
    ASSERT_TRUE(retriesOver());
    EXPECT_EQ(tankFile(1), QByteArray("05.12.2026 00:00:00,100,Liter,3\r\n"
                                      "05.12.2026 00:00:30,99,Liter,3\r\n"));
    EXPECT_TRUE(ui.shown.isEmpty());

    ASSERT_TRUE(QFile::remove(file(1)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file(1)).constData(), 0600), 0);
    QElapsedTimer e;
    e.start();
    recorder.RecordHistory(1, now);
    EXPECT_TRUE(recorder.retriesPending());
    // The entry is kept in memory anyway, the other tank is written and
    // "Last" moves on.
    EXPECT_EQ((*table)[1].History.count(), 3);
    EXPECT_TRUE(tankFile(2).endsWith("00:00:30,200,Liter,4\r\n05.12.2026 15:09:54,200,Liter,4\r\n"));
    EXPECT_EQ(ini(Cfg::LogfileLast), FormatDateText(now));
    EXPECT_TRUE(ui.shown.isEmpty());
    ASSERT_TRUE(retriesOver());
    EXPECT_GE(e.elapsed(), 900); // four waits of 250 ms between five attempts
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(std::pair(ui.shown[0].title, ui.shown[0].icon), std::pair(texts(27), MsgIcon::Stop));
    EXPECT_TRUE(ui.shown[0].text.contains(QStringLiteral("not a regular file")));
    EXPECT_TRUE(QFileInfo::exists(file(1)) && !QFileInfo(file(1)).isFile()) << "not replaced";
}

// The first telegram after the installation records both with its receive
// time; then the clock decides.
TEST_F(RecordingTest, DailyTankFileAndMinuteSnapshotFollowTheClock)
{
    tank(1, 1234, 0, 0, 12);
    recorder.RecordHistory(1, now.addSecs(-2));
    ASSERT_EQ(saves, 1);
    EXPECT_EQ(ini(Cfg::LogIniLast) + " " + ini(Cfg::LogfileLast), "05.12.2026 15:09:52 05.12.2026 15:09:52");
    EXPECT_FALSE(readBytes(iniPath()).contains("Time")); // an anchor set by hand only

    // The settings snapshot: 15:09:52 + 60 s is aligned to 15:10:00; the tank
    // file is not due again that day.
    now = At(2026, 12, 5, 15, 10, 0);
    (*table)[1].Volumen = 1200;
    recorder.RecordHistory(1, now);
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(ini(Cfg::LogIniLast), QStringLiteral("05.12.2026 15:10:00"));

    // The first telegram after midnight records.
    now = At(2026, 12, 6, 0, 0, 5);
    recorder.RecordHistory(1, now);
    EXPECT_EQ(tankFile(1), QByteArray("05.12.2026 15:09:52,1234,Liter,12\r\n"
                                      "06.12.2026 00:00:05,1200,Liter,12\r\n"));
    EXPECT_EQ(ini(Cfg::LogfileLast), QStringLiteral("06.12.2026 00:00:05"));
    EXPECT_EQ((*table)[1].History.count(), 2);

    // A clock that was years ahead once left "Last" in the future: due, and
    // rewritten with now.
    settings.write(Cfg::LogfileLast, QStringLiteral("05.12.2029 10:00:00"));
    settings.write(Cfg::LogIniLast, QStringLiteral("05.12.2029 10:00:00"));
    recorder.RecordHistory(1, now = now.addSecs(5));
    EXPECT_EQ(saves, 4);
    EXPECT_TRUE(tankFile(1).endsWith("\n06.12.2026 00:00:10,1200,Liter,12\r\n"));
    EXPECT_EQ(ini(Cfg::LogfileLast) + " " + ini(Cfg::LogIniLast), "06.12.2026 00:00:10 06.12.2026 00:00:10");
}

TEST_F(RecordingTest, SwitchedOffOrClientModeRecordsNothing)
{
    tank(1, 1234, 0, 0, 12);
    for (const bool client : {false, true}) {
        switches.setLogFileActive(client);
        switches.setLogIniActive(client);
        config.clientMode = client;
        recorder.RecordHistory(1, now);
        const bool written = QFile::exists(file(1)) || QFile::exists(iniPath());
        EXPECT_EQ(std::pair(saves, written), std::pair(0, false)) << client;
    }
}
