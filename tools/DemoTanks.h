#pragma once
// The three tanks of the demo and how their levels move. The demo data
// writer runs the models a day at a time to make a year of history; the
// feeder runs the same models in small steps to continue it live.
#include "model/DeviceRecord.h"

#include <QDateTime>
#include <vector>

// Small deterministic generator: the demo looks the same every time.
struct DemoRandom {
    quint64 state;
    double next(); // [0, 1)
    double around(double centre, double spread) { return centre + (next() * 2 - 1) * spread; }
};

enum class DemoKind { HeatingOil, Diesel, RainWater };

struct DemoTank {
    DemoKind kind;
    DeviceRecord rec; // SN, device type, unit, scale code, shape, capacity, height, name
};

// Heating oil (litres), diesel (m³ from raw litres, scale code 1), rain
// water (% with one decimal from raw per mille, scale code 3), device numbers 1..3.
std::vector<DemoTank> DemoTanks();

// The raw level of one tank (the figure its device sends) and its temperature.
class DemoModel
{
public:
    DemoModel(DemoKind kind, double rawLevel, quint64 seed);
    // Moves the tank on by `days` (a fraction for live steps) up to time t.
    void advance(const QDateTime &t, double days);
    // Rain that is still to run into the cistern (per mille).
    void startShower(double amount) { pendingRain_ += amount; }

    double level() const { return level_; }
    // Degrees C, or kNoTemperature for the cistern (no sensor).
    qint16 temperature() const { return temperature_; }
    int refuellings() const { return refuellings_; }

private:
    double outdoor(const QDateTime &t, double days);

    DemoKind kind_;
    double level_;
    DemoRandom random_;
    double weather_ = 0; // slowly wandering deviation from the season's temperature
    double pendingRain_ = 0;
    qint16 temperature_ = 0;
    int refuellings_ = 0;
};
