#include "LinkManager.h"

#include "QtSerialPortBackend.h"
#include "SerialLink.h"
#include "Simulation.h"
#include "TcpLink.h"

#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"

namespace
{
constexpr int kTimerComMs = 1000;
// Long enough for a shorted bus to answer the switched-on lines with a break
// (a few character times at 2400 baud).
constexpr int kBreakCheckMs = 20;

QString portFailedText(int port, const Texts &texts)
{
    return texts(269) + QString::number(port) + texts(270);
}

std::unique_ptr<SerialPortBackend> makePort(const SerialPortFactory &factory)
{
    if (factory)
        return factory();
    return std::make_unique<QtSerialPortBackend>();
}

int winsockState(DeviceLink::State s)
{
    switch (s) {
    case DeviceLink::State::Closed:
        return TcpLink::WinsockClosed;
    case DeviceLink::State::Open:
        return TcpLink::WinsockListening;
    case DeviceLink::State::Connected:
        return TcpLink::WinsockConnected;
    }
    return TcpLink::WinsockClosed;
}
} // namespace

LinkManager::LinkManager(TankController &controller, const RunSwitches &switches, Settings &settings,
                         UiServices &ui, const Texts &texts, ClockFn clock, LinkHardware hardware,
                         QObject *parent)
    : QObject(parent), controller_(controller), switches_(switches), settings_(settings), ui_(ui),
      texts_(texts), trace_(switches, clock), hardware_(std::move(hardware)),
      serial_(make(
          LinkKind::Serial,
          [&] { return std::make_unique<SerialLink>(makePort(hardware_.serialPort), ui, texts, clock); })),
      tcp_(make(LinkKind::Tcp,
                [&] {
                    return std::make_unique<TcpLink>(settings, ui, texts, clock,
                                                     hardware_.tickMs > 0 ? hardware_.tickMs : kTimerComMs);
                })),
      simulation_(
          make(LinkKind::Simulation, [&] { return std::make_unique<Simulation>(controller.table()); }))
{
    const std::pair<DeviceLink *, LinkKind> links[] = {{serial_.get(), LinkKind::Serial},
                                                       {tcp_.get(), LinkKind::Tcp},
                                                       {simulation_.get(), LinkKind::Simulation}};
    for (const auto &[l, kind] : links) {
        l->setTraceWanted([this] { return trace_.enabled(); });
        // Each telegram goes on with the link it came by.
        connect(l, &DeviceLink::telegramReceived, this,
                [this, kind = kind](const QByteArray &t, const QString &s) { deliver(t, s, kind); });
        connect(l, &DeviceLink::traceLine, this, [this](const QString &t) { trace_.LogInFile(t); });
    }
    connect(serial_.get(), &DeviceLink::lost, this, &LinkManager::onPortLost);
    connect(&controller_, &TankController::telegramAccepted, this, &LinkManager::onTelegramAccepted);
    timerCom_.setInterval(kTimerComMs);
    connect(&timerCom_, &QTimer::timeout, this, &LinkManager::onTimerCom);
    reopenTimer_.setInterval(2 * kTimerComMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &LinkManager::onReopenTick);
    breakCheck_.setSingleShot(true);
    breakCheck_.setInterval(kBreakCheckMs);
    connect(&breakCheck_, &QTimer::timeout, this, &LinkManager::finishAdapterCheck);
    if (hardware_.tickMs > 0)
        setTickInterval(hardware_.tickMs);
    // The link switches act at once: the serial link opens or closes on the
    // current port, the TCP listener opens or closes.
    connect(&switches_, &RunSwitches::activeComChanged, this, [this] { InitCOM(port_, device_); });
    connect(&switches_, &RunSwitches::activeNetChanged, this, [this](bool on) {
        if (on)
            tcp_->open();
        else
            tcp_->close();
    });
}

QList<PortInfo> LinkManager::ports() const
{
    return PortDirectory::Numbered(hardware_.ports ? hardware_.ports() : PortDirectory::SystemPorts());
}

LinkManager::~LinkManager() = default;

std::unique_ptr<DeviceLink> LinkManager::make(LinkKind kind,
                                              std::function<std::unique_ptr<DeviceLink>()> real)
{
    std::unique_ptr<DeviceLink> l = hardware_.links ? hardware_.links(kind) : nullptr;
    return l ? std::move(l) : real();
}

SerialLink *LinkManager::serialPort() const
{
    return qobject_cast<SerialLink *>(serial_.get());
}

TcpLink *LinkManager::tcpListener() const
{
    return qobject_cast<TcpLink *>(tcp_.get());
}

quint16 LinkManager::listeningPort() const
{
    const TcpLink *t = tcpListener();
    return t && t->state() != DeviceLink::State::Closed ? t->serverPort() : 0;
}

void LinkManager::setTickInterval(int ms)
{
    timerCom_.setInterval(ms);
    reopenTimer_.setInterval(2 * ms);
}

bool LinkManager::deliver(const QByteArray &telegram, const QString &source, LinkKind link)
{
    return hardware_.sink ? hardware_.sink(telegram, source)
                          : controller_.EvalTelegramm(telegram, source, link);
}

void LinkManager::StartFromSettings()
{
    timeout_ = int(qint16(settings_.readInt(Cfg::Timeout)));
    if (switches_.options().clientMode)
        return;
    if (settings_.readSwitch(Cfg::Simulation)) {
        simulation_->open();
        return;
    }
    InitCOM(int(settings_.readInt(Cfg::ComPort)));
}

void LinkManager::InitCOM(int port)
{
    const QString stored = settings_.read(Cfg::ComDevice).trimmed();
    InitCOM(port, port == int(settings_.readInt(Cfg::ComPort)) ? stored : QString());
}

void LinkManager::InitCOM(int port, const QString &device)
{
    tcp_->close();
    ui_.setPanelText(1, QString());
    timerCom_.stop();
    reopenTimer_.stop();
    breakCheck_.stop();
    emit progressHidden();
    trace_.LogInFile(QStringLiteral("InitCom FlagComAktiv=") +
                     (switches_.activeCom() ? QStringLiteral("True") : QStringLiteral("False")) +
                     QStringLiteral(" Port=") + QString::number(port));
    if (switches_.activeCom()) {
        switch (openSerial(port, device)) {
        case SerialResult::Failed:
            errorExit(port);
            return;
        case SerialResult::Bluetooth:
            return;
        case SerialResult::Ok:
            break;
        }
    } else {
        // The serial link switched off must not go on delivering telegrams;
        // switched on again, it opens on this port.
        serial_->close();
        port_ = port;
        device_ = device;
    }
    if (switches_.activeNet())
        tcp_->open();
}

LinkManager::SerialResult LinkManager::openSerial(int port, const QString &device, bool quiet)
{
    const QString path = device.isEmpty() ? PortDirectory::PortDeviceName(ports(), port) : device;
    port_ = port;
    device_ = path;
    SerialLink *real = serialPort();
    if (real)
        real->setPort(port, path);
    if (!serial_->open()) {
        if (!quiet)
            trace_.LogInFile(QStringLiteral("InitCom Device=") + path + QStringLiteral(" ") +
                             (real ? real->errorString() : QStringLiteral("not opened")));
        return SerialResult::Failed;
    }
    if (!real) {
        // A stand-in has no modem lines to check.
        breakCheck_.start();
        return SerialResult::Ok;
    }
    const bool ctsLow = !real->ctsHigh();
    real->setLines(true);
    if (settings_.readSwitch(Cfg::Bluetooth)) {
        real->write(QByteArrayLiteral("test"));
        return SerialResult::Bluetooth;
    }
    if (ctsLow) {
        // A shorted bus answers the lines with a break: look once the event
        // loop has delivered what the port reported meanwhile.
        real->clearBreak();
        breakCheck_.start();
    } else {
        ui_.setPanelText(1, texts_(261));
        ui_.messageBox(texts_(262) + QStringLiteral("\r\n") + texts_(263) + QStringLiteral("\r\n") +
                           texts_(264),
                       QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    }
    return SerialResult::Ok;
}

void LinkManager::finishAdapterCheck()
{
    if (!serialOpen())
        return;
    if (const SerialLink *real = serialPort(); real && real->breakSeen()) {
        ui_.setPanelText(1, texts_(265));
        ui_.messageBox(FormatText(texts_(266), {texts_.deviceName()}) + QLatin1Char('\r') + texts_(267),
                       QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    } else {
        timerCom_.start();
        ui_.setPanelText(1, FormatText(texts_(268), {texts_.deviceName()}));
        missedIntervals_ = 0;
    }
}

void LinkManager::errorExit(int port)
{
    const QString text = portFailedText(port, texts_);
    ui_.setPanelText(1, text);
    emit linkLost(text);
    ui_.messageBox(text, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
}

void LinkManager::CloseSerial()
{
    reopenTimer_.stop();
    breakCheck_.stop();
    serial_->close();
}

void LinkManager::CloseLinks()
{
    CloseSerial();
    tcp_->close();
}

void LinkManager::onTimerCom()
{
    const TcpLink *t = tcpListener();
    trace_.LogInFile(QStringLiteral("WinSocket State = ") + QString::number(winsockState(tcp_->state())) +
                     QStringLiteral(" WinConnectTime [ms] = ") +
                     QString::number(t ? t->winConnectTime() : 0));
    ++tag_;
    emit receptionProgress(tag_, timeout_);
    if (tag_ >= timeout_) {
        tag_ = 0;
        const QString text = FormatText(texts_(260), {texts_.deviceName()});
        ui_.setPanelText(1, text);
        if (!receptionLost_) {
            receptionLost_ = true;
            emit linkLost(text);
        }
        ++missedIntervals_;
        if (settings_.readInt(Cfg::MaxPoll) <= missedIntervals_) {
            missedIntervals_ = 0;
            emit receptionProgress(0, timeout_);
        }
    }
}

void LinkManager::onTelegramAccepted()
{
    tag_ = 0;
    if (receptionLost_) {
        receptionLost_ = false;
        emit linkBack(texts_(814));
    }
    if (!timerCom_.isActive())
        timerCom_.start();
    missedIntervals_ = 0;
}

// The port went away under us (adapter unplugged, Bluetooth link lost): say
// so once and look for it again every two ticks, without a message box.
void LinkManager::onPortLost()
{
    trace_.LogInFile(QStringLiteral("Com_PortLost Port=") + QString::number(port_) +
                     QStringLiteral(" Device=") + device_);
    serial_->close();
    ui_.setPanelText(1, portFailedText(port_, texts_));
    emit linkLost(portFailedText(port_, texts_));
    reopenTimer_.start();
}

void LinkManager::onReopenTick()
{
    if (!switches_.activeCom()) {
        reopenTimer_.stop();
        return;
    }
    // Nothing in the open waits on the event loop, so the tick cannot come
    // round again inside it.
    if (openSerial(port_, device_, true) != SerialResult::Failed) {
        reopenTimer_.stop();
        trace_.LogInFile(QStringLiteral("Com_PortBack Port=") + QString::number(port_) +
                         QStringLiteral(" Device=") + device_);
        emit linkBack(FormatText(texts_(876), {device_}));
    }
}
