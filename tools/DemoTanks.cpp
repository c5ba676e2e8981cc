#include "DemoTanks.h"

#include <algorithm>
#include <cmath>

double DemoRandom::next()
{
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return double(state >> 11) / double(quint64(1) << 53);
}

std::vector<DemoTank> DemoTanks()
{
    auto tank = [](DemoKind kind, int sn, int einheit, int dezPunkt, int capacity, int height, int shape,
                   const char *name) {
        DemoTank t{kind, {}};
        // Device type 9: its tank shapes are the large-tank series (shape + 10).
        t.rec.SN = sn, t.rec.Geraetetyp = 9, t.rec.Einheit = einheit, t.rec.DezPunkt = qint16(dezPunkt);
        t.rec.Tankvolumen = capacity, t.rec.Tankhoehe = height, t.rec.Tanktyp = qint16(shape);
        t.rec.Tankbezeichnung = QString::fromUtf8(name);
        return t;
    };
    return {tank(DemoKind::HeatingOil, 4711, 0, 0, 5000, 1600, 2, "Heating oil"), // horizontal cylinder
            tank(DemoKind::Diesel, 4712, 1, 1, 2500, 1200, 1, "Diesel"),          // linear
            tank(DemoKind::RainWater, 4713, 3, 3, 1000, 1900, 7, "Rain water")};  // plastic tank
}

DemoModel::DemoModel(DemoKind kind, double rawLevel, quint64 seed)
    : kind_(kind), level_(rawLevel), random_{seed}
{
}

double DemoModel::outdoor(const QDateTime &t, double days)
{
    // Coldest in mid-January; the weather wanders around the season's value.
    const double season = 9.5 - 10.5 * std::cos(2 * M_PI * (t.date().dayOfYear() - 15) / 365.0);
    weather_ = std::clamp(weather_ * std::pow(0.7, days) + random_.around(0, 3 * std::sqrt(days)), -7.0, 7.0);
    return season + weather_;
}

void DemoModel::advance(const QDateTime &t, double days)
{
    const double outside = outdoor(t, days);
    switch (kind_) {
    case DemoKind::HeatingOil: {
        // Burnt by the heating when it is cold outside, a little for hot
        // water all year; refilled when the level runs low.
        const double burnt = std::max(0.0, 15 - outside) * 2.4 + 2.5;
        level_ -= burnt * random_.around(1, 0.15) * days;
        if (level_ < 900) {
            level_ = random_.around(4750, 60);
            ++refuellings_;
        }
        temperature_ = qint16(std::lround(11 + 0.35 * (outside - 9.5))); // in the cellar
        break;
    }
    case DemoKind::Diesel: {
        // Machines run more in the warm months.
        level_ -= (outside > 12 ? 8.0 : 3.0) * random_.around(1, 0.5) * days;
        if (level_ < 400) {
            level_ = random_.around(2350, 40);
            ++refuellings_;
        }
        temperature_ = qint16(std::lround(outside)); // above ground
        break;
    }
    case DemoKind::RainWater: {
        // Used every day, most for the garden in summer; a shower runs in
        // over a few hours; the pump keeps a minimum.
        const int month = t.date().month();
        const bool wet = (month >= 3 && month <= 5) || (month >= 9 && month <= 11);
        const double rainChance = 1 - std::pow(1 - (wet ? 0.3 : 0.2), days);
        if (random_.next() < rainChance)
            startShower(10 + 70 * random_.next() * random_.next());
        const double inflow = std::min(pendingRain_, 200 * days);
        pendingRain_ -= inflow;
        level_ += inflow - random_.around(month >= 5 && month <= 9 ? 11 : 4, 2) * days;
        level_ = std::clamp(level_, 80.0, 1000.0);
        temperature_ = kNoTemperature;
        break;
    }
    }
}
