#pragma once
#include "ConsumptionTable.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <vector>

struct DeviceRecord;
struct DeviceTable;

// The three settings, read by the caller at the start of every run.
struct ConsumptionSettings {
    bool logVerbrauch = false; // "LogVerbrauch" is 1: write the protocol
    double trigger = 1;        // "MinProzentBetankungTrigger": rise in % of the previous value
    double minProzent = 5;     // "MinProzent": smallest counted refuelling, % of the capacity
};

struct ConsumptionRequest {
    int selection = 0;   // device number, 0 = all tanks, -1 = nothing selected
    int currentYear = 0; // the local date's year when the run starts
    ConsumptionSettings settings;
    QString protocolPath;               // "LogVerbrauch.txt" in the data folder
    QLocale locale = QLocale::system(); // the protocol's numbers and times
    bool perTank = false;               // a table for each tank instead of one per unit
};

// Months counted from year 0: year * 12 + month - 1.
inline int MonthIndex(int year, int month)
{
    return year * 12 + month - 1;
}

// Tanks whose consumptions add up in one table: the tanks of one unit (litres
// and m³ never make one sum), or a single tank.
struct ConsumptionGroup {
    QList<int> tanks;    // device numbers, ascending
    int einheit = -1;    // their unit code, -1 for none
    QString unit;        // its name in the table and the exports ("L", "m³", "" for none)
    int firstMonth = -1; // MonthIndex of the first and the last history point, -1 without
    int lastMonth = -1;
    ConsumptionTable table; // rounded to the finest decimals of its tanks
};

struct ConsumptionResult {
    std::vector<ConsumptionGroup> groups; // at least one; tanks in device order
    QString protocolError;                // the protocol file's failure, empty when none
};

// The unit's name as the consumption table and its exports write it: the
// short text, but the two gallons by their long names so they stay apart.
QString ConsumptionUnitName(int einheit);

// Monthly consumption of the selected tank or of all tanks, from the
// in-memory histories, in one pass per tank. All tanks of one unit add up in
// the same cells; each unit has a table of its own (each tank, with perTank,
// and each tank measured in percent, as percentages of tanks do not add up).
//
// A falling level is consumption. A point above the previous one by more than
// the trigger starts or prolongs a refuelling; five points that do not rise
// end it, and it is added back to its month when it exceeds "MinProzent" of
// the tank's capacity (in the history's own units; a tank without a capacity
// counts every refuelling). A refuelling still rising when the month changes
// is always added back. Tanks with fewer than 6 points and points before the
// first non-negative value are left out.
ConsumptionResult ComputeConsumption(const DeviceTable &devices, const ConsumptionRequest &request);

// The consumption of one tank between its history points first and last,
// with the same refuelling rules, counted as one period (no month ends it):
// the first value taken minus the last plus the refuellings. Points before
// the first non-negative value of the range are left out; 0 when none is left.
double ConsumptionBetween(const DeviceRecord &rec, const ConsumptionSettings &settings, int first, int last);

// The tank's consumption since its first history point: the total of its own
// consumption table (every month with the rules above, summed as the table
// sums them, rounded to the tank's decimals). 0 for fewer than 6 points.
double ConsumedTotal(const DeviceRecord &rec, const ConsumptionSettings &settings);
