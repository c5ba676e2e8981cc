#pragma once
// Shared pieces of the link tests: a recording stand-in for EvalTelegramm,
// a socat pseudo-terminal, and the fixture that builds the link.
#include "support/Fixtures.h"

#include "link/LinkManager.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "model/Telegram.h"
#include "support/FakeSerialPort.h"
#include "support/MockLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <memory>
#include <optional>

// The hex line a TCP peer sends for bytes (upper case, LF).
inline QByteArray HexLine(const QByteArray &bytes)
{
    return bytes.toHex().toUpper() + '\n';
}

// Records what reached EvalTelegramm; accepted when the telegram checks pass.
struct RecordingSink {
    QList<QByteArray> telegrams;
    QStringList sources;
    QList<bool> results;
    // Time each evaluation takes, as the real one writing files does.
    qint64 costNs = 0;
    bool operator()(const QByteArray &t, const QString &s)
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
    int accepted() const { return int(results.count(true)); }
};

// "socat pty,raw,echo=0,link=<dir>/dev -": the test is the measuring bus
// at socat's standard input.
class PtyPair
{
public:
    explicit PtyPair(const QString &dir) : dir_(dir) {}
    bool start()
    {
        socat_ = std::make_unique<QProcess>();
        socat_->start("socat", {"pty,raw,echo=0,link=" + device(), "-"});
        return socat_->waitForStarted(5000) && WaitFor([this] { return QFile::exists(device()); }, 10000);
    }
    void stop() { socat_.reset(); } // QProcess ends its process when it goes
    QString device() const { return dir_ + "/dev"; }
    // Writes from the device side of the line; the bytes leave as the event loop runs.
    bool write(const QByteArray &bytes) { return socat_ && socat_->write(bytes) == bytes.size(); }

private:
    QString dir_;
    std::unique_ptr<QProcess> socat_;
};

// A link manager whose telegrams go to sink, with scripted boxes.
class LinkTest : public UiTest
{
protected:
    // The link on the fake ports when fakePorts() was called before, else on
    // the machine's serial ports; on mock links throughout with mocked.
    void makeLink(int tickMs = 0, bool mocked = false)
    {
        LinkHardware hardware;
        if (mocked)
            hardware.links = mocks.factory();
        if (ports) {
            hardware.serialPort = [this] { return std::make_unique<FakeSerialPort>(bus); };
            hardware.ports = [this] { return *ports; };
        }
        hardware.sink = [this](const QByteArray &t, const QString &s) { return sink(t, s); };
        hardware.tickMs = tickMs;
        link = std::make_unique<LinkManager>(controller, switches, settings, ui, texts, clock, hardware);
    }
    // Fake serial ports /dev/<name>, numbered by the port directory in its order.
    void fakePorts(const QStringList &names)
    {
        ports.emplace();
        bus->present.clear();
        for (const QString &n : names) {
            *ports << PortInfo{0, "/dev/" + n, n, {}, {}};
            bus->present.insert("/dev/" + n);
        }
    }
    // The serial side of the link as "COM<n> <device> open|closed".
    QString serialState() const
    {
        return QStringLiteral("COM%1 %2 %3")
            .arg(link->currentPort())
            .arg(link->currentDevice(), link->serialOpen() ? "open" : "closed");
    }

    TankController controller{switches, settings, ui, texts, clock};
    RecordingSink sink;
    std::optional<QList<PortInfo>> ports; // fakePorts() puts fake ports here
    std::shared_ptr<FakeSerialBus> bus = std::make_shared<FakeSerialBus>();
    MockLinks mocks; // with makeLink(tick, true)
    std::unique_ptr<LinkManager> link;
};
