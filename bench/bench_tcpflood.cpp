// A gateway flooding the real program with valid telegram lines at full
// rate until the connection-time cut: the share of the lines TCP accepted
// that were evaluated before the cut, and the evaluation rate against the
// rate at which loopback TCP carries the same lines to a reader that
// discards them (measured in the same run).
#include "BenchSupport.h"
#include "link/Simulation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kLine = 39; // 38 hex digits and LF

// Line c carries c in its level (c % 10000) and temperature (c / 10000), so
// the saved registry tells how many lines were evaluated, in order.
QByteArray lines(qint64 from, int count)
{
    QByteArray b;
    for (qint64 c = from; c < from + count; ++c)
        b += SimulatedTelegram(4711, int(c / 10000 % 100), int(c % 10000)).toHex() + '\n';
    return b;
}

// Sends counted lines until the peer cuts (or maxMs passed); returns whole lines sent.
qint64 flood(int fd, qint64 maxMs, qint64 *ms)
{
    char greeting[8];
    ::recv(fd, greeting, sizeof greeting, MSG_WAITALL);
    qint64 sent = 0;
    QElapsedTimer t;
    t.start();
    QByteArray pending;
    while (t.elapsed() < maxMs) {
        if (pending.isEmpty())
            pending = lines(sent / kLine + pending.size() / kLine, 1000);
        const ssize_t n = ::send(fd, pending.constData(), size_t(pending.size()), MSG_NOSIGNAL);
        if (n < 0)
            break;
        sent += n;
        pending.remove(0, n);
    }
    *ms = t.elapsed();
    ::close(fd);
    return sent / kLine;
}

QByteArray iniValue(const QByteArray &ini, const QByteArray &key)
{
    const qsizetype at = ini.indexOf("\n" + key + "=");
    return at < 0 ? QByteArray() : ini.mid(at + key.size() + 2).split('\r').first();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<double> shares, rates, raws;
    for (int run = 0; run < 5; ++run) {
        // Baseline: loopback TCP into a reader that discards.
        {
            const int lfd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof a;
            ::bind(lfd, reinterpret_cast<sockaddr *>(&a), sizeof a);
            ::listen(lfd, 1);
            ::getsockname(lfd, reinterpret_cast<sockaddr *>(&a), &len);
            std::thread reader([lfd] {
                const int c = ::accept(lfd, nullptr, nullptr);
                ::send(c, "TANKMON\n", 8, 0);
                char buf[65536];
                while (::recv(c, buf, sizeof buf, 0) > 0) {
                }
                ::close(c);
            });
            qint64 ms = 0;
            const qint64 n = flood(ConnectLoopback(ntohs(a.sin_port)), 2000, &ms);
            reader.join();
            ::close(lfd);
            raws.push_back(n * 1000.0 / ms);
        }
        QTemporaryDir dir;
        const quint16 port = BenchListenPort();
        QFile ini(dir.filePath("Tankmon.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                  "\r\n[Common]\r\nActiveNet=1\r\n");
        ini.close();
        QProcess p;
        p.start(TANKMON_PROGRAM, {"--headless", "--data-dir", dir.path()});
        p.waitForStarted();
        qint64 ms = 0;
        const qint64 accepted = flood(ConnectLoopback(port), 30000, &ms);
        ::kill(pid_t(p.processId()), SIGTERM);
        p.waitForFinished(30000);
        ini.open(QIODevice::ReadOnly);
        const QByteArray saved = ini.readAll();
        const qint64 evaluated =
            iniValue(saved, "Temperatur").toLongLong() * 10000 + iniValue(saved, "Volumen").toLongLong() + 1;
        shares.push_back(100.0 * double(evaluated) / double(accepted));
        rates.push_back(evaluated * 1000.0 / ms);
        std::printf(
            "run %d: accepted %lld lines in %lld ms, evaluated %lld (%.1f %%), loopback %.0f lines/s\n", run,
            (long long)accepted, (long long)ms, (long long)evaluated, shares.back(), raws.back());
    }
    std::printf("evaluated share of accepted lines: median %.1f %% (min %.1f %%)\n", Median(shares),
                *std::min_element(shares.begin(), shares.end()));
    std::printf("evaluation rate: median %.0f lines/s = %.3f x loopback TCP into a discarding reader (%.0f "
                "lines/s)\n",
                Median(rates), Median(rates) / Median(raws), Median(raws));
    return 0;
}
