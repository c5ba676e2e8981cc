#pragma once
// A device link without a device: the test hands it telegrams, and the link
// manager takes them as it takes those of a port or a TCP peer. Tests of what
// lies above the links use it instead of pseudo-terminals and sockets.
#include "link/DeviceLink.h"

#include <QTimer>

class MockLink : public DeviceLink
{
public:
    bool open() override
    {
        state_ = State::Open;
        return true;
    }
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
