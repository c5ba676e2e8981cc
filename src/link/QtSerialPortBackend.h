#pragma once
#include "SerialPortBackend.h"

#include <QSerialPort>
#include <array>

// The real serial port. Qt 6 no longer reports break and line errors, so
// they come from the driver's error counters (TIOCGICOUNT), read after each
// receive; a port without counters (pseudo-terminal) just has no line events.
class QtSerialPortBackend : public SerialPortBackend
{
    Q_OBJECT
public:
    explicit QtSerialPortBackend(QObject *parent = nullptr);
    ~QtSerialPortBackend() override;

    bool open(const QString &device) override;
    void close() override;
    bool isOpen() const override;
    QString device() const override { return device_; }
    void setRts(bool on) override;
    void setDtr(bool on) override;
    bool cts() override;
    void write(const QByteArray &data) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    QString errorString() const override { return error_; }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError e);
    // brk, frame, overrun, buf_overrun, parity; false when the port has none.
    bool readCounters(std::array<int, 5> &out) const;

    QSerialPort port_;
    QString device_;
    QString error_;
    std::array<int, 5> counters_{};
    bool hasCounters_ = false;
};
