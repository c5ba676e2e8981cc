#include "SerialLink.h"

#include "Framing.h"

SerialLink::SerialLink(const SerialLinkConfig &config, std::unique_ptr<SerialPortBackend> backend,
                       QObject *parent)
    : DeviceLink(parent), config_(config), backend_(std::move(backend))
{
    connect(backend_.get(), &SerialPortBackend::readyRead, this, &SerialLink::onReadyRead);
    connect(backend_.get(), &SerialPortBackend::lineEvent, this, &SerialLink::onLineEvent);
    connect(backend_.get(), &SerialPortBackend::disconnected, this, &SerialLink::lost);
}

SerialLink::~SerialLink() = default;

bool SerialLink::open()
{
    close();
    rxBuffer_.clear();
    if (config_.device.isEmpty() || !backend_->open(config_.device))
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
    return config_.device.isEmpty() ? QStringLiteral("no device for this port number")
                                    : backend_->errorString();
}

DeviceLink::Check SerialLink::checkAfterOpen()
{
    const bool ctsLow = !backend_->cts();
    backend_->setRts(true);
    backend_->setDtr(true);
    if (config_.bluetooth) {
        backend_->write(QByteArrayLiteral("test"));
        return Check::Bluetooth;
    }
    if (!ctsLow)
        return Check::NoAdapter;
    // A shorted bus answers the lines with a break.
    breakSeen_ = false;
    return Check::AwaitBreak;
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
    emit telegramReceived(telegram, QString());
    return CheckTelegram(telegram) == TelegramFault::None;
}
