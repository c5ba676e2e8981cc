// Telegrams per second through the whole evaluation sequence with MQTT
// publishing on (a mosquitto broker on this machine, started here) against
// the same sequence without it, in the same run. The telegrams come in slices
// of 56 (one per tank) with a turn of the event loop after each slice, as the
// links deliver them; under such a flood each tank's latest state goes out at
// most every MqttPublisher::kStatePauseMs. Median of several runs.
#include "BenchSupport.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "model/TankSnapshots.h"
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
bool waitUntil(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return pred();
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    quint16 port = 0;
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        port = s.serverPort();
    }
    QFile conf(tmp.filePath("mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return 1;
    conf.write("listener " + QByteArray::number(port) +
               " 127.0.0.1\nallow_anonymous true\npersistence false\n");
    conf.close();
    QProcess broker;
    broker.start("/usr/sbin/mosquitto", {"-c", conf.fileName()});
    if (!broker.waitForStarted() || !waitUntil(
                                        [&] {
                                            QTcpSocket s;
                                            s.connectToHost(QHostAddress::LocalHost, port);
                                            return s.waitForConnected(100);
                                        },
                                        10000)) {
        std::printf("mosquitto did not start (tools/setup.sh installs it)\n");
        return 1;
    }
    QProcess counter; // what reached the broker
    counter.start("mosquitto_sub", {"-p", QString::number(port), "-t", "bench/+/state", "-F", "%t"});

    SetLngId(2);
    RunConfig config;
    config.dataFolder = tmp.path() + QLatin1Char('/');
    RunSwitches switches(config);
    Settings settings(switches);
    QuietUi ui;
    const Texts texts(2);
    TankController tanks(switches, settings, ui, texts, SystemClock());
    TankSnapshots snapshots(tanks, switches, nullptr);
    tanks.setEmailHooks(&snapshots);
    for (int n = 1; n <= kMaxDevices; ++n)
        tanks.EvalTelegramm(BenchTelegram(1000 + n, 100 * n, 140), QString());
    std::vector<QByteArray> stream;
    for (int i = 0; i < 56 * 32; ++i)
        stream.push_back(BenchTelegram(1000 + 1 + i % 56, (i * 37) % 10000, 100 + i % 60));

    MqttValues v;
    v.aktiv = true;
    v.host = QStringLiteral("127.0.0.1");
    v.port = port;
    v.topic = QStringLiteral("bench");
    std::unique_ptr<MqttPublisher> mqtt;
    QByteArray seen;
    auto received = [&] { return (seen += counter.readAll()).count('\n'); };

    constexpr int kTelegrams = 56 * 1000;
    constexpr int kRuns = 7;
    auto measure = [&] {
        QElapsedTimer t;
        t.start();
        qint64 slowest = 0;
        for (int i = 0; i < kTelegrams; i += 56) {
            QElapsedTimer slice;
            slice.start();
            for (int k = i; k < i + 56; ++k)
                tanks.EvalTelegramm(stream[size_t(k) % stream.size()], QString());
            QCoreApplication::processEvents();
            slowest = std::max(slowest, slice.nsecsElapsed());
        }
        return std::make_pair(kTelegrams / (double(t.nsecsElapsed()) / 1e9), slowest / 1e6);
    };
    std::vector<double> on, off, slowOn, slowOff;
    for (int run = 0; run < kRuns; ++run) {
        mqtt.reset();
        const auto [rOff, sOff] = measure();
        off.push_back(rOff), slowOff.push_back(sOff);
        const qsizetype before = received();
        mqtt = std::make_unique<MqttPublisher>(tanks, snapshots, switches, settings, v, QString(), ui, texts,
                                               SystemClock());
        // Connected: every tank's state went out.
        if (!waitUntil([&] { return received() >= before + kMaxDevices; }, 10000)) {
            std::printf("no connection to the broker\n");
            return 1;
        }
        const auto [rOn, sOn] = measure();
        on.push_back(rOn), slowOn.push_back(sOn);
    }
    mqtt.reset();
    // Until nothing more arrives.
    for (qsizetype n = -1; n != received();) {
        n = received();
        waitUntil([] { return false; }, 500);
    }
    counter.kill();
    broker.kill();
    broker.waitForFinished();
    counter.waitForFinished();

    const double rOn = Median(on), rOff = Median(off);
    std::printf(
        "telegrams per second, 56 tanks, whole sequence, a turn of the event loop per 56 (median of %d):\n",
        kRuns);
    std::printf("  MQTT on  (local mosquitto): %.0f /s, slowest slice of 56 %.2f ms\n", rOn, Median(slowOn));
    std::printf("  MQTT off (baseline):        %.0f /s, slowest slice of 56 %.2f ms\n", rOff,
                Median(slowOff));
    std::printf("  ratio: MQTT on is %.2fx slower; target at most 1.5x: %s\n", rOff / rOn,
                rOff / rOn <= 1.5 ? "met" : "MISSED");
    std::printf("  states that reached the broker: %lld for %lld telegrams (%d ms measured with MQTT on)\n",
                (long long)received(), (long long)kRuns * kTelegrams, int(kRuns * kTelegrams / rOn * 1000));
    return 0;
}
