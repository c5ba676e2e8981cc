#pragma once
#include "DeviceLink.h"
#include "SerialPortBackend.h"

#include "core/Clock.h"

#include <memory>

class UiServices;
class Texts;

// The serial side of the device link: the port, the receive buffer and the
// cutting of the character stream into telegrams. A block goes out as a
// telegram candidate; the cut goes on behind it when it passes the
// telegram's own checks, else at its next character.
class SerialLink : public DeviceLink
{
    Q_OBJECT
public:
    SerialLink(std::unique_ptr<SerialPortBackend> backend, UiServices &ui, const Texts &texts, ClockFn clock,
               QObject *parent = nullptr);
    ~SerialLink() override;

    // The port the next open() takes: device as port number `port`.
    void setPort(int port, const QString &device);
    // Closes the port if open, opens the device with RTS and DTR off. False
    // when the device is missing or busy.
    bool open() override;
    bool open(int port, const QString &device)
    {
        setPort(port, device);
        return open();
    }
    void close() override;
    State state() const override { return isOpen() ? State::Open : State::Closed; }
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

private:
    void onReadyRead();
    void onLineEvent(int code);
    bool evaluate(const QByteArray &telegram);

    std::unique_ptr<SerialPortBackend> backend_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    QByteArray rxBuffer_;
    int port_ = 1;
    QString device_;
    bool breakSeen_ = false;
};
