#pragma once
// A device link without a device: the test hands it telegrams, and the link
// manager takes them as it takes those of a port or a TCP peer; it fails to
// open while the test says it is absent, and is lost when the test pulls it.
// Tests of what lies above the links use it instead of pseudo-terminals and
// sockets.
#include "link/DeviceLink.h"

#include <QTimer>

class MockLink : public DeviceLink
{
public:
    bool open() override
    {
        ++opens;
        state_ = absent ? State::Closed : State::Open;
        return !absent;
    }
    QString errorString() const override { return QStringLiteral("absent"); }
    void close() override { state_ = State::Closed; }
    State state() const override { return state_; }

    // One telegram from source, as a link delivers it (nothing while closed).
    void feed(const QByteArray &telegram, const QString &source = QString())
    {
        if (state_ != State::Closed)
            emit telegramReceived(telegram, source);
    }
    // The same from the event loop, after ms.
    void feedLater(const QByteArray &telegram, const QString &source = QString(), int ms = 0)
    {
        QTimer::singleShot(ms, this, [this, telegram, source] { feed(telegram, source); });
    }

    // Goes away under the program, as an unplugged adapter does; it cannot
    // be opened until the test sets absent back to false.
    void pull()
    {
        absent = true;
        state_ = State::Closed;
        emit lost();
    }

    bool absent = false; // open() fails
    int opens = 0;       // open() calls so far

private:
    State state_ = State::Closed;
};

// Mock links in place of the real ones, for LinkHardware::links; the test
// reaches them through the pointers (they live as long as the link manager).
struct MockLinks {
    MockLink *serial = nullptr, *tcp = nullptr, *simulation = nullptr;
    LinkFactory factory()
    {
        return [this](LinkKind kind) -> std::unique_ptr<DeviceLink> {
            auto l = std::make_unique<MockLink>();
            (kind == LinkKind::Serial ? serial : kind == LinkKind::Tcp ? tcp : simulation) = l.get();
            return l;
        };
    }
};
