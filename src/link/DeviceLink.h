#pragma once
#include "model/LinkKind.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// What each kind of link is pointed at. The link manager holds one of each,
// fills it from the settings and the interface dialog, and the link reads
// its own at every open(): nobody above the links needs to know which
// concrete link it talks to.
struct SerialLinkConfig {
    int port = 1;           // the number the user knows the port by ("Com" + port)
    QString device;         // the path that is opened
    bool bluetooth = false; // "COM"/"Bluetooth": greeted with "test", no adapter check
};
struct TcpLinkConfig {
    // "Com"/"ClientPort" as the range rule leaves it (1..99999): above 65535
    // there is nothing to listen on, and opening says so.
    int port = 8000;
    // "COM"/"ClientAdresse" as stored: empty listens on every interface, a
    // text that is no IP address nowhere (opening says so).
    QString address;
};
struct SimulationConfig {
    int firstTickMs = 5000; // the first telegram, then one every nextTickMs
    int nextTickMs = 2000;
};

// One way telegrams reach the program: the serial port, the TCP listener,
// the simulation, or a test's stand-in. The link manager holds every link
// through this and wires them alike: telegrams to EvalTelegramm, trace lines
// to the trace file, a lost link to the recovery.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    enum class State { Closed, Open, Connected };
    // What a link found once open, before the first telegram: only a serial
    // port has modem lines that tell whether an adapter is there.
    enum class Check {
        AwaitBreak, // look at lineBroken() once the event loop has run
        NoAdapter,  // nothing answers the lines; the link stays open
        Bluetooth,  // greeted, no check possible
    };

    using QObject::QObject;
    // Opens where the link's configuration points (the serial port, the
    // listening port, the simulation's timer); false when that failed, said
    // by errorString() or by the link.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual State state() const = 0;
    // Right after a successful open(): switches on what powers the far end
    // and says what to expect of it.
    virtual Check checkAfterOpen() { return Check::AwaitBreak; }
    // A line break came since checkAfterOpen(): a shorted or reversed bus.
    virtual bool lineBroken() const { return false; }
    virtual QString errorString() const { return QStringLiteral("not opened"); }
    // Who is at the far end now (the TCP peer's address), "" when nobody
    // or when the link cannot tell.
    virtual QString peer() const { return {}; }
    // How long the present peer has been connected, for the trace.
    virtual qint32 connectedMs() const { return 0; }

    // Building trace texts costs time on a busy link: the owner says whether
    // anybody writes them.
    void setTraceWanted(std::function<bool()> wanted) { traceWanted_ = std::move(wanted); }

signals:
    // A telegram candidate cut out of the link's data, and where it came
    // from ("" for serial and simulation, the peer's address for TCP).
    void telegramReceived(const QByteArray &telegram, const QString &source);
    void traceLine(const QString &text);
    // Something the user should read about the link (a listener that cannot
    // start, a socket error): status for the status bar, box for a message
    // box ("" for none).
    void problem(const QString &status, const QString &box);
    // The link went away under the program (adapter unplugged, link lost).
    void lost();

protected:
    bool tracing() const { return traceWanted_ && traceWanted_(); }
    void trace(const QString &text)
    {
        if (tracing())
            emit traceLine(text);
    }

private:
    std::function<bool()> traceWanted_;
};

// Which link a factory is asked for (LinkKind); it returns nullptr for the real link of that kind; tests give
// their own.
using LinkFactory = std::function<std::unique_ptr<DeviceLink>(LinkKind kind)>;
