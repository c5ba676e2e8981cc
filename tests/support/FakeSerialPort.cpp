#include "FakeSerialPort.h"

bool FakeSerialPort::open(const QString &device)
{
    close();
    device_ = device;
    bus_->log << QStringLiteral("open ") + device;
    open_ = bus_->present.contains(device);
    rts_ = dtr_ = false;
    return open_;
}

void FakeSerialPort::close()
{
    if (!open_)
        return;
    open_ = false;
    rx_.clear();
    bus_->log << QStringLiteral("close");
}

// A shorted bus answers the switched-on lines with a break: it is queued like
// a real one, so it shows up at the next pass through the event loop (and
// never once the port is gone).
void FakeSerialPort::setLine(const char *name, bool &line, bool on)
{
    bus_->log << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(on ? 1 : 0);
    line = on;
    if (open_ && rts_ && dtr_ && bus_->breakOnLinesOn)
        QMetaObject::invokeMethod(
            this, [this] { feed(QByteArray(1, '\0'), Break); }, Qt::QueuedConnection);
}

void FakeSerialPort::write(const QByteArray &data)
{
    if (open_)
        bus_->log << QStringLiteral("write ") + QString::fromLatin1(data);
}

void FakeSerialPort::feed(const QByteArray &data, int event)
{
    if (!open_)
        return;
    rx_ += data;
    if (event)
        emit lineEvent(event);
    if (!rx_.isEmpty())
        emit readyRead();
}
