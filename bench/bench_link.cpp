// Telegrams per second through the TCP link into the whole evaluation
// sequence (model and history recording), headless, with the trace off and
// on. Baseline of the same run: the same telegrams handed straight to
// EvalTelegramm, so the ratio shows what the link itself costs.
// Each figure is the median of several runs.
#include "BenchSupport.h"
#include "core/Catalogue.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "history/HistoryRecorder.h"
#include "lang/Lng.h"
#include "link/LinkManager.h"
#include "model/TankController.h"

#include "link/Simulation.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

// The simulation's own telegram: device type 9, 20 degrees C.
QByteArray telegram(int sn, int level)
{
    return SimulatedTelegram(sn, 20, level);
}

constexpr int kDevices = 8;

std::vector<QByteArray> telegrams(int n)
{
    std::vector<QByteArray> out;
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        out.push_back(telegram(1000 + i % kDevices, 4000 - i % 3000));
    return out;
}

// A fresh data folder, controller, history recorder and link per run.
struct Rig {
    QTemporaryDir dir;
    RunConfig config = [this] {
        RunConfig c;
        c.headless = true;
        c.dataFolder = dir.path() + QLatin1Char('/');
        return c;
    }();
    RunSwitches switches{config};
    Settings settings{switches};
    QuietUi ui;
    ClockFn clock = SystemClock();
    const Texts texts{1};
    TankController tanks{switches, settings, ui, texts, clock};
    HistoryRecorder history{tanks.table(),
                            switches,
                            settings,
                            ui,
                            texts,
                            clock,
                            [this] { tanks.registry().SaveDeviceRegistry(); }};
    std::unique_ptr<LinkManager> link;
    int accepted = 0;

    explicit Rig(bool trace)
    {
        switches.setLogFolder(config.dataFolder);
        switches.setLogFileActive(true);
        switches.setLogIniActive(true);
        switches.setTracePath(trace ? dir.path() + QStringLiteral("/trace.log") : QString());
        tanks.setHistoryHooks(&history);
        QObject::connect(&tanks, &TankController::telegramAccepted, [this] { ++accepted; });
    }

    quint16 listen()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::Any, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        settings.write(Cfg::ClientPort, qint64(port));
        switches.setActiveNet(true);
        // A measuring peer stays longer than five ticks; the cut is not what is measured.
        link = std::make_unique<LinkManager>(tanks, switches, settings, ui, texts, clock,
                                             LinkHardware{.tickMs = 3'600'000});
        link->InitCOM(1);
        return link->tcp().state() == DeviceLink::State::Open ? port : 0;
    }
};

// Per second through the link: a peer thread writes all lines in 64 KB
// writes; the clock runs from connection to the last accepted telegram.
double viaTcp(bool trace, int n)
{
    Rig rig(trace);
    const quint16 port = rig.listen();
    if (!port)
        return 0;
    QByteArray wire;
    for (const QByteArray &t : telegrams(n))
        wire += t.toHex().toUpper() + '\n';
    std::atomic<bool> failed{false};
    QElapsedTimer clock;
    clock.start();
    std::thread peer([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            failed = true;
            ::close(fd);
            return;
        }
        qsizetype done = 0;
        while (done < wire.size()) {
            const ssize_t w = ::send(fd, wire.constData() + done,
                                     size_t(std::min<qsizetype>(65536, wire.size() - done)), MSG_NOSIGNAL);
            if (w <= 0) {
                failed = true;
                break;
            }
            done += w;
        }
        char greeting[16];
        ::recv(fd, greeting, sizeof greeting, MSG_DONTWAIT);
        // Stay connected until everything is evaluated; the server cuts nothing.
        while (!failed && rig.accepted < n)
            ::usleep(1000);
        ::close(fd);
    });
    while (rig.accepted < n && !failed && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double secs = clock.nsecsElapsed() / 1e9;
    failed = failed || rig.accepted < n;
    peer.join();
    // With the trace on, every telegram must have left its line.
    if (trace && QFile(rig.switches.tracePath()).size() < qint64(n) * 60)
        failed = true;
    return failed ? 0 : n / secs;
}

// Baseline: the same telegrams straight into EvalTelegramm.
double direct(bool trace, int n)
{
    Rig rig(trace);
    const std::vector<QByteArray> ts = telegrams(n);
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &t : ts)
        rig.tanks.EvalTelegramm(t, QStringLiteral("127.0.0.1"));
    return rig.accepted == n ? n / (clock.nsecsElapsed() / 1e9) : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SetLngId(1);

    constexpr int kRuns = 5;
    struct Case {
        const char *name;
        bool trace;
        int n;
    };
    const Case cases[] = {{"trace off", false, 100000}, {"trace on", true, 20000}};
    std::printf("TCP link -> EvalTelegramm (model + history), %d devices, median of %d runs\n", kDevices,
                kRuns);
    bool ok = true;
    for (const Case &c : cases) {
        std::vector<double> tcp, base;
        for (int r = 0; r < kRuns; ++r) {
            tcp.push_back(viaTcp(c.trace, c.n));
            base.push_back(direct(c.trace, c.n));
        }
        const double t = Median(tcp), b = Median(base);
        std::printf("  %-9s %7d telegrams: TCP %9.0f /s   direct %9.0f /s   ratio %.2f\n", c.name, c.n, t, b,
                    b > 0 ? t / b : 0.0);
        if (!c.trace && t < 10000)
            ok = false;
    }
    std::printf("target (trace off) >= 10000 /s: %s\n", ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
