#pragma once
#include "model/DeviceRecord.h"

#include <QString>
#include <vector>

// The entries of the tank and time-range lists of the chart window and which
// entry is chosen at opening.

struct ComboEntry {
    QString text;
    int value = 0; // tank number (0 = all tanks) or months
    bool operator==(const ComboEntry &) const = default;
};

// "3: Keller", or "4: SN:12345" for a tank without a name.
QString TankLabel(const DeviceRecord &rec, int n);
// TankLabel for every tank with history, then
// "Tank 1-5 (geglättet)" (value 0) when there are two devices or more.
std::vector<ComboEntry> ComboTankEntries(const DeviceTable &table);
// Index of the entry chosen at opening: the all-tanks entry from two devices
// on, else the tank nearest to the main window's current tank.
int ComboTankSelection(const std::vector<ComboEntry> &entries, int deviceCount, int currentTank);

// Whole years of data, counted in month boundaries from the first data time to now.
int DataYears(qint64 dataFirst, qint64 now);
// "1 Monat", "3 Monate", then "1 Jahr", "2 Jahre", ... up to DataYears.
std::vector<ComboEntry> ComboZeitraumEntries(int years);
// Index chosen at opening: nearest to the saved value when it is above 0,
// else nearest to the number of years.
int ComboZeitraumSelection(const std::vector<ComboEntry> &entries, int saved, int years);

// Index of the entry whose value is nearest; the earlier wins a tie; -1 when empty.
int NearestEntry(const std::vector<ComboEntry> &entries, int value);
