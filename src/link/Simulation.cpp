#include "Simulation.h"

#include "model/DeviceRecord.h"

#include <QDateTime>
#include <cmath>
#include <random>

qint64 RoundHalfEven(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return qint64(f) + 1;
    if (diff < 0.5)
        return qint64(f);
    return qint64(f) % 2 == 0 ? qint64(f) : qint64(f) + 1;
}

namespace
{
// The decimal digits read as hex digits: 3987 -> 0x3987. A negative level has
// no such reading; it goes out as 0.
int bcd(int level)
{
    if (level < 0)
        return 0;
    int out = 0;
    for (int shift = 0; shift < 16 && level > 0; shift += 4, level /= 10)
        out |= (level % 10) << shift;
    return out;
}
} // namespace

QByteArray SimulatedTelegram(int serialNumber, int temperature, int level)
{
    const int v = bcd(level);
    const unsigned char b[19] = {2,
                                 17,
                                 9,
                                 static_cast<unsigned char>(serialNumber >> 8),
                                 static_cast<unsigned char>(serialNumber),
                                 static_cast<unsigned char>(temperature + 128),
                                 0,
                                 static_cast<unsigned char>(v >> 8),
                                 static_cast<unsigned char>(v),
                                 0,
                                 1,
                                 19,
                                 136,
                                 7,
                                 208,
                                 0,
                                 0,
                                 0,
                                 3};
    QByteArray t(reinterpret_cast<const char *>(b), 19);
    int sum = 0;
    for (int i = 1; i <= 16; ++i)
        sum += static_cast<unsigned char>(t[i]);
    t[17] = char(sum & 0xFF);
    return t;
}

Simulation::Simulation(const DeviceTable &table, QObject *parent) : QObject(parent), table_(table)
{
    connect(&timer_, &QTimer::timeout, this, &Simulation::tick);
}

void Simulation::setIntervals(int firstMs, int nextMs)
{
    firstMs_ = firstMs;
    nextMs_ = nextMs;
}

void Simulation::seedFromClock()
{
    auto gen = std::make_shared<std::mt19937>(quint32(QDateTime::currentMSecsSinceEpoch()));
    random_ = [gen] { return std::uniform_real_distribution<double>(0.0, 1.0)(*gen); };
}

void Simulation::start()
{
    if (!random_)
        seedFromClock();
    timer_.start(firstMs_);
}

void Simulation::tick()
{
    if (!random_)
        seedFromClock();
    ++index_;
    if (index_ <= 0 || index_ > table_.DeviceCount)
        index_ = 1;
    if (level_ == 0)
        level_ = 4000;
    const int newLevel = int(RoundHalfEven(level_ - random_() / 100 * 5000));
    level_ = newLevel >= 0 ? newLevel : 0;
    const int temperature = int(RoundHalfEven(random_() * 30 - 5));
    const int sn = table_[index_].SN;
    if (sink_)
        sink_(SimulatedTelegram(sn, temperature, newLevel), QString());
    if (timer_.isActive())
        timer_.setInterval(nextMs_);
}
