#include "ChartData.h"

#include "ChartCombos.h"
#include "model/Figures.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

QDate dateOf(qint64 t)
{
    return TankHistory::fromSecs(t).date();
}

// The value an entry contributes to the chart, or nothing (percent of an
// unknown tank volume).
struct ValueRule {
    bool tempKorr = false;
    double coefficient = 1;
    bool percent = false;
    double fullScale = 0;

    ValueRule(const DeviceRecord &rec, const ChartOptions &o)
        : tempKorr(o.tempKorr), coefficient(rec.TempKorr), percent(o.percent), fullScale(FullScale(rec))
    {
    }
    bool drawsNothing() const { return percent && fullScale == 0; }
    double operator()(double value, qint32 temp) const
    {
        const double v = CorrectedHistoryValue(value, temp, tempKorr, coefficient);
        return percent ? v * 100 / fullScale : v;
    }
};

// Takes a series' points in ascending time. An equal time keeps the later
// value, so a tank shows its last value of a day in daily mode and the later
// of two equal times. With thinning, each time bucket keeps only its first,
// lowest, highest and last point: the line a plot draws from them is the
// same at that resolution.
class SeriesSink
{
public:
    SeriesSink(ChartSeries &s, const Thinning &thin) : s_(s), thin_(thin) {}
    void add(double t, double v)
    {
        if (pending_ && t == pt_) {
            pv_ = v;
            return;
        }
        if (pending_)
            commit(pt_, pv_);
        pt_ = t;
        pv_ = v;
        pending_ = true;
    }
    void finish()
    {
        if (pending_)
            commit(pt_, pv_);
        pending_ = false;
        flush();
    }

private:
    struct P {
        double t, v;
    };
    void out(const P &p)
    {
        s_.keys.push_back(p.t);
        s_.values.push_back(p.v);
    }
    void commit(double t, double v)
    {
        if (thin_.bucket <= 0) {
            out({t, v});
            return;
        }
        if (!open_ || t >= end_) {
            flush();
            const qint64 b = floorDiv(qint64(t) - thin_.origin, thin_.bucket);
            end_ = double(thin_.origin + (b + 1) * thin_.bucket);
            first_ = low_ = high_ = last_ = {t, v};
            open_ = true;
            return;
        }
        if (v < low_.v)
            low_ = {t, v};
        if (v > high_.v)
            high_ = {t, v};
        last_ = {t, v};
    }
    void flush()
    {
        if (!open_)
            return;
        open_ = false;
        P mid[2] = {low_, high_};
        if (mid[1].t < mid[0].t)
            std::swap(mid[0], mid[1]);
        double at = first_.t;
        out(first_);
        for (const P &p : {mid[0], mid[1], last_})
            if (p.t > at) {
                out(p);
                at = p.t;
            }
    }

    ChartSeries &s_;
    Thinning thin_;
    bool pending_ = false, open_ = false;
    double pt_ = 0, pv_ = 0, end_ = 0;
    P first_{}, low_{}, high_{}, last_{};
};

} // namespace

double CorrectedHistoryValue(double value, qint32 temp, bool tempKorr, double coefficient)
{
    if (!tempKorr || temp == kNoTemperature)
        return value;
    return value + value * (temp - 15) * coefficient / 1000;
}

double FullScale(const DeviceRecord &rec)
{
    return ScaledLevel(rec.Tankvolumen, rec);
}

bool HasChartData(const DeviceTable &table)
{
    for (int n = 1; n <= table.DeviceCount; ++n)
        if (table[n].History.count() > 0)
            return true;
    return false;
}

namespace
{

struct Extremes {
    double lowest = 0;
    double highest = 0;
};

// Lowest and highest value of entries from..to (1-based, inclusive), merged into e.
void scanValues(const TankHistory &h, const ValueRule &rule, bool plain, int from, int to, Extremes &e)
{
    // Four lanes, so the comparisons do not wait for each other.
    double lo[4] = {e.lowest, e.lowest, e.lowest, e.lowest};
    double hi[4] = {e.highest, e.highest, e.highest, e.highest};
    const double *values = h.HistoryValues.data();
    const qint32 *temps = h.HistoryTemps.data();
    for (int i = from; i <= to; ++i) {
        const double v = plain ? values[i] : rule(values[i], temps[i]);
        lo[i & 3] = std::min(lo[i & 3], v);
        hi[i & 3] = std::max(hi[i & 3], v);
    }
    e.lowest = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    e.highest = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
}

} // namespace

TimeValueRange ComputeDataRange(const DeviceTable &table, bool percent, bool tempKorr, qint64 now,
                                std::vector<TankValueSpan> *spans)
{
    TimeValueRange r{now, now, 0, 0};
    ChartOptions o;
    o.percent = percent;
    o.tempKorr = tempKorr;
    if (spans && spans->size() < size_t(table.DeviceCount) + 1)
        spans->resize(size_t(table.DeviceCount) + 1);
    for (int n = 1; n <= table.DeviceCount; ++n) {
        const DeviceRecord &rec = table[n];
        const TankHistory &h = rec.History;
        const int count = h.count();
        if (count == 0)
            continue;
        r.firstTime = std::min(r.firstTime, h.HistoryTimes[1]);
        const ValueRule rule(rec, o);
        if (rule.drawsNothing())
            continue;
        const bool plain = !tempKorr && !percent;
        TankValueSpan span{count,    h.HistoryTimes[1], h.HistoryTimes[size_t(count)], percent,
                           tempKorr, rule.fullScale,   rule.coefficient};
        TankValueSpan *kept = spans ? &(*spans)[size_t(n)] : nullptr;
        // Reused only for the same options and a history that has grown at
        // its end: same first entry, the last one seen still in its place.
        const bool reuse = kept && kept->count > 0 && kept->count <= count && kept->percent == percent &&
                           kept->tempKorr == tempKorr && kept->fullScale == rule.fullScale &&
                           kept->coefficient == rule.coefficient && kept->firstTime == span.firstTime &&
                           h.HistoryTimes[size_t(kept->count)] == kept->lastTime;
        // This tank's own extremes, so that each kept span stands for its tank alone.
        constexpr double inf = std::numeric_limits<double>::infinity();
        Extremes e{inf, -inf};
        if (reuse)
            e = {kept->lowest, kept->highest};
        scanValues(h, rule, plain, reuse ? kept->count + 1 : 1, count, e);
        if (kept) {
            span.lowest = e.lowest;
            span.highest = e.highest;
            *kept = span;
        }
        r.lowestValue = std::min(r.lowestValue, e.lowest);
        r.highestValue = std::max(r.highestValue, e.highest);
    }
    return r;
}

double RoundUpValueMax(double x)
{
    // m x 10^e, dividing for negative powers so that 3 x 0.1 is exactly 0.3.
    const auto scaled = [](double m, int e) {
        return e >= 0 ? m * std::pow(10.0, e) : m / std::pow(10.0, -e);
    };
    const double base = x > 0 ? x : 1;
    int e = int(std::floor(std::log10(base)));
    if (scaled(1, e + 1) <= base)
        ++e;
    else if (scaled(1, e) > base)
        --e;
    for (double m : {1.0, 2.0, 3.0, 5.0})
        if (scaled(m, e) > x)
            return scaled(m, e);
    return scaled(1, e + 1);
}

void OpenChartRange(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now)
{
    state.data = ComputeDataRange(table, options.percent, options.tempKorr, now, &state.valueSpans);
    state.data.highestValue = RoundUpValueMax(state.data.highestValue);
    state.view = state.data;
}

quint32 TankColour(int tank)
{
    static const quint32 kColours[56] = {
        0xFF0000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFFA500, 0x40E0D0, 0xEE82EE, 0xCD853F,
        0x00BFFF, 0x7FFFD4, 0x9400D3, 0xCD5C5C, 0xFFE4C4, 0x000000, 0xFFEBCD, 0x8A2BE2, 0xA52A2A, 0xDEB887,
        0x5F9EA0, 0x7FFF00, 0xD2691E, 0xFF7F50, 0x6495ED, 0xFFF8DC, 0xB8860B, 0x006400, 0xBDB76B, 0x556B2F,
        0xFF8C00, 0x9932CC, 0xE9967A, 0x8FBC8F, 0x483D8B, 0x2F4F4F, 0x00CED1, 0x9400D3, 0xFF1493, 0x00BFFF,
        0x1E90FF, 0xB22222, 0xFFFAF0, 0x228B22, 0xDCDCDC, 0xF8F8FF, 0xFFD700, 0xDAA520, 0x000080, 0xBEBEBE,
        0xADFF2F, 0xF0FFF0, 0xFF69B4, 0xCD5C5C, 0xFFFFF0, 0xF0E68C};
    return tank >= 1 && tank <= 56 ? kColours[tank - 1] : kColours[0];
}

int MarkerCode(int tank)
{
    // One code per group of four tanks.
    static const int kCodes[14] = {2, 3, 4, 5, 6, 13, 9, 10, 11, 12, 14, 15, 16, 7};
    return tank >= 1 && tank <= 56 ? kCodes[(tank - 1) / 4] : 2;
}

qint64 DayBoundaries(qint64 a, qint64 b)
{
    return floorDiv(b, 86400) - floorDiv(a, 86400);
}
qint64 HourBoundaries(qint64 a, qint64 b)
{
    return floorDiv(b, 3600) - floorDiv(a, 3600);
}
qint64 MinuteBoundaries(qint64 a, qint64 b)
{
    return floorDiv(b, 60) - floorDiv(a, 60);
}
qint64 StartOfDay(qint64 t)
{
    return floorDiv(t, 86400) * 86400;
}

int MonthBoundaries(qint64 a, qint64 b)
{
    const QDate da = dateOf(a), db = dateOf(b);
    return (db.year() * 12 + db.month()) - (da.year() * 12 + da.month());
}

ChartSeries BuildSeries(const DeviceRecord &rec, int tank, qint64 from, qint64 to, bool daily,
                        const ChartOptions &options, const Thinning &thin)
{
    ChartSeries s;
    s.tank = tank;
    s.colour = TankColour(tank);
    s.marker = options.points ? MarkerCode(tank) : 1;
    const ValueRule rule(rec, options);
    const TankHistory &h = rec.History;
    if (rule.drawsNothing() || h.count() == 0 || from > to)
        return s;
    SeriesSink sink(s, thin);
    const auto key = [daily](qint64 t) { return double(daily ? StartOfDay(t) : t); };
    const auto tBegin = h.HistoryTimes.begin() + 1, tEnd = h.HistoryTimes.end();
    if (std::is_sorted(tBegin, tEnd)) {
        const auto lo = std::lower_bound(tBegin, tEnd, from);
        const auto hi = std::upper_bound(lo, tEnd, to);
        if (daily) {
            // The last entry of each day, found by a search for the next
            // midnight that gallops from the day's first entry, so it stays
            // among the few entries of that day instead of the whole history.
            for (auto it = lo; it != hi;) {
                const qint64 day = StartOfDay(*it), next = day + 86400;
                auto end = it + 1;
                for (std::ptrdiff_t step = 1; end < hi && *end < next; step *= 2) {
                    it = end;
                    end = hi - end > step ? end + step : hi;
                }
                it = std::lower_bound(it, end, next);
                const size_t i = size_t(it - h.HistoryTimes.begin()) - 1;
                sink.add(double(day), rule(h.HistoryValues[i], h.HistoryTemps[i]));
            }
        } else {
            const size_t first = size_t(lo - h.HistoryTimes.begin()),
                         last = size_t(hi - h.HistoryTimes.begin());
            const size_t most =
                thin.bucket > 0 ? std::min<size_t>(last - first, size_t(4 * ((to - from) / thin.bucket + 2)))
                                : last - first;
            s.keys.reserve(most);
            s.values.reserve(most);
            for (size_t i = first; i < last; ++i)
                sink.add(double(h.HistoryTimes[i]), rule(h.HistoryValues[i], h.HistoryTemps[i]));
        }
        sink.finish();
        return s;
    }
    // A clock set back leaves times out of order: sort the entries in the
    // view, keeping history order among equal times so the later one wins.
    std::vector<int> order;
    for (int i = 1; i <= h.count(); ++i)
        if (h.HistoryTimes[size_t(i)] >= from && h.HistoryTimes[size_t(i)] <= to)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return key(h.HistoryTimes[size_t(a)]) < key(h.HistoryTimes[size_t(b)]);
    });
    for (int i : order)
        sink.add(key(h.HistoryTimes[size_t(i)]), rule(h.HistoryValues[size_t(i)], h.HistoryTemps[size_t(i)]));
    sink.finish();
    return s;
}

TimeAxis ComputeTimeAxis(qint64 viewFirst, qint64 viewLast, bool gridMonth)
{
    TimeAxis x;
    x.minimum = viewFirst;
    x.maximum = viewLast;
    x.timeBase = StartOfDay(viewFirst);
    if (gridMonth)
        x.timeBase -= qint64(dateOf(viewFirst).day() - 1) * 86400;
    x.unit = gridMonth ? LabelUnit::Months : LabelUnit::Days;
    x.format = QStringLiteral("%d.%m.%y");
    if (HourBoundaries(viewFirst, viewLast) < 24) {
        x.unit = LabelUnit::Hours;
        x.format = QStringLiteral("%d.%m.%y %H:%M");
        if (MinuteBoundaries(viewFirst, viewLast) < 60)
            x.unit = LabelUnit::Minutes;
    }
    return x;
}

std::vector<qint64> TimeTicks(const TimeAxis &x, int maxTicks)
{
    std::vector<qint64> ticks;
    if (x.maximum < x.minimum || maxTicks < 1)
        return ticks;
    if (x.unit == LabelUnit::Months) {
        const QDateTime base = TankHistory::fromSecs(x.timeBase);
        const int months = MonthBoundaries(x.timeBase, x.maximum) + 1;
        int step = 1;
        for (int s : {1, 2, 3, 6, 12, 24, 60, 120}) {
            step = s;
            if (months / s + 1 <= maxTicks)
                break;
        }
        for (int m = 0; m <= months; m += step) {
            const qint64 t = base.addMonths(m).toSecsSinceEpoch();
            if (t >= x.minimum && t <= x.maximum)
                ticks.push_back(t);
        }
        return ticks;
    }
    static const std::vector<qint64> kMinutes{1, 2, 5, 10, 15, 30};
    static const std::vector<qint64> kHours{1, 2, 3, 6, 12};
    static const std::vector<qint64> kDays{1, 2, 7, 14, 28, 56, 91, 182, 364, 728};
    const qint64 unit = x.unit == LabelUnit::Minutes ? 60 : x.unit == LabelUnit::Hours ? 3600 : 86400;
    const auto &multiples = x.unit == LabelUnit::Minutes ? kMinutes
                            : x.unit == LabelUnit::Hours ? kHours
                                                         : kDays;
    qint64 step = unit;
    for (qint64 m : multiples) {
        step = m * unit;
        if ((x.maximum - x.minimum) / step + 1 <= maxTicks)
            break;
    }
    // The first multiple of the step from the time base that lies on the axis.
    qint64 t = x.timeBase + std::max<qint64>(0, (x.minimum - x.timeBase + step - 1) / step) * step;
    for (; t <= x.maximum; t += step)
        ticks.push_back(t);
    return ticks;
}

DrawnSpan SpanOf(const ChartPicture &picture, qint64 first, qint64 last)
{
    DrawnSpan d{{}, picture.dailyMode, picture.thin, first, last};
    for (const ChartSeries &s : picture.series)
        d.tanks.push_back(s.tank);
    return d;
}

std::vector<ChartSeries> ExtendDrawn(const DeviceTable &table, const ChartOptions &options, DrawnSpan &drawn,
                                     qint64 first, qint64 last)
{
    std::vector<ChartSeries> added;
    for (int n : drawn.tanks) {
        ChartSeries s =
            BuildSeries(table[n], n, first, std::min(last, drawn.first - 1), drawn.daily, options, drawn.thin);
        ChartSeries after =
            BuildSeries(table[n], n, std::max(first, drawn.last + 1), last, drawn.daily, options, drawn.thin);
        s.keys.insert(s.keys.end(), after.keys.begin(), after.keys.end());
        s.values.insert(s.values.end(), after.values.begin(), after.values.end());
        added.push_back(std::move(s));
    }
    drawn.first = std::min(drawn.first, first);
    drawn.last = std::max(drawn.last, last);
    return added;
}

std::optional<ChartPicture> BeginRebuild(ChartState &state, const DeviceTable &table,
                                         const ChartOptions &options, qint64 now, int columns)
{
    if (state.busy)
        return std::nullopt;
    state.data = ComputeDataRange(table, options.percent, options.tempKorr, now, &state.valueSpans);
    state.busy = true;

    ChartPicture pic;
    const TimeValueRange &v = state.view;
    pic.dailyMode = options.tank == 0 && DayBoundaries(v.firstTime, v.lastTime) >= kDailyModeDays;
    if (columns > 0)
        pic.thin = {v.firstTime, std::max<qint64>(1, (v.lastTime - v.firstTime) / qint64(columns))};
    int firstTank = options.tank, lastTank = options.tank;
    if (options.tank == 0) {
        firstTank = 1;
        lastTank = table.DeviceCount;
    } else if (options.tank < 1 || options.tank > table.DeviceCount) {
        lastTank = firstTank - 1; // a tank that is gone shows nothing
    }
    state.unitList.clear();
    bool anyPoint = false;
    for (int n = firstTank; n <= lastTank; ++n) {
        const DeviceRecord &rec = table[n];
        const QString unit = options.percent ? QStringLiteral("%") : UnitName(rec.Einheit, true);
        if (!state.unitList.contains(unit))
            state.unitList.append(unit);
        pic.series.push_back(BuildSeries(rec, n, v.firstTime, v.lastTime, pic.dailyMode, options, pic.thin));
        pic.series.back().name = TankLabel(rec, n);
        anyPoint = anyPoint || !pic.series.back().keys.empty();
    }
    if (!anyPoint && !pic.series.empty()) {
        pic.placeholder = true;
        pic.series.front().keys = {double(v.firstTime)};
        pic.series.front().values = {kPlaceholderValue};
    }
    pic.x = ComputeTimeAxis(v.firstTime, v.lastTime, options.gridMonth);
    pic.y = {v.lowestValue, v.highestValue, state.unitList.join(QStringLiteral(" / "))};
    return pic;
}

void FinishRebuild(ChartState &state, const PlotRect &plot)
{
    state.plot = plot;
    state.busy = false;
}
