#pragma once
#include "link/SerialPortBackend.h"

#include <QSet>
#include <QStringList>
#include <memory>
#include <utility>

class FakeSerialPort;

// A serial port without hardware, for tests and demonstrations. Its devices
// are shared with every FakeSerialPort made from the same FakeSerialBus.
class FakeSerialBus
{
public:
    QSet<QString> present;          // device paths that can be opened
    bool ctsHigh = false;           // CTS right after opening (with RTS/DTR off)
    bool breakOnLinesOn = false;    // a line break arrives when RTS and DTR go on
    QStringList log;                // "open <dev>", "rts 1", "dtr 0", "write <data>", "close"
    FakeSerialPort *port = nullptr; // the one made last (tests reach the link's port)
};

class FakeSerialPort : public SerialPortBackend
{
    Q_OBJECT
public:
    explicit FakeSerialPort(std::shared_ptr<FakeSerialBus> bus) : bus_(std::move(bus)) { bus_->port = this; }

    bool open(const QString &device) override;
    void close() override;
    bool isOpen() const override { return open_; }
    QString device() const override { return device_; }
    void setRts(bool on) override { setLine("rts", rts_, on); }
    void setDtr(bool on) override { setLine("dtr", dtr_, on); }
    bool cts() override { return open_ && bus_->ctsHigh; }
    void write(const QByteArray &data) override;
    QByteArray readAll() override { return std::exchange(rx_, {}); }
    qint64 bytesAvailable() const override { return rx_.size(); }
    // Asked after a failed open only.
    QString errorString() const override { return QStringLiteral("No such file or directory"); }

    // Test side: characters arriving from the line, after line event `event`
    // unless it is 0 (nothing arrives at a closed port).
    void feed(const QByteArray &data, int event = 0);

private:
    void setLine(const char *name, bool &line, bool on);

    std::shared_ptr<FakeSerialBus> bus_;
    QString device_;
    QByteArray rx_;
    bool open_ = false;
    bool rts_ = false, dtr_ = false;
};
