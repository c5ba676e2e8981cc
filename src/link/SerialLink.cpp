#include "SerialLink.h"

#include "Framing.h"

#include "core/UiServices.h"
#include "lang/Lng.h"

SerialLink::SerialLink(std::unique_ptr<SerialPortBackend> backend, UiServices &ui, const Texts &texts,
                       ClockFn clock, QObject *parent)
    : DeviceLink(parent), backend_(std::move(backend)), ui_(ui), texts_(texts), clock_(std::move(clock))
{
    connect(backend_.get(), &SerialPortBackend::readyRead, this, &SerialLink::onReadyRead);
    connect(backend_.get(), &SerialPortBackend::lineEvent, this, &SerialLink::onLineEvent);
    connect(backend_.get(), &SerialPortBackend::disconnected, this, &SerialLink::lost);
}

SerialLink::~SerialLink() = default;

void SerialLink::setPort(int port, const QString &device)
{
    port_ = port;
    device_ = device;
}

bool SerialLink::open()
{
    close();
    rxBuffer_.clear();
    if (device_.isEmpty() || !backend_->open(device_))
        return false;
    backend_->setRts(false);
    backend_->setDtr(false);
    return true;
}

void SerialLink::close()
{
    if (backend_->isOpen())
        backend_->close();
}

bool SerialLink::isOpen() const
{
    return backend_->isOpen();
}

QString SerialLink::errorString() const
{
    return device_.isEmpty() ? QStringLiteral("no device for this port number") : backend_->errorString();
}

bool SerialLink::ctsHigh()
{
    return backend_->cts();
}

void SerialLink::setLines(bool on)
{
    backend_->setRts(on);
    backend_->setDtr(on);
}

void SerialLink::write(const QByteArray &data)
{
    backend_->write(data);
}

void SerialLink::onLineEvent(int code)
{
    trace(QStringLiteral("Com_OnCom Event=") + QString::number(code));
    switch (code) {
    case SerialPortBackend::Break:
        backend_->readAll();
        breakSeen_ = true;
        break;
    case SerialPortBackend::Framing:
    case SerialPortBackend::Overrun:
    case SerialPortBackend::RxOverflow:
    case SerialPortBackend::Parity:
        backend_->readAll();
        break;
    default:
        break;
    }
}

void SerialLink::onReadyRead()
{
    const QByteArray d = backend_->readAll();
    if (d.isEmpty())
        return;
    if (tracing())
        emit traceLine(QStringLiteral("Com_OnCom comEvReceive=") + TraceData(d));
    rxBuffer_ += d;
    rxBuffer_ = ScanTelegrams(rxBuffer_, [this](const QByteArray &t) { return evaluate(t); });
}

bool SerialLink::evaluate(const QByteArray &telegram)
{
    ui_.setPanelText(1, ReceptionTimeText(clock_()) + QLatin1Char(' ') + texts_(298) +
                            QStringLiteral(" Com") + QString::number(port_));
    emit telegramReceived(telegram, QString());
    return CheckTelegram(telegram) == TelegramFault::None;
}
