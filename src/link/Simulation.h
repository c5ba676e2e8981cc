#pragma once
#include "DeviceLink.h"

#include <QByteArray>
#include <QTimer>
#include <functional>

struct DeviceTable;

// The simulated telegram for one device: kind 17, type 9, the serial number,
// temperature + 128, the level as four BCD digits, tank capacity 5000 and
// height 2000, and the checksum over bytes 2 to 17.
QByteArray SimulatedTelegram(int serialNumber, int temperature, int level);
// Rounds to the nearest integer, halves to the even neighbour.
qint64 RoundHalfEven(double v);

// Demonstration without a device: every tick fabricates one telegram of a
// falling level for the next registered device, in turn.
class Simulation : public DeviceLink
{
    Q_OBJECT
public:
    // config: the ticks' timing (it outlives this object). random gives
    // numbers in [0, 1); without one, a generator seeded from the clock at
    // the first tick.
    Simulation(const DeviceTable &table, const SimulationConfig &config, std::function<double()> random = {},
               QObject *parent = nullptr);

    // The first tick after config's first interval (5000 ms), then every
    // next one (2000 ms).
    void start();
    bool open() override
    {
        start();
        return true;
    }
    void close() override { timer_.stop(); }
    State state() const override { return isActive() ? State::Open : State::Closed; }
    bool isActive() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }
    int index() const { return index_; }
    int level() const { return level_; }

    // One tick, also callable directly.
    void tick();

private:
    void seedFromClock();

    const DeviceTable &table_;
    const SimulationConfig &config_;
    QTimer timer_;
    std::function<double()> random_;
    qint16 index_ = 0;
    qint32 level_ = 0;
};
