#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The serial port as the link needs it, so tests can put a fake in its place.
// Line events use the codes the receive handler reacts to.
class SerialPortBackend : public QObject
{
    Q_OBJECT
public:
    enum LineEvent { Break = 1001, Framing = 1004, Overrun = 1006, RxOverflow = 1008, Parity = 1009 };

    using QObject::QObject;
    // Opens the device path at 2400,n,8,1 without flow control; false with
    // errorString() set when the device is missing or busy.
    virtual bool open(const QString &device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString device() const = 0;
    // Modem lines. A port without them (a pseudo-terminal) ignores the calls
    // and reports CTS low, as an adapter that is plugged in correctly would.
    virtual void setRts(bool on) = 0;
    virtual void setDtr(bool on) = 0;
    virtual bool cts() = 0;
    virtual void write(const QByteArray &data) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QString errorString() const = 0;

signals:
    void readyRead();
    void lineEvent(int code);
    // The device went away under an open port (adapter unplugged, link lost).
    void disconnected();
};

// Creates the port the serial link uses; tests hand the link manager their own.
using SerialPortFactory = std::function<std::unique_ptr<SerialPortBackend>()>;
