#include "Consumption.h"

#include "ConsumptionProtocol.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <algorithm>
#include <memory>

namespace
{

// Calendar arithmetic on the history's naive seconds, without QDate in the
// loop over half a million points (proleptic Gregorian, as QDate).
qint64 daysFromCivil(qint64 y, int m)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The calendar month holding a time, with its bounds: a month has changed
// exactly when a time falls outside [begin, end).
struct MonthSpan {
    int year = 0;
    int month = 0;
    qint64 begin = 0;
    qint64 end = 0;

    static MonthSpan of(qint64 secs)
    {
        qint64 z = (secs >= 0 ? secs : secs - 86399) / 86400 + 719468;
        const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
        const qint64 doe = z - era * 146097;
        const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const qint64 mp = (5 * doy + 2) / 153;
        MonthSpan s;
        s.month = int(mp < 10 ? mp + 3 : mp - 9);
        s.year = int(yoe + era * 400 + (s.month <= 2));
        s.begin = daysFromCivil(s.year, s.month) * 86400;
        s.end = (s.month == 12 ? daysFromCivil(s.year + 1, 1) : daysFromCivil(s.year, s.month + 1)) * 86400;
        return s;
    }
    bool contains(qint64 t) const { return t >= begin && t < end; }
};

constexpr int kCountdown = 5; // non-rising points that end a refuelling

// The whole range as one period: used when no month divides it.
struct WholeSpan {
    static WholeSpan of(qint64) { return {}; }
    bool contains(qint64) const { return true; }
};

// One pass over the points first..n of a tank, split into the periods of
// Span. A falling level is consumption, a refuelling is detected and added
// back; endPeriod(span, time, monthChanged, last value, consumption) is
// called for each period that ends (also for the one in progress at n).
template <class Span, class EndPeriod>
void tankPass(int d, const DeviceRecord &rec, const ConsumptionSettings &s, int first, int n,
              ConsumptionProtocol *log, EndPeriod endPeriod)
{
    const TankHistory &h = rec.History;
    const qint64 *T = h.HistoryTimes.data();
    const double *V = h.HistoryValues.data();

    int i0 = std::max(first, 1);
    while (i0 <= n && !(V[i0] >= 0))
        ++i0;
    if (i0 > n)
        return;

    // The capacity in the history's units: the history holds scaled levels,
    // "Tankvolumen" the device's raw figure.
    const double capacity = ScaledLevel(rec.Tankvolumen, rec);
    const auto counts = [&](double rise) { return capacity <= 0 || rise * 100 / capacity > s.minProzent; };
    const double risePercent = 100 + s.trigger;
    // With a positive trigger a point at or below a non-negative previous one
    // cannot rise, which spares the division for most points.
    const bool fallIsNoRise = s.trigger >= 1e-6;

    Span acc = Span::of(T[i0]);
    double start = V[i0];
    double last = V[i0];
    double refuelled = 0;
    double before = 0;
    int countdown = 0;

    for (int i = i0; i <= n; ++i) {
        if (countdown == 0 && fallIsNoRise) {
            // Most points: inside the month, no refuelling running, not above
            // the previous one. They only move the last value.
            while (i <= n && last >= 0 && V[i] <= last && acc.contains(T[i]))
                last = V[i++];
            if (i > n)
                break;
        }
        const double v = V[i];
        const bool monthChanged = !acc.contains(T[i]);
        const bool surelyNoRise = fallIsNoRise && v <= last && last >= 0;
        if (!surelyNoRise && v > last * risePercent / 100) {
            if (countdown == 0)
                before = last;
            countdown = kCountdown;
        }
        if (v <= last && countdown > 0 && --countdown == 0) {
            // Never before the first point taken: only a nonsensical
            // negative trigger could point there.
            const int k = std::max(i - kCountdown, i0);
            const double after = V[k];
            if (counts(after - before)) {
                refuelled += after - before;
                if (log)
                    log->refuelling(d, T[k], before, after, refuelled);
            }
        }
        if (monthChanged && countdown >= 1) {
            // A refuelling cut by the month change belongs to the month that ends.
            const int k = std::max(i - kCountdown + countdown, i0);
            const double after = V[k];
            countdown = 0;
            refuelled += after - before;
            if (log)
                log->refuelling(d, T[k], before, after, refuelled);
        }
        last = v;
        if (monthChanged) {
            endPeriod(acc, T[i], true, last, start - last + refuelled);
            start = v;
            refuelled = 0;
            acc = Span::of(T[i]);
        }
    }

    if (countdown > 0) {
        const double after = V[n];
        if (counts(after - before)) {
            refuelled += after - before;
            if (log)
                log->refuelling(d, T[n], before, after, refuelled);
        }
    }
    endPeriod(acc, T[n], false, last, start - last + refuelled);
}

void computeTank(int d, const DeviceRecord &rec, const ConsumptionSettings &s, ConsumptionTable &table,
                 ConsumptionProtocol *log)
{
    const int n = rec.History.count();
    if (n < 6)
        return;
    tankPass<MonthSpan>(d, rec, s, 1, n, log,
                        [&](const MonthSpan &acc, qint64 t, bool monthChanged, double last, double used) {
                            if (used <= 0)
                                return;
                            const double cell = table.add(acc.year, acc.month, used);
                            if (log)
                                log->month(d, t, monthChanged, last, cell);
                        });
}

} // namespace

QString ConsumptionUnitName(int einheit)
{
    // The gallons' long names are the same in every language.
    return einheit == 5 || einheit == 6 ? UnitName(einheit, Texts()) : UnitSymbol(einheit);
}

ConsumptionResult ComputeConsumption(const DeviceTable &devices, const ConsumptionRequest &request)
{
    int first = 1, lastTank = 0; // nothing selected: no tank
    if (request.selection == 0) {
        lastTank = devices.DeviceCount;
    } else if (request.selection >= 1 && request.selection <= devices.DeviceCount) {
        first = lastTank = request.selection;
    }

    // The groups, each with its years (from its first point's year to now)
    // and the finest decimals of its tanks; a tank without points joins none.
    struct Span {
        int firstYear;
        int decimals = 0;
    };
    ConsumptionResult result;
    std::vector<Span> spans;
    std::vector<int> groupOf(size_t(lastTank + 1), -1);
    for (int d = first; d <= lastTank; ++d) {
        const DeviceRecord &rec = devices[d];
        const TankHistory &h = rec.History;
        if (h.count() < 1)
            continue;
        const int einheit = UnitSymbol(rec.Einheit).isEmpty() ? -1 : rec.Einheit;
        // Percentages of different tanks never add up: each such tank has its own table.
        const bool alone = request.perTank || UnitSymbol(rec.Einheit) == QLatin1String("%");
        size_t g = 0;
        while (g < result.groups.size() && (alone || result.groups[g].einheit != einheit))
            ++g;
        if (g == result.groups.size()) {
            ConsumptionGroup group;
            group.einheit = einheit;
            group.unit = ConsumptionUnitName(einheit);
            result.groups.push_back(group);
            spans.push_back({request.currentYear});
        }
        ConsumptionGroup &group = result.groups[g];
        group.tanks << d;
        groupOf[size_t(d)] = int(g);
        const MonthSpan firstPoint = MonthSpan::of(h.HistoryTimes[1]);
        const MonthSpan lastPoint = MonthSpan::of(h.HistoryTimes[h.count()]);
        const int from = MonthIndex(firstPoint.year, firstPoint.month);
        const int to = MonthIndex(lastPoint.year, lastPoint.month);
        group.firstMonth = group.firstMonth < 0 ? from : std::min(group.firstMonth, from);
        group.lastMonth = std::max(group.lastMonth, to);
        spans[g].firstYear = std::min(spans[g].firstYear, firstPoint.year);
        spans[g].decimals = std::max(spans[g].decimals, LevelDecimals(rec));
    }
    if (result.groups.empty()) {
        result.groups.emplace_back();
        spans.push_back({request.currentYear});
    }
    for (size_t g = 0; g < result.groups.size(); ++g)
        result.groups[g].table = ConsumptionTable(request.currentYear, spans[g].firstYear, spans[g].decimals);

    std::unique_ptr<ConsumptionProtocol> log;
    if (request.settings.logVerbrauch)
        log = std::make_unique<ConsumptionProtocol>(request.protocolPath, request.locale);

    for (int d = first; d <= lastTank; ++d)
        if (groupOf[size_t(d)] >= 0)
            computeTank(d, devices[d], request.settings, result.groups[size_t(groupOf[size_t(d)])].table,
                        log.get());

    for (ConsumptionGroup &group : result.groups)
        group.table.computeTotals();
    if (log)
        result.protocolError = log->close();
    return result;
}

double ConsumptionBetween(const DeviceRecord &rec, const ConsumptionSettings &settings, int first, int last)
{
    double total = 0;
    last = std::min(last, rec.History.count());
    if (first <= last)
        tankPass<WholeSpan>(0, rec, settings, first, last, nullptr,
                            [&](const WholeSpan &, qint64, bool, double, double used) { total = used; });
    return total;
}

double ConsumedTotal(const DeviceRecord &rec, const ConsumptionSettings &settings)
{
    const TankHistory &h = rec.History;
    if (h.count() < 1)
        return 0;
    // The rows between the first and the last point: empty years add nothing.
    ConsumptionTable table(MonthSpan::of(h.HistoryTimes.back()).year, MonthSpan::of(h.HistoryTimes[1]).year,
                           LevelDecimals(rec));
    ConsumptionSettings s = settings;
    s.logVerbrauch = false;
    computeTank(0, rec, s, table, nullptr);
    table.computeTotals();
    return table.total();
}
