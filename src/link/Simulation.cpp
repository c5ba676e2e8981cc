#include "Simulation.h"

#include "model/DeviceRecord.h"
#include "model/Telegram.h"

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

QByteArray SimulatedTelegram(int serialNumber, int temperature, int level)
{
    DecodedTelegram d;
    d.geraetetyp = 9;
    d.sn = serialNumber;
    d.temperatur = qint16(temperature);
    // A negative level has no BCD reading; it goes out as 0.
    d.volumen = qMax(level, 0);
    d.tanktyp = 1;
    d.tankvolumen = 5000;
    d.tankhoehe = 2000;
    return EncodeTelegram(d);
}

Simulation::Simulation(const DeviceTable &table, const SimulationConfig &config,
                       std::function<double()> random, QObject *parent)
    : DeviceLink(parent), table_(table), config_(config), random_(std::move(random))
{
    connect(&timer_, &QTimer::timeout, this, &Simulation::tick);
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
    timer_.start(config_.firstTickMs);
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
    emit telegramReceived(SimulatedTelegram(sn, temperature, newLevel), QString());
    if (timer_.isActive())
        timer_.setInterval(config_.nextTickMs);
}
