#pragma once
#include "Consumption.h"

#include <QList>
#include <QString>
#include <QStringList>

class Texts;

struct DeviceRecord;
struct DeviceTable;

// What the consumption window offers and shows for a device table.

// Whether there is anything to show: a device with history points.
bool HasConsumptionData(const DeviceTable &devices);

struct ConsumptionEntry {
    QString text; // "3: Keller" or "3: SN:12345", "Tank 1-4" for all tanks
    int number;   // device number, 0 = all tanks
};
// Every tank with history points, then the all-tanks entry when there is
// more than one device.
QList<ConsumptionEntry> ConsumptionEntries(const DeviceTable &devices, const Texts &texts);
// The entry's text for a device number or 0; empty when there is no such entry.
QString ConsumptionEntryText(const DeviceTable &devices, int number, const Texts &texts);
// A tank's name, or "SN:" and its serial number when it has none.
QString ConsumptionTankName(const DeviceRecord &rec, const Texts &texts);

// The grid's caption with the units of the table (the month cells show
// numbers alone); several units (all tanks) each have their own rows and total.
QString ConsumptionCaption(const std::vector<ConsumptionGroup> &groups, const Texts &texts);

struct MonthAmount {
    int year;
    int month;
    double amount; // an empty month is 0
};
// At most count months up to and including year/month, oldest first, none
// before the month firstMonth (a MonthIndex; -1 for no such bound).
QList<MonthAmount> LastMonths(const ConsumptionTable &table, int year, int month, int count,
                              int firstMonth = -1);
