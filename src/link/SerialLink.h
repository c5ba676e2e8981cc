#pragma once
#include "SerialPortBackend.h"

#include "core/Clock.h"
#include "core/TraceLog.h"

#include <QObject>
#include <functional>
#include <memory>

class UiServices;

// The serial side of the device link: the port, the receive buffer and the
// cutting of the character stream into telegrams.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<bool(const QByteArray &telegram, const QString &source)>;

    SerialLink(std::unique_ptr<SerialPortBackend> backend, UiServices &ui, TraceLog trace, ClockFn clock,
               QObject *parent = nullptr);
    ~SerialLink() override;
    void setSink(Sink sink) { sink_ = std::move(sink); }

    // Closes the port if open, opens device as port number `port` with RTS and
    // DTR off. False when the device is missing or busy.
    bool open(int port, const QString &device);
    void close();
    bool isOpen() const;
    int port() const { return port_; }
    QString device() const { return device_; }
    QString errorString() const;

    bool ctsHigh();
    void setLines(bool on); // RTS and DTR together
    void write(const QByteArray &data);

    bool breakSeen() const { return breakSeen_; }
    void clearBreak() { breakSeen_ = false; }
    QByteArray rxBuffer() const { return rxBuffer_; }

signals:
    // The device disappeared under the open port.
    void portLost();

private:
    void onReadyRead();
    void onLineEvent(int code);
    bool evaluate(const QByteArray &telegram);

    std::unique_ptr<SerialPortBackend> backend_;
    UiServices &ui_;
    TraceLog trace_;
    ClockFn clock_;
    Sink sink_;
    QByteArray rxBuffer_;
    int port_ = 1;
    QString device_;
    bool breakSeen_ = false;
};
