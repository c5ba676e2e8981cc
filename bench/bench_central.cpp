// The central installation at its intended size: 1000 sites × 56 tanks on a
// mosquitto broker started here (on a free loopback port), put there by a
// publisher of this benchmark's own (libmosquitto), then 1000 updates per
// second while the real program runs as the centre (headless, web view on).
// Figures, each the median of the runs, with their targets:
//   start-up: from the centre's start until all 56 000 tanks are in the API (<= 30 s)
//   delay publish -> API and publish -> event stream, p99, while the updates flow (<= 2 s)
//   lost updates: the last value of every tank against the last published (0)
//   resident memory of the centre without histories (<= 400 MB)
//   fleet list model: sorting and filtering 56 000 rows (<= 100 ms), beside 56 rows as the baseline
// bench_central [runs=3] [seconds of updates=10]
// bench_central fill PORT: only puts the 56 000 retained states on the broker
// at PORT (for looking at the centre's window and page).
// bench_central window [runs=3] [program]: the centre with its window open on
// the fleet list (offscreen unless QT_QPA_PLATFORM says else) against the
// same centre headless (the baseline): start-up until all tanks are in the
// API and until the program answers at once again (the window has taken them
// in), then a broker restart, after which every retained state arrives again
// at once: the time until the program is idle again, its slowest answer
// meanwhile and the processor time it took.
#include "BenchSupport.h"

#include "core/Clock.h"
#include "lang/Lng.h"
#include "model/FleetModel.h"
#include "model/SiteTanks.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kSites = 1000;
constexpr int kTanks = 56;
constexpr int kLevelBase = 100000; // an update's level: base + its sequence number

using Clock = std::chrono::steady_clock;

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QByteArray siteTopic(int site)
{
    return "bench/site" + QByteArray::number(site);
}

QByteArray statePayload(int site, int tank, int level)
{
    return R"({"serial":)" + QByteArray::number(site * 100 + tank) + R"(,"level":)" +
           QByteArray::number(level) + R"(,"unit":"L","percent":)" + QByteArray::number(level % 100) +
           R"(,"temperature":10,"time":"2026-12-08T10:00:00+01:00","alarm":false,"error":null,)"
           R"("days_until_empty":12.5,"state":")" +
           (level % 10 == 0 ? "low" : "ok") + R"(","loss":false,"consumed":0,"energy":null,"name":"Tank )" +
           QByteArray::number(tank) + R"(","capacity":10000,"site":"Site )" + QByteArray::number(site) +
           "\"}";
}

// One GET over a blocking loopback connection; the body.
QByteArray httpGet(quint16 port, const QByteArray &path)
{
    const int fd = ConnectLoopback(port);
    const QByteArray req = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                           "\r\nConnection: close\r\n\r\n";
    if (::write(fd, req.constData(), size_t(req.size())) != req.size()) {
        ::close(fd);
        return {};
    }
    QByteArray all;
    char buf[65536];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        all.append(buf, n);
    ::close(fd);
    const qsizetype body = all.indexOf("\r\n\r\n");
    return body < 0 ? QByteArray() : all.mid(body + 4);
}

struct Publisher {
    mosquitto *m = nullptr;
    std::atomic<int> acked{0};
    explicit Publisher(quint16 port)
    {
        m = mosquitto_new("bench-sites", true, this);
        mosquitto_max_inflight_messages_set(m, 0);
        mosquitto_publish_callback_set(
            m, [](mosquitto *, void *self, int) { ++static_cast<Publisher *>(self)->acked; });
        mosquitto_connect(m, "127.0.0.1", port, 60);
        mosquitto_loop_start(m);
    }
    ~Publisher()
    {
        mosquitto_disconnect(m);
        mosquitto_loop_stop(m, false);
        mosquitto_destroy(m);
    }
    void publish(const QByteArray &topic, const QByteArray &payload, int qos)
    {
        mosquitto_publish(m, nullptr, topic.constData(), int(payload.size()), payload.constData(), qos, true);
    }
};

// Every site's retained states on the broker, acknowledged; last: each tank's level.
void fill(quint16 port, std::vector<int> *last)
{
    Publisher pub(port);
    for (int s = 0; s < kSites; ++s) {
        pub.publish(siteTopic(s) + "/status", "online", 1);
        for (int t = 1; t <= kTanks; ++t) {
            const int level = 1000 + s + t;
            if (last)
                (*last)[size_t(s * kTanks + t - 1)] = level;
            pub.publish(siteTopic(s) + "/tank" + QByteArray::number(t) + "/state", statePayload(s, t, level),
                        1);
        }
    }
    const int want = kSites * (kTanks + 1);
    for (int i = 0; i < 6000 && pub.acked < want; ++i)
        QThread::msleep(10);
}

// The centre's settings file in folder/data: every site under bench/ from
// the broker, the web view on web.
void writeCentreSettings(const QString &folder, quint16 brokerPort, quint16 web)
{
    QDir(folder).mkpath("data");
    QFile ini(folder + "/data/Tankmon.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write("[LngPtnr]\r\nLngId=2\r\n[Zentrale]\r\nAktiv=1\r\nHost=127.0.0.1\r\nPort=" +
              QByteArray::number(brokerPort) +
              "\r\nFilter=bench/+\r\n[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(web) + "\r\n");
}

// Until every tank is in the API (a minute at the most).
void waitAllInApi(quint16 web)
{
    const QByteArray full = "\"total\":" + QByteArray::number(kSites * kTanks) + "}";
    for (int i = 0; i < 1200; ++i) {
        if (httpGet(web, "/api/v1/tanks?limit=1").endsWith(full))
            return;
        QThread::msleep(50);
    }
}

struct RunFigures {
    double startup = 0, apiP99 = 0, streamP99 = 0, rssMb = 0;
    int lost = 0;
};

double p99(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
}

// The seconds one GET takes.
double timedGet(quint16 port, const QByteArray &path, QByteArray *body)
{
    const auto begin = Clock::now();
    *body = httpGet(port, path);
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

RunFigures runOnce(int seconds)
{
    RunFigures f;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    const quint16 brokerPort = freePort();
    QFile conf(dir.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write("listener " + QByteArray::number(brokerPort) +
               " 127.0.0.1\npersistence false\nallow_anonymous true\nmax_queued_messages 0\n"
               "max_queued_bytes 0\nmax_inflight_messages 0\n");
    conf.close();
    QProcess broker;
    broker.start("/usr/sbin/mosquitto", {"-c", conf.fileName()});
    if (!broker.waitForStarted()) {
        std::printf("mosquitto did not start (tools/setup.sh installs it)\n");
        std::exit(1);
    }
    ::close(ConnectLoopback(brokerPort));

    // Every site's retained states, acknowledged by the broker before the centre starts.
    std::vector<int> last(static_cast<size_t>(kSites * kTanks));
    {
        Publisher pub(brokerPort);
        for (int s = 0; s < kSites; ++s) {
            pub.publish(siteTopic(s) + "/status", "online", 1);
            for (int t = 1; t <= kTanks; ++t) {
                const int level = 1000 + s + t;
                last[size_t(s * kTanks + t - 1)] = level;
                pub.publish(siteTopic(s) + "/tank" + QByteArray::number(t) + "/state",
                            statePayload(s, t, level), 1);
            }
        }
        const int want = kSites * (kTanks + 1);
        for (int i = 0; i < 6000 && pub.acked < want; ++i)
            QThread::msleep(10);
    }

    // The centre.
    const quint16 web = BenchListenPort();
    writeCentreSettings(dir.path(), brokerPort, web);
    QProcess centre;
    centre.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto started = Clock::now();
    centre.start(TANKMON_PROGRAM, {"--headless", "--data-dir", dir.filePath("data")});
    centre.waitForStarted();
    waitAllInApi(web);
    f.startup = std::chrono::duration<double>(Clock::now() - started).count();
    QFile status(QStringLiteral("/proc/%1/status").arg(centre.processId()));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            f.rssMb = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;

    // The updates: 1000 a second, each a new level no tank had, its time kept.
    const int count = seconds * 1000;
    std::vector<Clock::time_point> sent(static_cast<size_t>(count));
    std::vector<int> where(static_cast<size_t>(count));
    std::atomic<int> published{0};
    std::atomic<bool> done{false};
    std::atomic<bool> watching{false}; // the stream's first remote event (every tank) has arrived
    std::mutex delaysMutex;
    std::vector<double> apiDelays, streamDelays;

    // The event stream: every remote tank in an event whose level is an update's.
    std::thread stream([&] {
        const int fd = ConnectLoopback(web);
        const QByteArray req =
            "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(web) + "\r\n\r\n";
        if (::write(fd, req.constData(), size_t(req.size())) != req.size())
            return;
        timeval tv{0, 200000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        QByteArray buffer;
        char buf[65536];
        while (!done) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n == 0)
                break;
            if (n < 0)
                continue;
            buffer.append(buf, n);
            for (qsizetype end; (end = buffer.indexOf("\n\n")) >= 0; buffer.remove(0, end + 2)) {
                const QByteArray event = buffer.left(end);
                if (!event.startsWith("event: remote\ndata: "))
                    continue;
                const auto now = Clock::now();
                const QJsonArray tanks = QJsonDocument::fromJson(event.mid(20))["tanks"].toArray();
                watching = true;
                std::lock_guard<std::mutex> lock(delaysMutex);
                for (const QJsonValue t : tanks) {
                    const int seq = t["level"].toInt() - kLevelBase;
                    if (seq >= 0 && seq < published)
                        streamDelays.push_back(
                            std::chrono::duration<double>(now - sent[size_t(seq)]).count());
                }
            }
        }
        ::close(fd);
    });
    // The API: the latest update asked for until it shows, again and again.
    std::thread api([&] {
        int measured = -1; // each update once: the last one again would count the time since it
        while (!done) {
            const int seq = published - 1;
            if (seq <= measured) {
                QThread::msleep(10);
                continue;
            }
            const int s = where[size_t(seq)] / kTanks, t = where[size_t(seq)] % kTanks + 1;
            const QByteArray path = "/api/v1/tanks?site=Site%20" + QByteArray::number(s);
            while (!done) {
                const QJsonArray tanks = QJsonDocument::fromJson(httpGet(web, path))["tanks"].toArray();
                if (tanks.size() >= t && tanks[t - 1]["level"].toInt() >= kLevelBase + seq) {
                    measured = seq;
                    std::lock_guard<std::mutex> lock(delaysMutex);
                    apiDelays.push_back(
                        std::chrono::duration<double>(Clock::now() - sent[size_t(seq)]).count());
                    break;
                }
                QThread::msleep(50); // a client polling, not a load test: up to 50 ms on top
            }
        }
    });
    // The updates flow to a centre that is watched already, as a page would.
    for (int i = 0; i < 600 && !watching; ++i)
        QThread::msleep(100);
    {
        Publisher pub(brokerPort);
        std::mt19937 random(42);
        const auto begin = Clock::now();
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_until(begin + std::chrono::microseconds(i * 1000));
            const int k = int(random() % unsigned(kSites * kTanks));
            const int s = k / kTanks, t = k % kTanks + 1;
            where[size_t(i)] = k;
            last[size_t(k)] = kLevelBase + i;
            sent[size_t(i)] = Clock::now();
            pub.publish(siteTopic(s) + "/tank" + QByteArray::number(t) + "/state",
                        statePayload(s, t, kLevelBase + i), 0);
            published = i + 1;
        }
        for (int i = 0; i < 1000 && pub.acked < 0; ++i)
            QThread::msleep(1);
        QThread::msleep(3000); // the last ones through the broker and the centre's batching
    }
    done = true;
    stream.join();
    api.join();
    f.apiP99 = p99(apiDelays);
    f.streamP99 = p99(streamDelays);

    // Every tank's last value against the last published.
    const QJsonArray all = QJsonDocument::fromJson(httpGet(web, "/api/v1/tanks"))["tanks"].toArray();
    std::vector<int> shown(last.size(), -1);
    for (const QJsonValue t : all) {
        const QString site = t["site"].toString();
        if (!site.startsWith("Site "))
            continue;
        const int s = site.mid(5).toInt(), n = t["number"].toInt();
        shown[size_t(s * kTanks + n - 1)] = t["level"].toInt();
    }
    for (size_t i = 0; i < last.size(); ++i)
        f.lost += shown[i] != last[i];
    centre.terminate();
    centre.waitForFinished(10000);
    broker.terminate();
    broker.waitForFinished(10000);
    return f;
}

struct WindowFigures {
    double startup = 0, takenIn = 0, again = 0, stall = 0, cpu = 0;
};

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(')').last().trimmed().split(' ');
    return fields.size() > 12
               ? (fields[11].toDouble() + fields[12].toDouble()) / double(::sysconf(_SC_CLK_TCK))
               : 0;
}

// Seconds since from until ten answers running come within 100 ms; the slowest answer in *worst.
double untilPrompt(quint16 web, Clock::time_point from, double *worst = nullptr)
{
    QByteArray body;
    for (int quick = 0, i = 0; quick < 10 && i < 6000; ++i) {
        const double took = timedGet(web, "/api/v1/tanks?limit=1", &body);
        if (worst)
            *worst = std::max(*worst, took);
        quick = took < 0.1 ? quick + 1 : 0;
        QThread::msleep(20);
    }
    return std::chrono::duration<double>(Clock::now() - from).count() - 0.2; // less the last ten pauses
}

// Seconds since from until the program has been idle (under 5 % of a core)
// for half a second, asked every 100 ms; its slowest answer meanwhile in *worst.
double untilIdle(quint16 web, qint64 pid, Clock::time_point from, double *worst)
{
    std::vector<double> cpu;
    std::vector<Clock::time_point> when;
    QByteArray body;
    for (int i = 0; i < 1200; ++i) {
        *worst = std::max(*worst, timedGet(web, "/api/v1/tanks?limit=1", &body));
        cpu.push_back(cpuSeconds(pid));
        when.push_back(Clock::now());
        const size_t n = cpu.size();
        if (n > 10 && cpu[n - 1] - cpu[n - 6] < 0.025)
            return std::chrono::duration<double>(when[n - 6] - from).count();
        QThread::msleep(100);
    }
    return -1;
}

// Waits until the centre has said it is connected the count-th time.
bool connectedTimes(QProcess &centre, QByteArray &out, int count)
{
    for (int i = 0; i < 600 && out.count("[central] connected to") < count; ++i) {
        centre.waitForReadyRead(100);
        out += centre.readAllStandardOutput();
    }
    return out.count("[central] connected to") >= count;
}

// One centre (window or headless) over the retained states on a broker that
// keeps them across its restart (conf), both started here.
WindowFigures windowOnce(const QString &program, bool window, const QString &conf, quint16 brokerPort,
                         QProcess &broker)
{
    WindowFigures f;
    QTemporaryDir dir;
    const quint16 web = BenchListenPort();
    writeCentreSettings(dir.path(), brokerPort, web);
    QProcess centre;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    centre.setProcessEnvironment(env);
    centre.setProcessChannelMode(QProcess::SeparateChannels);
    centre.setStandardErrorFile(QProcess::nullDevice());
    QStringList args{"--data-dir", dir.filePath("data")};
    if (!window)
        args.prepend("--headless");
    const auto started = Clock::now();
    centre.start(program, args);
    centre.waitForStarted();
    waitAllInApi(web);
    f.startup = std::chrono::duration<double>(Clock::now() - started).count();
    f.takenIn = untilPrompt(web, started);

    // The broker restarts with its retained states; the centre connects again and gets them all.
    QByteArray out;
    connectedTimes(centre, out, 1);
    broker.terminate();
    broker.waitForFinished(10000);
    broker.start("/usr/sbin/mosquitto", {"-c", conf});
    broker.waitForStarted();
    if (!connectedTimes(centre, out, 2))
        std::printf("(the centre did not connect again)\n");
    const auto again = Clock::now();
    const double cpu = cpuSeconds(centre.processId());
    f.again = untilIdle(web, centre.processId(), again, &f.stall);
    f.cpu = cpuSeconds(centre.processId()) - cpu;
    if (f.cpu < 0.1)
        std::printf("(the broker's states did not come again)\n");
    centre.terminate();
    centre.waitForFinished(10000);
    return f;
}

// Runs centres with and without window over one broker filled once per run.
int windowBench(int runs, const QString &program)
{
    std::vector<WindowFigures> all[2];
    for (int r = 0; r < runs; ++r) {
        QTemporaryDir dir;
        // The broker (its own user when started as root) keeps its states there.
        QDir(dir.path()).mkpath("broker");
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
        QFile::setPermissions(dir.filePath("broker"), QFile::Permissions(0x7777));
        const quint16 brokerPort = freePort();
        const QString conf = dir.filePath("mosquitto.conf");
        QFile c(conf);
        c.open(QIODevice::WriteOnly);
        c.write(
            "listener " + QByteArray::number(brokerPort) +
            " 127.0.0.1\npersistence true\npersistence_location " + dir.filePath("broker").toUtf8() +
            "/\nallow_anonymous true\nmax_queued_messages 0\nmax_queued_bytes 0\nmax_inflight_messages 0\n");
        c.close();
        QProcess broker;
        broker.start("/usr/sbin/mosquitto", {"-c", conf});
        if (!broker.waitForStarted()) {
            std::printf("mosquitto did not start (tools/setup.sh installs it)\n");
            return 1;
        }
        ::close(ConnectLoopback(brokerPort));
        fill(brokerPort, nullptr);
        for (const bool window : {false, true}) {
            const WindowFigures f = windowOnce(program, window, conf, brokerPort, broker);
            std::printf(
                "run %d %s: start-up %.2f s, taken in %.2f s; after a broker restart: taken in %.2f s, "
                "slowest answer %.2f s, %.2f s of processor time\n",
                r + 1, window ? "window  " : "headless", f.startup, f.takenIn, f.again, f.stall, f.cpu);
            std::fflush(stdout);
            all[window].push_back(f);
        }
        broker.terminate();
        broker.waitForFinished(10000);
    }
    const auto median = [&all](bool window, double WindowFigures::*field) {
        std::vector<double> v;
        for (const WindowFigures &f : all[window])
            v.push_back(f.*field);
        return Median(v);
    };
    std::printf(
        "central installation's window, %d sites x %d tanks, %d runs (median; headless as the baseline):\n",
        kSites, kTanks, runs);
    const std::pair<const char *, double WindowFigures::*> rows[] = {
        {"start-up until all are in the API", &WindowFigures::startup},
        {"start-up until they are taken in", &WindowFigures::takenIn},
        {"broker restart: taken in again", &WindowFigures::again},
        {"broker restart: slowest answer", &WindowFigures::stall},
        {"broker restart: processor time", &WindowFigures::cpu}};
    for (const auto &[what, field] : rows)
        std::printf("  %-36s window %6.2f s, headless %6.2f s, ratio %.1f\n", what, median(true, field),
                    median(false, field), median(true, field) / std::max(0.001, median(false, field)));
    return 0;
}

// The fleet list's model over the tanks: sorted worst first, then filtered
// to those that need attention, in ms (each step's part in *sortMs, *filterMs).
double fleetModelMs(int sites, double *sortMs = nullptr, double *filterMs = nullptr)
{
    SiteTanks store;
    for (int s = 0; s < sites; ++s) {
        const int i = store.site("bench/site" + QByteArray::number(s));
        for (int t = 1; t <= kTanks; ++t) {
            auto snap = std::make_shared<TankSnapshot>();
            snap->tank = t;
            snap->site = QStringLiteral("Site %1").arg(s);
            snap->label = QStringLiteral("%1 Tank").arg(t);
            snap->record.Tankbezeichnung = QStringLiteral("Tank %1").arg(t);
            snap->level = 1000 + (s * 7 + t * 13) % 9000;
            snap->percent = *snap->level / 100;
            snap->status.condition = (s + t) % 10 == 0 ? TankCondition::Low : TankCondition::Ok;
            snap->emptyAt = QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC).addSecs((s * 56 + t) * 60);
            store.put(i, snap);
        }
    }
    const Texts texts(2);
    FleetModel model(store, SystemClock(), texts);
    FleetFilter filter;
    filter.setSourceModel(&model);
    QElapsedTimer t;
    t.start();
    filter.sort(FleetModel::State, Qt::AscendingOrder);
    const double sorted = double(t.nsecsElapsed()) / 1e6;
    filter.setAttentionOnly(true);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (sortMs)
        *sortMs = sorted;
    if (filterMs)
        *filterMs = ms - sorted;
    if (filter.rowCount() == 0)
        std::printf("(the filter kept no row)\n");
    return ms;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    mosquitto_lib_init();
    if (argc > 1 && qstrcmp(argv[1], "window") == 0) {
        const int r =
            windowBench(argc > 2 ? std::max(1, std::atoi(argv[2])) : 3,
                        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(TANKMON_PROGRAM));
        mosquitto_lib_cleanup();
        return r;
    }
    if (argc > 2 && qstrcmp(argv[1], "fill") == 0) {
        fill(quint16(std::atoi(argv[2])), nullptr);
        return 0;
    }
    std::vector<double> startup, api, stream, rss, lost, model, model56;
    for (int r = 0; r < runs; ++r) {
        const RunFigures f = runOnce(seconds);
        std::printf("run %d: start-up %.2f s, p99 API %.3f s, p99 events %.3f s, lost %d, RSS %.0f MB\n",
                    r + 1, f.startup, f.apiP99, f.streamP99, f.lost, f.rssMb);
        std::fflush(stdout);
        startup.push_back(f.startup);
        api.push_back(f.apiP99);
        stream.push_back(f.streamP99);
        rss.push_back(f.rssMb);
        lost.push_back(f.lost);
    }
    std::vector<double> sortPart, filterPart;
    for (int r = 0; r < std::max(runs, 3); ++r) {
        double s = 0, f = 0;
        model.push_back(fleetModelMs(kSites, &s, &f));
        sortPart.push_back(s);
        filterPart.push_back(f);
        model56.push_back(fleetModelMs(1));
    }
    std::printf("central installation, %d sites x %d tanks, %d runs (median):\n", kSites, kTanks, runs);
    std::printf("  start-up until every tank is in the API: %.2f s (target <= 30 s)\n", Median(startup));
    std::printf("  publish -> API, p99:          %.3f s (target <= 2 s)\n", Median(api));
    std::printf("  publish -> event stream, p99: %.3f s (target <= 2 s)\n", Median(stream));
    std::printf("  updates lost:                 %.0f (target 0)\n", Median(lost));
    std::printf("  resident memory:              %.0f MB (target <= 400 MB)\n", Median(rss));
    std::printf("  fleet model sort + filter:    %.1f ms over 56 000 rows (target <= 100 ms); "
                "56 rows %.2f ms, ratio %.0f\n",
                Median(model), Median(model56), Median(model) / std::max(0.001, Median(model56)));
    std::printf(
        "    of which sorting all rows worst first %.1f ms, filtering to those that need attention %.1f ms\n",
        Median(sortPart), Median(filterPart));
    mosquitto_lib_cleanup();
    return 0;
}
