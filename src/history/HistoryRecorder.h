#pragma once
#include "TankHistoryLoader.h"

#include "core/Clock.h"
#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QDateTime>
#include <QTimer>
#include <functional>
#include <vector>

class Settings;
class UiServices;
class RunSwitches;
class Texts;

// A tank file that could not be written, announced (not waited for: reception
// goes on while the box is open); error names the file and why.
void ReportTankFileFailure(UiServices &ui, const Texts &texts, const QString &error);

// The history step of the telegram sequence: the two periodic recordings
// (settings snapshot, then tank files) in server mode, and the loading of the
// tank histories from the tank files.
class HistoryRecorder : public HistoryHooks
{
public:
    // saveDeviceRegistry writes all device sections (the registry's own
    // SaveDeviceRegistry); it is the settings snapshot.
    HistoryRecorder(DeviceTable &table, const RunSwitches &switches, Settings &settings, UiServices &ui,
                    const Texts &texts, ClockFn clock, std::function<void()> saveDeviceRegistry);

    // Both recordings when due, in this order; "Last" takes the receive time.
    // Nothing in client mode.
    void RecordHistory(int device, const QDateTime &received) override;
    // Fills the device's history from its tank file (the client path in
    // client mode); takes the preloaded history when there is one.
    void LoadTankHistory(int device) override;
    void ReloadTankHistory(int device) override { RefreshTankHistory(device); }

    // One line per tank with a valid level, and the same entry in memory. A
    // tank file that cannot be opened is tried again every 250 ms, five
    // attempts in all, then reported; the caller does not wait for that.
    void AppendHistorySnapshot(const QDateTime &t, const ReportedLevel &reported = {}) override;
    bool retriesPending() const { return !pending_.empty(); }

    // Start-up: read all tank files in parallel before the registry asks for
    // them one by one.
    void PreloadTankHistories(int count) { loader_.StartPreload(count); }
    // Client refresh: the history as a full load would give it now, reading
    // only what was appended to the file since the last load.
    TankHistoryLoader::Refreshed RefreshTankHistory(int device);

    TankHistoryLoader &loader() { return loader_; }

private:
    struct Pending {
        QString path;
        QByteArray lines; // in the order they are due, written together
        int attempts = 1;
    };
    void retryPending();
    void reportFailure(const QString &error);

    DeviceTable &table_;
    const RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    std::function<void()> saveDeviceRegistry_;
    TankHistoryLoader loader_;
    std::vector<Pending> pending_;
    QTimer retryTimer_;
};
