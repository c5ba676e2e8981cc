#pragma once
#include "Consumption.h"

#include "core/Clock.h"
#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QDateTime>
#include <QObject>
#include <array>
#include <optional>

class Settings;

// When a tank runs empty at the rate of its recent use.
struct EmptyForecast {
    double dailyUse = 0; // average use per day over the window, in the history's units
    double days = 0;     // from "now" until the content reaches 0, never negative
    QDateTime emptyAt;   // when it does (naive local time, as the history)

    bool operator==(const EmptyForecast &) const = default;
};

namespace Forecast
{
inline constexpr int kWindowDays = 14; // the recent use is measured over this many days
inline constexpr int kMinDays = 3;     // the least history in the window that gives a forecast
} // namespace Forecast

// The average daily use over the last 14 days before now, refuellings added
// back as the monthly consumption does, and when the last recorded content
// reaches 0 at that rate. None when the points in the window span less than
// 3 days or the rate is not positive. A tank already empty gives 0 days.
std::optional<EmptyForecast> ComputeEmptyForecast(const DeviceRecord &rec,
                                                  const ConsumptionSettings &settings, const QDateTime &now);

// Keeps each tank's forecast current for the views, the headless program
// and the publishers. It sits between the telegram sequence and the history
// recorder: every history call goes on to the recorder, then each tank whose
// history changed (a new point, a load, a refresh) is computed again over
// its window only.
class ForecastProvider : public QObject, public HistoryHooks
{
    Q_OBJECT
public:
    ForecastProvider(const DeviceTable &devices, const Settings &settings, ClockFn clock,
                     HistoryHooks &recorder, QObject *parent = nullptr);

    // The tank's forecast as of its last change, its days counted from now;
    // none for a tank not registered.
    std::optional<EmptyForecast> forecast(int tank) const;

    void RecordHistory(int device, const QDateTime &received) override;
    void LoadTankHistory(int device) override;
    void ReloadTankHistory(int device) override;
    void AppendHistorySnapshot(const QDateTime &t, const ReportedLevel &reported = {}) override;

    // Computes again every tank whose history or registration changed
    // (after tanks were removed, after the start-up load).
    void refresh();

signals:
    void forecastChanged(int tank);
    // The tank's history or registration changed (a new point, a load, a refresh).
    void historyChanged(int tank);

private:
    // What a forecast was computed from: a new point, a reload or another
    // tank in the slot changes it.
    struct Source {
        int count = -1;
        qint64 lastTime = 0;
        double lastValue = 0;
        qint32 tankvolumen = 0;
        bool operator==(const Source &) const = default;
    };
    struct Entry {
        Source source;
        std::optional<EmptyForecast> forecast;
    };

    const DeviceTable &devices_;
    const Settings &settings_;
    ClockFn clock_;
    HistoryHooks &recorder_;
    std::array<Entry, kMaxDevices + 1> entries_; // [0] unused
};
