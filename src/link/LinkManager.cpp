#include "LinkManager.h"

#include "PortDirectory.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/TextHelpers.h"
#include "core/TraceLog.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"

namespace
{
constexpr int kTimerComMs = 1000;

QString portFailedText(int port)
{
    return LngText(269) + QString::number(port) + LngText(270);
}
} // namespace

LinkManager::LinkManager(TankController &controller, QObject *parent)
    : QObject(parent), controller_(controller), simulation_(controller.table())
{
    const auto deliver = [this](const QByteArray &t, const QString &s) { return this->deliver(t, s); };
    serial_.setSink(deliver);
    tcp_.setSink(deliver);
    simulation_.setSink(deliver);
    connect(&serial_, &SerialLink::portLost, this, &LinkManager::onPortLost);
    connect(&controller_, &TankController::telegramAccepted, this, &LinkManager::onTelegramAccepted);
    timerCom_.setInterval(kTimerComMs);
    connect(&timerCom_, &QTimer::timeout, this, &LinkManager::onTimerCom);
    reopenTimer_.setInterval(2 * kTimerComMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &LinkManager::onReopenTick);
}

LinkManager::~LinkManager() = default;

void LinkManager::setSink(Sink sink)
{
    sink_ = std::move(sink);
}

void LinkManager::setTickInterval(int ms)
{
    timerCom_.setInterval(ms);
    reopenTimer_.setInterval(2 * ms);
    tcp_.setCheckInterval(ms);
    tcp_.setRelistenDelays(qMax(1, ms / 10), ms);
}

bool LinkManager::deliver(const QByteArray &telegram, const QString &source)
{
    return sink_ ? sink_(telegram, source) : controller_.EvalTelegramm(telegram, source);
}

void LinkManager::StartFromSettings()
{
    timeout_ = int(qint16(Cfg::Timeout.readInt()));
    if (State().clientMode)
        return;
    if (Cfg::Simulation.readSwitch()) {
        simulation_.start();
        return;
    }
    InitCOM(int(Cfg::ComPort.readInt()));
}

void LinkManager::InitCOM(int port)
{
    const QString stored = Cfg::ComDevice.read().trimmed();
    InitCOM(port, port == int(Cfg::ComPort.readInt()) ? stored : QString());
}

void LinkManager::InitCOM(int port, const QString &device)
{
    tcp_.close();
    Ui().setPanelText(1, QString());
    timerCom_.stop();
    reopenTimer_.stop();
    emit progressHidden();
    LogInFile(QStringLiteral("InitCom FlagComAktiv=") +
              (State().activeCom ? QStringLiteral("True") : QStringLiteral("False")) +
              QStringLiteral(" Port=") + QString::number(port));
    if (State().activeCom) {
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
        // The serial link switched off must not go on delivering telegrams.
        serial_.close();
    }
    if (State().activeNet)
        tcp_.listen();
}

LinkManager::SerialResult LinkManager::openSerial(int port, const QString &device)
{
    const QString path = device.isEmpty() ? PortDirectory::PortDeviceName(port) : device;
    if (!serial_.open(port, path)) {
        if (!reopening_) // the reopen poll fails quietly until the port is back
            LogInFile(QStringLiteral("InitCom Device=") + path + QStringLiteral(" ") + serial_.errorString());
        return SerialResult::Failed;
    }
    const bool ctsLow = !serial_.ctsHigh();
    serial_.setLines(true);
    if (Cfg::Bluetooth.readSwitch()) {
        serial_.write(QByteArrayLiteral("test"));
        return SerialResult::Bluetooth;
    }
    if (ctsLow) {
        serial_.clearBreak();
        PumpEvents();
        if (serial_.breakSeen()) {
            Ui().setPanelText(1, LngText(265));
            Ui().messageBox(FormatText(LngText(266), {DeviceName()}) + QLatin1Char('\r') + LngText(267),
                            QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        } else {
            timerCom_.start();
            Ui().setPanelText(1, FormatText(LngText(268), {DeviceName()}));
            missedIntervals_ = 0;
        }
    } else {
        Ui().setPanelText(1, LngText(261));
        Ui().messageBox(LngText(262) + QStringLiteral("\r\n") + LngText(263) + QStringLiteral("\r\n") +
                            LngText(264),
                        QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    }
    return SerialResult::Ok;
}

void LinkManager::errorExit(int port)
{
    const QString text = portFailedText(port);
    Ui().setPanelText(1, text);
    Ui().messageBox(text, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
}

void LinkManager::CloseSerial()
{
    reopenTimer_.stop();
    serial_.close();
}

void LinkManager::CloseLinks()
{
    CloseSerial();
    tcp_.close();
}

void LinkManager::onTimerCom()
{
    LogInFile(QStringLiteral("WinSocket State = ") + QString::number(tcp_.state()) +
              QStringLiteral(" WinConnectTime [ms] = ") + QString::number(tcp_.winConnectTime()));
    ++tag_;
    emit receptionProgress(tag_, timeout_);
    if (tag_ >= timeout_) {
        tag_ = 0;
        Ui().setPanelText(1, FormatText(LngText(260), {DeviceName()}));
        ++missedIntervals_;
        if (Cfg::MaxPoll.readInt() <= missedIntervals_) {
            missedIntervals_ = 0;
            emit receptionProgress(0, timeout_);
        }
    }
}

void LinkManager::onTelegramAccepted()
{
    tag_ = 0;
    if (!timerCom_.isActive())
        timerCom_.start();
    missedIntervals_ = 0;
}

// The port went away under us (adapter unplugged, Bluetooth link lost): say
// so once and look for it again every two ticks, without a message box.
void LinkManager::onPortLost()
{
    LogInFile(QStringLiteral("Com_PortLost Port=") + QString::number(serial_.port()) +
              QStringLiteral(" Device=") + serial_.device());
    serial_.close();
    Ui().setPanelText(1, portFailedText(serial_.port()));
    reopenTimer_.start();
}

void LinkManager::onReopenTick()
{
    if (!State().activeCom || reopening_) {
        if (!State().activeCom)
            reopenTimer_.stop();
        return;
    }
    reopening_ = true;
    if (openSerial(serial_.port(), serial_.device()) != SerialResult::Failed) {
        reopenTimer_.stop();
        LogInFile(QStringLiteral("Com_PortBack Port=") + QString::number(serial_.port()) +
                  QStringLiteral(" Device=") + serial_.device());
    }
    reopening_ = false;
}
