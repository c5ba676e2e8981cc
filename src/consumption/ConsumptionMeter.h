#pragma once
#include "Consumption.h"

#include "model/DeviceRecord.h"

#include <QObject>
#include <array>
#include <optional>

class Settings;

// Each tank's consumption as a meter for home automation: the total since
// its first history point in its display unit (ConsumedTotal, so it equals
// the total of the tank's consumption table) that never goes back. When the
// computed total falls (a rise that counts as no refuelling), the meter holds
// the highest value until the total passes it again. The history is read
// again at every start; a held value is also stored per tank with its unit
// ("Verbrauchszähler", "VerbrauchszählerEinheit" of "Gerät" n), as a start
// would compute less than was shown. A change of unit starts the meter from
// the history's total.
class ConsumptionMeter : public QObject
{
    Q_OBJECT
public:
    // store: the highest values are written (never in client mode).
    ConsumptionMeter(const DeviceTable &devices, Settings &settings, bool store, QObject *parent = nullptr);

    // The meter of tank n; none for a tank not registered.
    std::optional<double> consumed(int tank) const;

    // Computes tank n again from its history (its history changed).
    void update(int tank);
    // Forgets every tank (tanks were removed: their keys moved with them).
    void reset();

signals:
    void consumedChanged(int tank);

private:
    struct Entry {
        bool known = false;
        int einheit = 0;
        double value = 0;
        double stored = 0; // the value in the settings file
    };
    const DeviceTable &devices_;
    Settings &settings_;
    bool store_;
    std::array<Entry, kMaxDevices + 1> entries_; // [0] unused
};
