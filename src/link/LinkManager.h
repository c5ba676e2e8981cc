#pragma once
#include "PortDirectory.h"
#include "SerialLink.h"
#include "Simulation.h"
#include "TcpLink.h"

#include <QObject>
#include <QTimer>
#include <functional>

class Settings;
class TankController;
class UiServices;
struct RunConfig;

// What the links reach outside themselves; empty members mean the real
// thing. Tests and benchmarks put their own in place.
struct LinkHardware {
    SerialPortFactory serialPort; // QSerialPort
    PortSource ports;             // QSerialPortInfo
    // Where telegrams go: the controller's EvalTelegramm.
    std::function<bool(const QByteArray &telegram, const QString &source)> sink;
    // Tick of TimerCom, the TCP connection check and the reopen poll: 1000 ms.
    int tickMs = 0;
};

// Brings the device links up and watches them, without any widget: the
// serial port, the TCP listener, the simulation, the reception watchdog
// (TimerCom) and the recovery of a port that disappeared. Every telegram
// goes to the controller's EvalTelegramm.
class LinkManager : public QObject
{
    Q_OBJECT
public:
    LinkManager(TankController &controller, const RunConfig &config, Settings &settings, UiServices &ui,
                ClockFn clock, LinkHardware hardware = {}, QObject *parent = nullptr);
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

    int currentPort() const { return serial_.port(); }
    QString currentDevice() const { return serial_.device(); }
    bool serialOpen() const { return serial_.isOpen(); }

    int timeout() const { return timeout_; }
    int tag() const { return tag_; }
    int missedIntervals() const { return missedIntervals_; }
    bool timerComActive() const { return timerCom_.isActive(); }
    bool reopenPending() const { return reopenTimer_.isActive(); }
    // The adapter check after the lines went on waits one turn of the event
    // loop for a line break; true while it does.
    bool checkPending() const { return breakCheck_.isActive(); }

    SerialLink &serial() { return serial_; }
    TcpLink &tcp() { return tcp_; }
    Simulation &simulation() { return simulation_; }

signals:
    // ShowReceptionProgress(elapsed, limit), and the bar hidden again.
    void receptionProgress(double elapsed, double limit);
    void progressHidden();

private:
    void setTickInterval(int ms);
    enum class SerialResult { Ok, Failed, Bluetooth };
    SerialResult openSerial(int port, const QString &device);
    void finishAdapterCheck();
    void errorExit(int port);
    void onTimerCom();
    void onTelegramAccepted();
    void onPortLost();
    void onReopenTick();
    bool deliver(const QByteArray &telegram, const QString &source);

    TankController &controller_;
    const RunConfig &config_;
    Settings &settings_;
    UiServices &ui_;
    TraceLog trace_;
    LinkHardware hardware_;
    SerialLink serial_;
    TcpLink tcp_;
    Simulation simulation_;
    QTimer timerCom_;
    QTimer reopenTimer_;
    QTimer breakCheck_;
    int timeout_ = 180;
    int tag_ = 0;
    int missedIntervals_ = 0;
    bool reopening_ = false;
};
