#pragma once
#include "ConsumptionTable.h"

#include <QLocale>
#include <QString>

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
};

struct ConsumptionResult {
    ConsumptionTable table;
    QString protocolError; // the protocol file's failure, empty when none
};

// Monthly consumption of the selected tank or of all tanks (added up in the
// same cells), from the in-memory histories, in one pass per tank.
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
