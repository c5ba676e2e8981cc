#pragma once
#include "ConsumptionTable.h"

#include <QList>
#include <QString>
#include <QStringList>

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
QList<ConsumptionEntry> ConsumptionEntries(const DeviceTable &devices);
// The entry's text for a device number or 0; empty when there is no such entry.
QString ConsumptionEntryText(const DeviceTable &devices, int number);

// The short unit the numbers of a selection carry. Tanks of different units
// add up to a number without a unit; the caption then names the units.
struct ConsumptionUnit {
    QString unit;
    QStringList mixed; // the differing units, empty when they agree
};
ConsumptionUnit ConsumptionUnitOf(const DeviceTable &devices, int selection);
QString ConsumptionCaption(const ConsumptionUnit &unit);

struct MonthAmount {
    int year;
    int month;
    double amount; // an empty month is 0
};
// The count months up to and including year/month, oldest first.
QList<MonthAmount> LastMonths(const ConsumptionTable &table, int year, int month, int count);
