#include "QtSerialPortBackend.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

QtSerialPortBackend::QtSerialPortBackend(QObject *parent) : SerialPortBackend(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialPortBackend::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPortBackend::onError);
}

QtSerialPortBackend::~QtSerialPortBackend()
{
    close();
}

bool QtSerialPortBackend::open(const QString &device)
{
    close();
    device_ = device;
    error_.clear();
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        return false;
    }
    const bool ok = port_.setBaudRate(QSerialPort::Baud2400) && port_.setDataBits(QSerialPort::Data8) &&
                    port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
                    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        error_ = port_.errorString();
        port_.close();
        return false;
    }
    hasCounters_ = readCounters(counters_);
    return true;
}

void QtSerialPortBackend::close()
{
    if (port_.isOpen())
        port_.close();
    port_.clearError();
}

bool QtSerialPortBackend::isOpen() const
{
    return port_.isOpen();
}

// A pseudo-terminal answers UnsupportedOperationError: no modem lines, not a
// failure of the port.
void QtSerialPortBackend::setRts(bool on)
{
    if (port_.isOpen() && !port_.setRequestToSend(on))
        port_.clearError();
}

void QtSerialPortBackend::setDtr(bool on)
{
    if (port_.isOpen() && !port_.setDataTerminalReady(on))
        port_.clearError();
}

bool QtSerialPortBackend::cts()
{
    if (!port_.isOpen())
        return false;
    const QSerialPort::PinoutSignals s = port_.pinoutSignals();
    if (port_.error() != QSerialPort::NoError) {
        port_.clearError();
        return false;
    }
    return s.testFlag(QSerialPort::ClearToSendSignal);
}

void QtSerialPortBackend::write(const QByteArray &data)
{
    if (!port_.isOpen())
        return;
    port_.write(data);
    port_.flush();
}

QByteArray QtSerialPortBackend::readAll()
{
    return port_.isOpen() ? port_.readAll() : QByteArray();
}

qint64 QtSerialPortBackend::bytesAvailable() const
{
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

bool QtSerialPortBackend::readCounters(std::array<int, 5> &out) const
{
#ifdef Q_OS_LINUX
    if (!port_.isOpen())
        return false;
    serial_icounter_struct c{};
    if (::ioctl(int(port_.handle()), TIOCGICOUNT, &c) != 0)
        return false;
    out = {c.brk, c.frame, c.overrun, c.buf_overrun, c.parity};
    return true;
#else
    (void)out;
    return false;
#endif
}

void QtSerialPortBackend::onReadyRead()
{
    if (hasCounters_) {
        std::array<int, 5> now{};
        if (readCounters(now)) {
            static constexpr int codes[5] = {Break, Framing, Overrun, RxOverflow, Parity};
            const std::array<int, 5> before = counters_;
            counters_ = now;
            for (size_t i = 0; i < now.size(); ++i)
                if (now[i] != before[i])
                    emit lineEvent(codes[i]);
        }
    }
    emit readyRead();
}

// A removed device (USB adapter unplugged) reports ResourceError; a hung-up
// line (its other end gone, e.g. a Bluetooth link or a pseudo-terminal's
// master) reads end-of-file, which Qt reports as ReadError, again and again.
// Either way the port is closed and the link looks for it again.
void QtSerialPortBackend::onError(QSerialPort::SerialPortError e)
{
    if (e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError ||
        e == QSerialPort::ReadError) {
        if (!port_.isOpen())
            return; // an open attempt that failed; open() reports it
        error_ = port_.errorString();
        port_.close();
        port_.clearError();
        emit disconnected();
    }
}
