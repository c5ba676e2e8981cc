#pragma once
#include "DeviceLink.h"
#include "SerialPortBackend.h"

#include <memory>

// The serial side of the device link: the port, the receive buffer and the
// cutting of the character stream into telegrams. A block goes out as a
// telegram candidate; the cut goes on behind it when it passes the
// telegram's own checks, else at its next character.
class SerialLink : public DeviceLink
{
    Q_OBJECT
public:
    // config: the port and device to open, and whether it is a Bluetooth
    // link; read at each open() (it outlives this object).
    SerialLink(const SerialLinkConfig &config, std::unique_ptr<SerialPortBackend> backend,
               QObject *parent = nullptr);
    ~SerialLink() override;

    // Closes the port if open, opens the configured device with RTS and DTR
    // off. False when the device is missing or busy.
    bool open() override;
    void close() override;
    State state() const override { return isOpen() ? State::Open : State::Closed; }
    // The adapter check: CTS is read with the lines off, then RTS and DTR go
    // on (they power the adapter). CTS already high means no adapter is
    // there; a Bluetooth port is greeted with "test" instead.
    Check checkAfterOpen() override;
    bool lineBroken() const override { return breakSeen_; }
    QString errorString() const override;
    bool isOpen() const;

    bool breakSeen() const { return breakSeen_; }
    QByteArray rxBuffer() const { return rxBuffer_; }

private:
    void onReadyRead();
    void onLineEvent(int code);
    bool evaluate(const QByteArray &telegram);

    const SerialLinkConfig &config_;
    std::unique_ptr<SerialPortBackend> backend_;
    QByteArray rxBuffer_;
    bool breakSeen_ = false;
};
