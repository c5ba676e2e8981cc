#include "LinkManager.h"

#include "Framing.h"
#include "QtSerialPortBackend.h"
#include "SerialLink.h"
#include "Simulation.h"
#include "TcpLink.h"

#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/FleetModel.h"
#include "model/TankController.h"

#include <QLocale>

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
      texts_(texts), clock_(clock), trace_(switches, clock), hardware_(std::move(hardware)),
      serial_(make(LinkKind::Serial,
                   [&] {
                       auto l = std::make_unique<SerialLink>(configs_.serial, makePort(hardware_.serialPort));
                       realSerial_ = l.get();
                       return l;
                   })),
      tcp_(make(LinkKind::Tcp,
                [&] {
                    auto l = std::make_unique<TcpLink>(configs_.tcp, texts,
                                                       hardware_.tickMs > 0 ? hardware_.tickMs : kTimerComMs);
                    realTcp_ = l.get();
                    return l;
                })),
      simulation_(make(LinkKind::Simulation,
                       [&] { return std::make_unique<Simulation>(controller.table(), configs_.simulation); }))
{
    for (const LinkKind kind : {LinkKind::Serial, LinkKind::Tcp, LinkKind::Simulation}) {
        DeviceLink *l = &link(kind);
        l->setTraceWanted([this] { return trace_.enabled(); });
        // Each telegram goes on with the link it came by.
        connect(l, &DeviceLink::telegramReceived, this,
                [this, kind](const QByteArray &t, const QString &source) { deliver(kind, t, source); });
        connect(l, &DeviceLink::traceLine, this, [this](const QString &t) { trace_.LogInFile(t); });
        connect(l, &DeviceLink::problem, this, &LinkManager::onProblem);
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
    connect(&switches_, &RunSwitches::activeComChanged, this,
            [this] { InitCOM(configs_.serial.port, configs_.serial.device); });
    connect(&switches_, &RunSwitches::activeNetChanged, this, [this](bool on) {
        if (on) {
            openTcp();
        } else {
            tcp_->close();
            emit indicatorChanged();
        }
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

DeviceLink &LinkManager::link(LinkKind kind) const
{
    switch (kind) {
    case LinkKind::None: // no link of its own: the serial port stands for it
    case LinkKind::Serial:
        break;
    case LinkKind::Tcp:
        return *tcp_;
    case LinkKind::Simulation:
        return *simulation_;
    }
    return *serial_;
}

quint16 LinkManager::listeningPort() const
{
    const int p = configs_.tcp.port;
    return tcp_->state() != DeviceLink::State::Closed && p > 0 && p <= 65535 ? quint16(p) : 0;
}

void LinkManager::setTickInterval(int ms)
{
    timerCom_.setInterval(ms);
    reopenTimer_.setInterval(2 * ms);
}

void LinkManager::deliver(LinkKind kind, const QByteArray &telegram, const QString &source)
{
    const QDateTime now = clock_();
    // Said before the evaluation, which may have news of its own (an alarm).
    if (kind == LinkKind::Serial)
        ui_.status(NoticeTopic::Link, ReceptionTimeText(now) + QLatin1Char(' ') + texts_(298) +
                                          QStringLiteral(" Com") + QString::number(configs_.serial.port));
    else if (kind == LinkKind::Tcp)
        ui_.status(NoticeTopic::Link, ReceptionTimeText(now) + QStringLiteral(" TCP/IP ") + texts_(285) +
                                          QLatin1Char(' ') + source);
    delivering_ = int(kind);
    deliveredAt_ = now;
    if (hardware_.sink) {
        if (hardware_.sink(telegram, source))
            onTelegramAccepted();
    } else {
        controller_.EvalTelegramm(telegram, source, kind); // telegramAccepted comes from there
    }
    delivering_ = -1;
}

void LinkManager::onProblem(const QString &status, const QString &box)
{
    ui_.status(NoticeTopic::Link, status);
    // One action may open a link twice (the interface dialog's OK sets the
    // switch, then reopens): the same box within one turn is shown once.
    if (!box.isEmpty() && box != boxThisTurn_) {
        if (boxThisTurn_.isEmpty())
            QTimer::singleShot(0, this, [this] { boxThisTurn_.clear(); });
        boxThisTurn_ = box;
        ui_.messageBox(box, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    }
    emit indicatorChanged();
}

void LinkManager::openTcp()
{
    configs_.tcp.port = StoredListenPort(settings_);
    configs_.tcp.address = settings_.read(Cfg::ClientAdresse);
    tcp_->open();
    emit indicatorChanged();
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
    ui_.status(NoticeTopic::Link, QString());
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
            emit indicatorChanged();
            return;
        case SerialResult::Bluetooth:
            emit indicatorChanged();
            return;
        case SerialResult::Ok:
            break;
        }
    } else {
        // The serial link switched off must not go on delivering telegrams;
        // switched on again, it opens on this port.
        serial_->close();
        configs_.serial.port = port;
        configs_.serial.device = device;
    }
    if (switches_.activeNet())
        openTcp();
    else
        emit indicatorChanged();
}

LinkManager::SerialResult LinkManager::openSerial(int port, const QString &device, bool quiet)
{
    const QString path = device.isEmpty() ? PortDirectory::PortDeviceName(ports(), port) : device;
    configs_.serial.port = port;
    configs_.serial.device = path;
    configs_.serial.bluetooth = settings_.readSwitch(Cfg::Bluetooth);
    if (!serial_->open()) {
        if (!quiet)
            trace_.LogInFile(QStringLiteral("InitCom Device=") + path + QStringLiteral(" ") +
                             serial_->errorString());
        return SerialResult::Failed;
    }
    switch (serial_->checkAfterOpen()) {
    case DeviceLink::Check::Bluetooth:
        return SerialResult::Bluetooth;
    case DeviceLink::Check::AwaitBreak:
        // A shorted bus answers the lines with a break: look once the event
        // loop has delivered what the port reported meanwhile.
        breakCheck_.start();
        break;
    case DeviceLink::Check::NoAdapter:
        ui_.status(NoticeTopic::Link, texts_(261));
        ui_.messageBox(texts_(262) + QStringLiteral("\r\n") + texts_(263) + QStringLiteral("\r\n") +
                           texts_(264),
                       QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        break;
    }
    return SerialResult::Ok;
}

void LinkManager::finishAdapterCheck()
{
    if (!serialOpen())
        return;
    if (serial_->lineBroken()) {
        ui_.status(NoticeTopic::Link, texts_(265));
        ui_.messageBox(FormatText(texts_(266), {texts_.deviceName()}) + QLatin1Char('\r') + texts_(267),
                       QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    } else {
        timerCom_.start();
        ui_.status(NoticeTopic::Link, FormatText(texts_(268), {texts_.deviceName()}));
        missedIntervals_ = 0;
    }
}

void LinkManager::errorExit(int port)
{
    const QString text = portFailedText(port, texts_);
    ui_.status(NoticeTopic::Link, text);
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
    emit indicatorChanged();
}

void LinkManager::onTimerCom()
{
    trace_.LogInFile(QStringLiteral("WinSocket State = ") + QString::number(winsockState(tcp_->state())) +
                     QStringLiteral(" WinConnectTime [ms] = ") + QString::number(tcp_->connectedMs()));
    ++tag_;
    emit receptionProgress(tag_, timeout_);
    if (tag_ >= timeout_) {
        tag_ = 0;
        const QString text = FormatText(texts_(260), {texts_.deviceName()});
        ui_.status(NoticeTopic::Link, text);
        if (!receptionLost_) {
            receptionLost_ = true;
            emit linkLost(text);
            emit indicatorChanged();
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
    if (delivering_ >= 0)
        lastTelegram_[delivering_] = deliveredAt_;
    tag_ = 0;
    if (receptionLost_) {
        receptionLost_ = false;
        emit linkBack(texts_(814));
    }
    if (!timerCom_.isActive())
        timerCom_.start();
    missedIntervals_ = 0;
    emit indicatorChanged();
}

// The port went away under us (adapter unplugged, Bluetooth link lost): say
// so once and look for it again every two ticks, without a message box.
void LinkManager::onPortLost()
{
    const int port = configs_.serial.port;
    trace_.LogInFile(QStringLiteral("Com_PortLost Port=") + QString::number(port) +
                     QStringLiteral(" Device=") + configs_.serial.device);
    serial_->close();
    ui_.status(NoticeTopic::Link, portFailedText(port, texts_));
    emit linkLost(portFailedText(port, texts_));
    emit indicatorChanged();
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
    const SerialLinkConfig &c = configs_.serial;
    if (openSerial(c.port, c.device, true) != SerialResult::Failed) {
        reopenTimer_.stop();
        trace_.LogInFile(QStringLiteral("Com_PortBack Port=") + QString::number(c.port) +
                         QStringLiteral(" Device=") + c.device);
        emit linkBack(FormatText(texts_(876), {c.device}));
        emit indicatorChanged();
    }
}

LinkIndicator LinkManager::indicator() const
{
    const QDateTime now = clock_();
    // A link that brought a telegram within the watchdog's time is receiving,
    // whatever its socket does between a gateway's bursts.
    const qint64 watchdogSecs = qint64(timeout_) * timerCom_.interval() / 1000;
    const auto receiving = [&](LinkKind kind) {
        const QDateTime &t = lastTelegram_[int(kind)];
        return !receptionLost_ && t.isValid() && t.secsTo(now) <= qMax<qint64>(watchdogSecs, 1);
    };
    const auto says = [&](const QString &name) { return FormatText(texts_(1180), {name}); };
    QStringList parts;
    bool up = false;
    if (receiving(LinkKind::Serial))
        parts << says(QStringLiteral("Com") + QString::number(configs_.serial.port));
    else if (serialOpen())
        parts << FormatText(texts_(853), {configs_.serial.device});
    if (receiving(LinkKind::Tcp))
        parts << says(QStringLiteral("TCP"));
    else if (tcp_->state() == DeviceLink::State::Connected)
        parts << FormatText(texts_(854), {tcp_->peer()});
    else if (listeningPort() != 0)
        parts << FormatText(texts_(855), {QString::number(listeningPort())});
    if (receiving(LinkKind::Simulation) || simulation_->state() != DeviceLink::State::Closed)
        parts << says(texts_(1181));
    up = !parts.isEmpty();
    if (!up)
        parts << texts_(856);
    QDateTime last;
    for (const QDateTime &t : lastTelegram_)
        if (t.isValid() && (!last.isValid() || t > last))
            last = t;
    LinkIndicator out;
    out.text = parts.join(QStringLiteral(", "));
    out.tip = parts.join(QLatin1Char('\n'));
    if (last.isValid()) {
        const QString age = FormatText(texts_(857), {AgoText(last, now, texts_)});
        out.text += QStringLiteral(" · ") + age;
        out.tip += QLatin1Char('\n') + age + QStringLiteral(" (") +
                   texts_.locale().toString(last, QLocale::ShortFormat) + QLatin1Char(')');
    }
    if (const QString said = ui_.status(NoticeTopic::Link); !said.isEmpty())
        out.tip += QLatin1Char('\n') + said;
    out.warn = !up || receptionLost_;
    return out;
}
