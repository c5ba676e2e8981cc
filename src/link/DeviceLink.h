#pragma once
#include "model/LinkKind.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// One way telegrams reach the program: the serial port, the TCP listener,
// the simulation, or a test's stand-in. The link manager holds every link
// through this and wires them alike: telegrams to EvalTelegramm, trace lines
// to the trace file, a lost link to the recovery.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    enum class State { Closed, Open, Connected };

    using QObject::QObject;
    // Opens where the link was pointed to (the serial port, the listening
    // port, the simulation's timer); false when that failed, said by the link.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual State state() const = 0;

    // Building trace texts costs time on a busy link: the owner says whether
    // anybody writes them.
    void setTraceWanted(std::function<bool()> wanted) { traceWanted_ = std::move(wanted); }

signals:
    // A telegram candidate cut out of the link's data, and where it came
    // from ("" for serial and simulation, the peer's address for TCP).
    void telegramReceived(const QByteArray &telegram, const QString &source);
    void traceLine(const QString &text);
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
