#include "LinkTestSupport.h"

#include "model/Telegram.h"

#include <QElapsedTimer>
#include <QFile>

bool RecordingSink::operator()(const QByteArray &t, const QString &s)
{
    QElapsedTimer busy;
    busy.start();
    while (busy.nsecsElapsed() < costNs) {
    }
    telegrams << t;
    sources << s;
    results << (CheckTelegram(t) == TelegramFault::None);
    return results.last();
}

bool PtyPair::start()
{
    socat_ = std::make_unique<QProcess>();
    socat_->start("socat", {"pty,raw,echo=0,link=" + device(), "-"});
    return socat_->waitForStarted(5000) && WaitFor([this] { return QFile::exists(device()); }, 10000);
}

void LinkTest::makeLink(int tickMs)
{
    LinkHardware hardware;
    if (ports) {
        hardware.serialPort = [this] { return std::make_unique<FakeSerialPort>(bus); };
        hardware.ports = [this] { return *ports; };
    }
    hardware.sink = [this](const QByteArray &t, const QString &s) { return sink(t, s); };
    hardware.tickMs = tickMs;
    link = std::make_unique<LinkManager>(controller, switches, settings, ui, texts, clock, hardware);
}

void LinkTest::fakePorts(const QStringList &names)
{
    ports.emplace();
    bus->present.clear();
    for (const QString &n : names) {
        *ports << PortInfo{0, "/dev/" + n, n, {}, {}};
        bus->present.insert("/dev/" + n);
    }
}
