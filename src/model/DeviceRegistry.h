#pragma once
#include "DeviceRecord.h"
#include "Hooks.h"
#include "LossSettings.h"

#include "core/Clock.h"

#include <algorithm>

class RunSwitches;
class Settings;
class Texts;

// The registered devices and their place in the settings file: the device
// sections, "Geräte"/"Anzahl" and "Geräte"/"Aktuell", and the copy of the
// settings file in the log folder. No signals: `TankController` tells the
// views what changed.
//
// Nothing is written in client mode (the serving installation owns the
// file) or after stopForGood (the configuration was deleted).
class DeviceRegistry
{
public:
    DeviceRegistry(const RunSwitches &switches, Settings &settings, const Texts &texts, ClockFn clock);

    DeviceTable &table() { return table_; }
    const DeviceTable &table() const { return table_; }
    int DeviceCount() const { return table_.DeviceCount; }
    DeviceRecord &device(int n) { return table_[n]; }
    const DeviceRecord &device(int n) const { return table_[n]; }

    // Where loading a record fetches its history (none until plugged in).
    void setHistoryHooks(HistoryHooks *h);

    // Reads section "Gerät"+n into record n, then reloads its history.
    // keepHistory: the client refresh, which only reads what was appended
    // to the tank file since the last load.
    void LoadDeviceRecord(int n, bool keepHistory = false);
    // "Geräte"/"Anzahl", at most 56 and never beyond the last device section
    // that holds a serial number: a count without its sections would make
    // phantom devices (serial number 0) that lock real ones out.
    int StoredDeviceCount() const;
    // "Geräte"/"Aktuell" as stored.
    int StoredCurrentDevice() const;
    // All device sections and "Geräte"/"Anzahl" in one replace of the
    // settings file, then the copy in the log folder. freshDevice: a device
    // just registered under that number, whose coefficient and old tank name
    // (left by a removed device) are cleared.
    void SaveDeviceRegistry(int freshDevice = 0);
    // DeviceCount = n; false for a number outside 1..56.
    bool AddDevice(int n);
    // Removes devices first..last; the devices behind move forward with all
    // their data and all their keys in the settings file, the freed slots at
    // the end lose theirs (one replace, then the copy in the log folder).
    // False (nothing changed) for an invalid range. The current device
    // ("Geräte"/"Aktuell") moves with its tank (CurrentAfterRemoval).
    bool RemoveDevices(int first, int last);
    // The current device after first..last went: a tank behind them moves
    // forward and stays current, a removed one leaves the tank now in its
    // place (or the last one) current.
    static int CurrentAfterRemoval(int current, int first, int last, int countAfter)
    {
        return std::min(current > last ? current - (last - first + 1) : current, countAfter);
    }

    // The user's edits, written at once.
    void writeCurrentDevice(int n);
    void writeTankName(int n, const QString &name);
    void writeUnit(int n, int code);
    void writeTempKorr(int n, double k);
    // Device n's own warning threshold as stored ("" = the common one).
    QString warnThreshold(int n) const;
    void writeWarnThreshold(int n, const QString &text);
    // The threshold device n is measured against (its own, or the common one).
    double lowPercent(int n) const;
    // The common threshold ("Schwelle 2" of the e-mail rules).
    double commonLowPercent() const;
    // Device n's own loss limits and quiet hours as stored (LossSettings.h).
    TankLossSettings lossSettings(int n) const;
    void writeLossSettings(int n, const TankLossSettings &s);
    // The common loss limits as stored ("VerlustProzent", "VerlustStunden").
    TankLossSettings commonLossSettings() const;

    // After the configuration was deleted: the registry is never written
    // again, so nothing brings the file back.
    void stopForGood() { stopped_ = true; }
    bool stopped() const { return stopped_; }
    // False in client mode and after stopForGood.
    bool writable() const;

private:
    // The writes of SaveDeviceRegistry, inside the caller's batch.
    void writeRegistry(int freshDevice);
    // Every key of slot from to slot to (absent keys deleted); from 0 clears to.
    void moveDeviceKeys(int from, int to);

    const RunSwitches &switches_;
    Settings &settings_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    DeviceTable table_;
    bool stopped_ = false;
    HistoryHooks nullHistory_;
    HistoryHooks *history_ = &nullHistory_;
};

// A line break in a value would start a new line in the settings file.
QString OneLine(QString s);
