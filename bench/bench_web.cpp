// The web view of the real program under load, with a password as a
// published one has: 56 tanks send 100 telegrams per second over TCP while
// 200 clients hold the event stream and each reads /api/v1/tanks (or
// /metrics) every 2 s as the page's poll does. Figures: the 99th percentile
// of those answers (target 100 ms), every telegram evaluated, the delay from
// a telegram to its level in the API against the same run without clients,
// with 1000 idle connections and under attack (target: at most 50 ms more),
// and the program's resident memory in each phase. The attack: four threads
// sending wrong passwords and 300 connections trickling their request heads,
// all from another address, while a legitimate client reads the tanks every
// 100 ms (p99 target 100 ms, against the same reader without the attack).
// The clients come from many loopback addresses, as they would from many
// computers (the program takes at most 32 connections per address). Medians
// of several runs. The first phase warms the program up and is not counted.
// Usage: bench_web [program]: another build of the program (a baseline)
// under the same load.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kTanks = 56;
constexpr int kRate = 100;         // telegrams per second
constexpr int kStreams = 200;      // clients holding the event stream
constexpr int kReaders = 8;        // threads that read for them
constexpr int kPollMs = 2000;      // each client reads every so often
constexpr int kIdle = 1000;        // idle connections of the last phase
constexpr int kPhaseMs = 8000;     // each phase
constexpr int kProbeSerial = 9001; // tank 1: the probe's own device
constexpr int kFirstSerial = 9100; // tanks 2..56

constexpr char kPassword[] = "bench-secret";

// A connection from loopback address from (host order; 0: 127.0.0.1).
int connectTo(quint16 port, quint32 from = 0)
{
    if (from == 0)
        from = INADDR_LOOPBACK;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{}, b{};
    b.sin_family = AF_INET;
    b.sin_addr.s_addr = htonl(from);
    ::bind(fd, reinterpret_cast<sockaddr *>(&b), sizeof b);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 2000 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0; ++i)
        QThread::msleep(5);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// 127.0.<block>.<n>: n from 1.
quint32 address(int block, int n)
{
    return 0x7F000000u | quint32(block) << 8 | quint32(n);
}

// One GET on a kept-alive connection; the body, or empty when it failed.
QByteArray get(int fd, const QByteArray &path)
{
    const QByteArray req = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                           QByteArray("tankmon:").append(kPassword).toBase64() + "\r\n\r\n";
    if (::send(fd, req.constData(), size_t(req.size()), MSG_NOSIGNAL) != req.size())
        return {};
    QByteArray all;
    char buf[65536];
    for (;;) {
        const qsizetype end = all.indexOf("\r\n\r\n");
        if (end >= 0) {
            const qsizetype at = all.toLower().indexOf("content-length:");
            const qsizetype length = at < 0 ? 0 : all.mid(at + 15).split('\r').first().trimmed().toLongLong();
            if (all.size() >= end + 4 + length)
                return all.mid(end + 4, length);
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return {};
        all.append(buf, n);
    }
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())))];
}

long rssKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

qint64 telegramsEvaluated(quint16 web)
{
    const int fd = connectTo(web);
    const QByteArray m = get(fd, "/metrics");
    ::close(fd);
    const QByteArray name = "tankmon_telegrams_total{link=\"tcp\"} ";
    const qsizetype at = m.indexOf(name);
    return at < 0 ? -1 : m.mid(at + name.size()).split('\n').first().toLongLong();
}

// The level the API shows for tank 1, the probe's.
double probeShown(int fd)
{
    const QJsonArray tanks =
        QJsonDocument::fromJson(get(fd, "/api/v1/tanks")).object().value("tanks").toArray();
    return tanks.isEmpty() ? -1 : tanks.first().toObject().value("level").toDouble(-1);
}

// The gateway: tanks 2..56 in turn at kRate while running, and the probe's
// telegrams of tank 1 in between. The program takes one gateway at a time
// and cuts it after a few seconds, as a real gateway connects, sends and
// hangs up: so does this one, every two seconds.
struct Gateway {
    quint16 port = 0;
    int fd = -1;
    QElapsedTimer since;
    std::mutex lock;
    std::atomic<qint64> sent{0};
    ~Gateway()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void reconnect()
    {
        if (fd >= 0)
            ::close(fd);
        // The program may not have seen the last one go yet: it refuses a
        // second one with no greeting.
        for (int i = 0; i < 200; ++i) {
            fd = connectTo(port);
            timeval t{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
            char greeting[8];
            if (::recv(fd, greeting, sizeof greeting, MSG_WAITALL) == 8)
                break;
            ::close(fd);
            fd = -1;
            QThread::msleep(20);
        }
        since.start();
    }
    void send(int sn, int level)
    {
        const QByteArray line = BenchTelegram(sn, level, 150).toHex() + '\n';
        std::lock_guard<std::mutex> g(lock);
        if (fd < 0 || since.elapsed() > 2000)
            reconnect();
        if (::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size())
            ++sent;
    }
};

// A phase: the flood at kRate for kPhaseMs, and a probe every 100 ms that
// sends tank 1 a new level and reads the tanks on its connection fd until it
// shows. The probe delays (ms). With reader, also a legitimate client that
// reads the tanks every 100 ms on a connection of its own each time: the
// times of its answers go there.
std::vector<double> phase(Gateway &gw, int fd, int &probeLevel, quint16 web = 0,
                          std::vector<double> *reader = nullptr)
{
    std::atomic<bool> running{true};
    std::thread client;
    if (reader)
        client = std::thread([&] {
            while (running) {
                QElapsedTimer t;
                t.start();
                const int c = connectTo(web, address(0, 1));
                const bool ok = !get(c, "/api/v1/tanks").isEmpty();
                ::close(c);
                reader->push_back(ok ? double(t.nsecsElapsed()) / 1e6 : 1e9);
                QThread::msleep(100);
            }
        });
    std::thread flood([&] {
        QElapsedTimer t;
        t.start();
        for (qint64 i = 0; t.elapsed() < kPhaseMs; ++i) {
            while (t.elapsed() < i * 1000 / kRate)
                QThread::usleep(500);
            gw.send(kFirstSerial + int(i % (kTanks - 1)), 1000 + int(i % 5000));
        }
        running = false;
    });
    std::vector<double> delays;
    while (running) {
        probeLevel = probeLevel >= 9000 ? 100 : probeLevel + 1;
        const double before = probeShown(fd);
        QElapsedTimer t;
        t.start();
        gw.send(kProbeSerial, probeLevel);
        bool seen = false;
        while (t.elapsed() < 5000 && !(seen = probeShown(fd) != before)) {
        }
        if (seen)
            delays.push_back(double(t.nsecsElapsed()) / 1e6);
        QThread::msleep(100);
    }
    flood.join();
    if (client.joinable())
        client.join();
    return delays;
}

// Wrong passwords from four threads and 300 connections trickling their
// heads (a byte a second each), from other addresses than the clients';
// until it goes.
struct Attack {
    explicit Attack(quint16 web)
    {
        const QByteArray wrong = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                                 QByteArray("tankmon:guess").toBase64() + "\r\n\r\n";
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([this, web, wrong] {
                while (running) {
                    const int fd = connectTo(web, address(0, 2));
                    timeval t{0, 200000};
                    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
                    ::send(fd, wrong.constData(), size_t(wrong.size()), MSG_NOSIGNAL);
                    char buf[4096];
                    for (ssize_t n; running && (n = ::recv(fd, buf, sizeof buf, 0)) != 0;)
                        if (n < 0 && errno != EAGAIN && errno != EINTR)
                            break;
                    ::close(fd);
                    ++guesses;
                }
            });
        threads.emplace_back([this, web] {
            const QByteArray head =
                "GET /api/v1/tanks HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + QByteArray(4000, 'a');
            std::vector<int> fds;
            for (int i = 0; i < 300 && running; ++i)
                fds.push_back(connectTo(web, address(0, 3)));
            for (int byte = 0; running; ++byte) {
                for (int &fd : fds) {
                    if (::send(fd, head.constData() + byte % head.size(), 1, MSG_NOSIGNAL) != 1) {
                        // Closed by the program: the attacker comes back at once.
                        ::close(fd);
                        fd = connectTo(web, address(0, 3));
                    }
                }
                for (int i = 0; i < 10 && running; ++i)
                    QThread::msleep(100);
            }
            for (int fd : fds)
                ::close(fd);
        });
    }
    ~Attack()
    {
        running = false;
        for (std::thread &t : threads)
            t.join();
    }
    std::atomic<bool> running{true};
    std::atomic<qint64> guesses{0};
    std::vector<std::thread> threads;
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TANKMON_PROGRAM);
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 8192);
    setrlimit(RLIMIT_NOFILE, &files);
    std::vector<double> quietP99, loadedP99, idleP99, answerP99, answerMedian, rssQuiet, rssLoaded, rssIdle,
        lost, attackP99, readerQuietP99, readerAttackP99;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir dir;
        const quint16 port = BenchListenPort(), web = BenchListenPort();
        QFile ini(dir.filePath("Tankmon.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                  "\r\n[Common]\r\nActiveNet=1\r\n[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(web) +
                  "\r\n");
        ini.close();
        QProcess setPassword;
        setPassword.start(program, {"--data-dir", dir.path(), "--set-password", "web"});
        setPassword.write(QByteArray(kPassword) + '\n');
        setPassword.closeWriteChannel();
        setPassword.waitForFinished(60000);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, {"--headless", "--data-dir", dir.path()});
        p.waitForStarted();
        Gateway gw;
        gw.port = port;
        // The 56 tanks, tank 1 first.
        gw.send(kProbeSerial, 100);
        for (int n = 0; n < kTanks - 1; ++n)
            gw.send(kFirstSerial + n, 1000);
        int probeLevel = 100;
        {
            QElapsedTimer t;
            t.start();
            const int fd = connectTo(web);
            while (t.elapsed() < 20000 && !get(fd, "/api/v1/tanks").contains("\"number\":56,"))
                QThread::msleep(50);
            ::close(fd);
        }
        // The probe's connection is older than the idle ones, as a browser's would be.
        const int probe = connectTo(web);
        std::vector<double> readerQuiet;
        // The first seconds after the start are slower (caches, the first
        // recordings): not the steady state the phases compare.
        {
            std::vector<double> warming;
            phase(gw, probe, probeLevel, web, &warming);
        }
        const std::vector<double> quiet = phase(gw, probe, probeLevel, web, &readerQuiet);
        rssQuiet.push_back(double(rssKb(p.processId())));

        // 200 streams, drained by one thread.
        std::vector<int> streams;
        for (int i = 0; i < kStreams; ++i) {
            streams.push_back(connectTo(web, address(1, 1 + i / 25)));
            const QByteArray req = "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                                   QByteArray("tankmon:").append(kPassword).toBase64() + "\r\n\r\n";
            ::send(streams.back(), req.constData(), size_t(req.size()), MSG_NOSIGNAL);
        }
        std::atomic<bool> loaded{true};
        std::thread drain([&] {
            std::vector<pollfd> fds;
            for (int fd : streams)
                fds.push_back({fd, POLLIN, 0});
            char buf[65536];
            while (loaded) {
                if (::poll(fds.data(), fds.size(), 50) <= 0)
                    continue;
                for (pollfd &f : fds)
                    if (f.revents & POLLIN)
                        ::recv(f.fd, buf, sizeof buf, 0);
            }
        });
        // The 200 clients also read as the page does while its stream is
        // down: each every 2 s, on a connection of its own (the streams hold
        // most of the 256), the tanks and every fifth time the metrics. Their
        // reads are spread over the 2 s and run from kReaders threads.
        std::mutex answersLock;
        std::vector<double> answers;
        std::vector<std::thread> readers;
        for (int i = 0; i < kReaders; ++i)
            readers.emplace_back([&, i] {
                std::vector<double> mine;
                constexpr int kEach = kStreams / kReaders;
                QElapsedTimer clock;
                clock.start();
                for (qint64 round = 0; loaded; ++round) {
                    for (int c = 0; c < kEach && loaded; ++c) {
                        const qint64 due = round * kPollMs + (i * kEach + c) * kPollMs / kStreams;
                        while (loaded && clock.elapsed() < due)
                            QThread::usleep(500);
                        QElapsedTimer t;
                        t.start();
                        const int fd = connectTo(web, address(2, 1 + i));
                        const bool ok = !get(fd, (round + c) % 5 ? "/api/v1/tanks" : "/metrics").isEmpty();
                        ::close(fd);
                        if (ok)
                            mine.push_back(double(t.nsecsElapsed()) / 1e6);
                    }
                }
                std::lock_guard<std::mutex> g(answersLock);
                answers.insert(answers.end(), mine.begin(), mine.end());
            });
        const std::vector<double> busy = phase(gw, probe, probeLevel);
        rssLoaded.push_back(double(rssKb(p.processId())));
        loaded = false;
        for (std::thread &r : readers)
            r.join();
        drain.join();
        for (int fd : streams)
            ::close(fd);

        // 1000 idle connections: the program keeps what its limit allows.
        std::vector<int> idle;
        for (int i = 0; i < kIdle; ++i)
            idle.push_back(connectTo(web, address(3, 1 + i / 25)));
        QThread::msleep(500);
        const std::vector<double> withIdle = phase(gw, probe, probeLevel);
        rssIdle.push_back(double(rssKb(p.processId())));
        for (int fd : idle)
            ::close(fd);
        QThread::msleep(500);

        std::vector<double> readerAttack, underAttack;
        qint64 guesses = 0;
        {
            Attack attack(web);
            QThread::msleep(1000);
            underAttack = phase(gw, probe, probeLevel, web, &readerAttack);
            guesses = attack.guesses;
        }
        ::close(probe);

        QThread::msleep(1000);
        const qint64 evaluated = telegramsEvaluated(web);
        lost.push_back(double(gw.sent - evaluated));
        ::kill(pid_t(p.processId()), SIGTERM);
        p.waitForFinished(30000);

        quietP99.push_back(percentile(quiet, 99));
        loadedP99.push_back(percentile(busy, 99));
        idleP99.push_back(percentile(withIdle, 99));
        answerP99.push_back(percentile(answers, 99));
        answerMedian.push_back(percentile(answers, 50));
        attackP99.push_back(percentile(underAttack, 99));
        readerQuietP99.push_back(percentile(readerQuiet, 99));
        readerAttackP99.push_back(percentile(readerAttack, 99));
        std::printf("run %d: under attack (%lld wrong passwords): telegram to API p99 %.1f ms, legitimate "
                    "answers p99 %.1f ms (quiet %.1f ms)\n",
                    run, (long long)guesses, attackP99.back(), readerAttackP99.back(), readerQuietP99.back());
        std::printf("run %d: telegrams sent %lld, evaluated %lld; telegram to API p99: quiet %.1f ms, "
                    "%d clients %.1f ms, %d idle connections %.1f ms; %zu answers, p50 %.1f ms, "
                    "p99 %.1f ms; RSS %.0f / %.0f / %.0f KiB\n",
                    run, (long long)gw.sent.load(), (long long)evaluated, quietP99.back(), kStreams,
                    loadedP99.back(), kIdle, idleP99.back(), answers.size(), answerMedian.back(),
                    answerP99.back(), rssQuiet.back(), rssLoaded.back(), rssIdle.back());
        std::fflush(stdout);
    }
    std::printf("telegrams not evaluated: median %.0f (target 0)\n", Median(lost));
    std::printf(
        "answers of /api/v1/tanks and /metrics to %d clients holding the stream: p99 median %.1f ms = "
        "%.2f x the 100 ms target (p50 %.1f ms)\n",
        kStreams, Median(answerP99), Median(answerP99) / 100.0, Median(answerMedian));
    std::printf("telegram to API, p99: quiet %.1f ms; with clients %.1f ms (%.2f x, +%.1f ms); with %d idle "
                "connections %.1f ms (+%.1f ms against the 50 ms target)\n",
                Median(quietP99), Median(loadedP99), Median(loadedP99) / Median(quietP99),
                Median(loadedP99) - Median(quietP99), kIdle, Median(idleP99),
                Median(idleP99) - Median(quietP99));
    std::printf("under attack: legitimate answers p99 %.1f ms (quiet %.1f ms; %.2f x the 100 ms target); "
                "telegram to API p99 %.1f ms (+%.1f ms against the quiet phase, target at most 50 ms more)\n",
                Median(readerAttackP99), Median(readerQuietP99), Median(readerAttackP99) / 100.0,
                Median(attackP99), Median(attackP99) - Median(quietP99));
    std::printf("resident memory: quiet %.1f MiB, with clients %.1f MiB (%.2f x), with %d idle connections "
                "%.1f MiB (%.2f x)\n",
                Median(rssQuiet) / 1024, Median(rssLoaded) / 1024, Median(rssLoaded) / Median(rssQuiet),
                kIdle, Median(rssIdle) / 1024, Median(rssIdle) / Median(rssQuiet));
    return 0;
}
