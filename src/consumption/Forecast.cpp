#include "Forecast.h"

#include "ConsumptionController.h"

#include <algorithm>
#include <cmath>

namespace
{
double daysUntil(const QDateTime &t, const QDateTime &now)
{
    return std::max(0.0, double(TankHistory::toSecs(t) - TankHistory::toSecs(now)) / Clock::kDay);
}
} // namespace

std::optional<EmptyForecast> ComputeEmptyForecast(const DeviceRecord &rec,
                                                  const ConsumptionSettings &settings, const QDateTime &now)
{
    const TankHistory &h = rec.History;
    const qint64 end = TankHistory::toSecs(now);
    const qint64 begin = end - Forecast::kWindowDays * Clock::kDay;
    const auto times = h.HistoryTimes.begin() + 1;
    const auto timesEnd = h.HistoryTimes.end();
    // The history is appended in time order: its window is found by halving.
    int first = int(std::lower_bound(times, timesEnd, begin) - h.HistoryTimes.begin());
    const int last = int(std::upper_bound(times, timesEnd, end) - h.HistoryTimes.begin()) - 1;
    // The span starts where the consumption does: at the first valid level.
    while (first <= last && !(h.HistoryValues[size_t(first)] >= 0))
        ++first;
    if (first > last)
        return std::nullopt;
    const double spanDays =
        double(h.HistoryTimes[size_t(last)] - h.HistoryTimes[size_t(first)]) / Clock::kDay;
    if (spanDays < Forecast::kMinDays)
        return std::nullopt;
    const double rate = ConsumptionBetween(rec, settings, first, last) / spanDays;
    if (!(rate > 0) || !std::isfinite(rate))
        return std::nullopt;

    const double content = std::max(0.0, h.HistoryValues[size_t(last)]);
    // Beyond a century the date means nothing; it stays a valid date.
    const double daysFromLast = std::min(content / rate, 36500.0);
    EmptyForecast f;
    f.dailyUse = rate;
    f.emptyAt = TankHistory::fromSecs(h.HistoryTimes[size_t(last)] +
                                      qint64(std::llround(daysFromLast * Clock::kDay)));
    f.days = daysUntil(f.emptyAt, now);
    return f;
}

ForecastProvider::ForecastProvider(const DeviceTable &devices, const Settings &settings, ClockFn clock,
                                   HistoryHooks &recorder, QObject *parent)
    : QObject(parent), devices_(devices), settings_(settings), clock_(std::move(clock)), recorder_(recorder)
{
}

std::optional<EmptyForecast> ForecastProvider::forecast(int tank) const
{
    if (tank < 1 || tank > kMaxDevices || tank > devices_.DeviceCount)
        return std::nullopt;
    std::optional<EmptyForecast> f = entries_[size_t(tank)].forecast;
    // The date holds until the history changes; the days count down with the clock.
    if (f)
        f->days = daysUntil(f->emptyAt, clock_());
    return f;
}

void ForecastProvider::RecordHistory(int device, const QDateTime &received)
{
    recorder_.RecordHistory(device, received);
    refresh();
}

void ForecastProvider::LoadTankHistory(int device)
{
    recorder_.LoadTankHistory(device);
    refresh();
}

void ForecastProvider::ReloadTankHistory(int device)
{
    recorder_.ReloadTankHistory(device);
    refresh();
}

void ForecastProvider::AppendHistorySnapshot(const QDateTime &t, const ReportedLevel &reported)
{
    recorder_.AppendHistorySnapshot(t, reported);
    refresh();
}

void ForecastProvider::refresh()
{
    std::optional<ConsumptionSettings> settings; // read once, and only when a tank needs it
    std::optional<QDateTime> now;
    for (int n = 1; n <= kMaxDevices; ++n) {
        Entry &e = entries_[size_t(n)];
        Source source;
        if (n <= devices_.DeviceCount) {
            const DeviceRecord &rec = devices_[n];
            const TankHistory &h = rec.History;
            source = {h.count(), h.HistoryTimes.back(), h.HistoryValues.back(), rec.Tankvolumen};
        }
        if (source == e.source)
            continue;
        e.source = source;
        std::optional<EmptyForecast> f;
        if (n <= devices_.DeviceCount) {
            if (!settings) {
                settings = ConsumptionSettingsFrom(settings_);
                now = clock_();
            }
            f = ComputeEmptyForecast(devices_[n], *settings, *now);
        }
        if (f != e.forecast) {
            e.forecast = f;
            emit forecastChanged(n);
        }
        if (n <= devices_.DeviceCount)
            emit historyChanged(n);
    }
}
