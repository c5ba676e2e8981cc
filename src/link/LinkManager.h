#pragma once
#include "DeviceLink.h"
#include "PortDirectory.h"
#include "SerialPortBackend.h"

#include "core/Clock.h"
#include "core/TraceLog.h"

#include <QObject>
#include <QTimer>
#include <functional>

class Settings;
class SerialLink;
class TankController;
class TcpLink;
class UiServices;
class RunSwitches;
class Texts;

// What the links reach outside themselves; empty members mean the real
// thing. Tests and benchmarks put their own in place.
struct LinkHardware {
    SerialPortFactory serialPort{}; // QSerialPort
    PortSource ports{};             // QSerialPortInfo
    // Where telegrams go: the controller's EvalTelegramm.
    std::function<bool(const QByteArray &telegram, const QString &source)> sink{};
    // Tick of TimerCom, the TCP connection check and the reopen poll: 1000 ms.
    int tickMs = 0;
    // Links of the test's own in place of the real ones (a kind it returns
    // nullptr for stays real).
    LinkFactory links{};
};

// The link indicator of the status bar: what the links do, and how long ago
// the last telegram came. warn: no telegram for longer than the reception
// watchdog allows, or no link that could bring one.
struct LinkIndicator {
    QString text, tip;
    bool warn = false;
};

// Brings the device links up and watches them, without any widget: the
// serial port, the TCP listener, the simulation, the reception watchdog
// (TimerCom) and the recovery of a port that disappeared. It holds the three
// links as DeviceLinks and points each with its own configuration: every
// telegram goes to the controller's EvalTelegramm, every trace line to the
// trace file, every status text of the links to panel 1 (topic Link).
class LinkManager : public QObject
{
    Q_OBJECT
public:
    LinkManager(TankController &controller, const RunSwitches &switches, Settings &settings, UiServices &ui,
                const Texts &texts, ClockFn clock, LinkHardware hardware = {}, QObject *parent = nullptr);
    ~LinkManager() override;

    // Start-up in server mode: reads "Timeout" and "Simulation"; starts the
    // simulation, or opens the stored port ("COM"/"Device" when it holds a
    // path, else port number "COM"/"Port").
    void StartFromSettings();

    // Opens the links anew on serial port `port`. The device path is the
    // stored "COM"/"Device" when port is the stored port number, else the
    // port's entry in the port directory.
    void InitCOM(int port);
    // The same with the device path given (the interface dialog knows it);
    // an empty path looks the number up in the port directory.
    void InitCOM(int port, const QString &device);
    // Closes serial port and TCP socket (program end, restart, port listing).
    void CloseLinks();
    void CloseSerial();

    // The serial ports present, numbered.
    QList<PortInfo> ports() const;

    int currentPort() const { return configs_.serial.port; }
    QString currentDevice() const { return configs_.serial.device; }
    bool serialOpen() const { return serial_->state() != DeviceLink::State::Closed; }
    // The port the TCP link listens on (or serves a peer on), 0 when it does not.
    quint16 listeningPort() const;
    // The status bar's link indicator as of now.
    LinkIndicator indicator() const;
    // Whether the reception watchdog found no telegram within its time.
    bool receptionLost() const { return receptionLost_; }

    int timeout() const { return timeout_; }
    int tag() const { return tag_; }
    int missedIntervals() const { return missedIntervals_; }
    bool timerComActive() const { return timerCom_.isActive(); }
    bool reopenPending() const { return reopenTimer_.isActive(); }
    // The adapter check after the lines went on waits one turn of the event
    // loop for a line break; true while it does.
    bool checkPending() const { return breakCheck_.isActive(); }

    DeviceLink &serial() { return *serial_; }
    DeviceLink &tcp() { return *tcp_; }
    DeviceLink &simulation() { return *simulation_; }
    const DeviceLink &simulation() const { return *simulation_; }
    // The real links behind serial() and tcp(), for the link tests; nullptr
    // when a test put its own there.
    SerialLink *serialPort() const { return realSerial_; }
    TcpLink *tcpListener() const { return realTcp_; }

signals:
    // ShowReceptionProgress(elapsed, limit), and the bar hidden again.
    void receptionProgress(double elapsed, double limit);
    void progressHidden();
    // The port failed or went away, or no telegram came within the timeout
    // (text: as on panel 1); and the port or the telegrams back again.
    void linkLost(const QString &text);
    void linkBack(const QString &text);
    // Something the indicator shows changed (a link opened or closed, the
    // watchdog fired, a telegram came).
    void indicatorChanged();

private:
    void setTickInterval(int ms);
    enum class SerialResult { Ok, Failed, Bluetooth };
    // quiet: the reopen poll fails without a trace line until the port is back.
    SerialResult openSerial(int port, const QString &device, bool quiet = false);
    std::unique_ptr<DeviceLink> make(LinkKind kind, std::function<std::unique_ptr<DeviceLink>()> real);
    DeviceLink &link(LinkKind kind) const;
    void openTcp();
    void finishAdapterCheck();
    void errorExit(int port);
    void onTimerCom();
    void onTelegramAccepted();
    void onPortLost();
    void onReopenTick();
    void deliver(LinkKind kind, const QByteArray &telegram, const QString &source);
    void onProblem(const QString &status, const QString &box);

    TankController &controller_;
    const RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    TraceLog trace_;
    LinkHardware hardware_;
    struct Configs {
        SerialLinkConfig serial;
        TcpLinkConfig tcp;
        SimulationConfig simulation;
    } configs_; // declared before the links, which read them
    SerialLink *realSerial_ = nullptr;
    TcpLink *realTcp_ = nullptr;
    std::unique_ptr<DeviceLink> serial_;
    std::unique_ptr<DeviceLink> tcp_;
    std::unique_ptr<DeviceLink> simulation_;
    // The last accepted telegram by each link (by LinkKind), and the link
    // whose telegram is being evaluated (-1: none) since when.
    QDateTime lastTelegram_[int(LinkKind::Simulation) + 1];
    int delivering_ = -1;
    QDateTime deliveredAt_;
    QString boxThisTurn_; // a link's box shown in this turn of the event loop
    QTimer timerCom_;
    bool receptionLost_ = false; // said once until a telegram comes
    QTimer reopenTimer_;
    QTimer breakCheck_;
    int timeout_ = 180;
    int tag_ = 0;
    int missedIntervals_ = 0;
};
