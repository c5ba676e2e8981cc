#include "ChartData.h"

#include "ChartCombos.h"
#include "model/Figures.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

namespace
{

// Below this many entries in all the tanks together a second thread costs
// more than it saves.
constexpr qint64 kParallelEntries = 200000;

// Runs work(i) for every i in [0, count), spread over the processor's cores
// when the tanks hold many entries. Each call must touch only what belongs
// to its own i; the results do not depend on the spreading.
template <typename Work> void forEachTank(size_t count, qint64 entries, const Work &work)
{
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = entries >= kParallelEntries ? std::min({cores, count, size_t(4)}) - 1 : 0;
    std::atomic<size_t> next{0};
    std::atomic<bool> anyFailed{false};
    const auto run = [&](std::exception_ptr &error) {
        try {
            for (size_t i = next++; i < count && !anyFailed; i = next++)
                work(i);
        } catch (...) {
            error = std::current_exception();
            anyFailed = true;
        }
    };
    std::vector<std::exception_ptr> errors(helpers + 1);
    std::vector<std::thread> threads;
    for (size_t t = 1; t <= helpers; ++t) {
        try {
            threads.emplace_back(run, std::ref(errors[t]));
        } catch (const std::system_error &) {
            break; // no thread to be had: this one does the rest
        }
    }
    run(errors[0]);
    for (std::thread &t : threads)
        t.join();
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
}

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

// The tank's last reading when it is newer than its last recorded entry:
// the line ends where the tank is now, a drop of a loss included. A device
// error code has no level.
struct LivePoint {
    qint64 t = 0;
    double value = 0;
    qint32 temp = kNoTemperature;
};
std::optional<LivePoint> livePoint(const DeviceRecord &rec)
{
    if (rec.Volumen < 0 || !rec.Uhrzeit.isValid())
        return std::nullopt;
    const qint64 t = TankHistory::toSecs(rec.Uhrzeit);
    const TankHistory &h = rec.History;
    if (h.count() > 0 && t <= h.HistoryTimes[size_t(h.count())])
        return std::nullopt;
    return LivePoint{t, ScaledLevel(rec.Volumen, rec), rec.Temperatur};
}

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

namespace
{

// Tank n's lowest and highest value under the options, kept in spans when
// given; nothing for a tank without entries or without percentages.
std::optional<Extremes> tankExtremes(const DeviceRecord &rec, int n, const ChartOptions &o,
                                     std::vector<TankValueSpan> *spans)
{
    const TankHistory &h = rec.History;
    const int count = h.count();
    const ValueRule rule(rec, o);
    if (count == 0 || rule.drawsNothing())
        return std::nullopt;
    const bool plain = !o.tempKorr && !o.percent;
    TankValueSpan span{count,           h.HistoryTimes[1], h.HistoryTimes[size_t(count)],
                       o.percent,       o.tempKorr,        rule.fullScale,
                       rule.coefficient};
    TankValueSpan *kept = spans ? &(*spans)[size_t(n)] : nullptr;
    // Reused only for the same options and a history that has grown at
    // its end: same first entry, the last one seen still in its place.
    const bool reuse = kept && kept->count > 0 && kept->count <= count && kept->percent == o.percent &&
                       kept->tempKorr == o.tempKorr && kept->fullScale == rule.fullScale &&
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
    if (const auto live = livePoint(rec)) {
        const double v = rule(live->value, live->temp);
        e = {std::min(e.lowest, v), std::max(e.highest, v)};
    }
    return e;
}

void sizeSpans(std::vector<TankValueSpan> *spans, int deviceCount)
{
    if (spans && spans->size() < size_t(deviceCount) + 1)
        spans->resize(size_t(deviceCount) + 1);
}

QString unitOf(const DeviceRecord &rec, const ChartOptions &o)
{
    return o.percent ? QStringLiteral("%") : UnitSymbol(rec.Einheit);
}

} // namespace

TimeValueRange ComputeDataRange(const DeviceTable &table, bool percent, bool tempKorr, qint64 now,
                                std::vector<TankValueSpan> *spans)
{
    TimeValueRange r{now, now, 0, 0};
    ChartOptions o;
    o.percent = percent;
    o.tempKorr = tempKorr;
    sizeSpans(spans, table.DeviceCount);
    for (int n = 1; n <= table.DeviceCount; ++n) {
        const TankHistory &h = table[n].History;
        if (h.count() == 0)
            continue;
        r.firstTime = std::min(r.firstTime, h.HistoryTimes[1]);
        if (const auto e = tankExtremes(table[n], n, o, spans)) {
            r.lowestValue = std::min(r.lowestValue, e->lowest);
            r.highestValue = std::max(r.highestValue, e->highest);
        }
    }
    return r;
}

bool IsShown(const ChartOptions &options, int n)
{
    if (options.tank != 0)
        return n == options.tank;
    return n >= 1 && (n > 64 || !(options.hidden >> (n - 1) & 1));
}

TimeValueRange ComputeShownRange(const DeviceTable &table, const ChartOptions &options, qint64 now,
                                 std::vector<UnitRange> &units, std::vector<TankValueSpan> *spans)
{
    TimeValueRange r{now, now, 0, 0};
    units.clear();
    sizeSpans(spans, table.DeviceCount);
    // The scans of the tanks first (each keeps only its own span), then
    // merged in tank order.
    std::vector<int> scanned;
    qint64 entries = 0;
    for (int n = 1; n <= table.DeviceCount; ++n)
        if (IsShown(options, n) && table[n].History.count() > 0) {
            scanned.push_back(n);
            entries += table[n].History.count();
        }
    std::vector<std::optional<Extremes>> extremes(size_t(table.DeviceCount) + 1);
    forEachTank(scanned.size(), entries, [&](size_t i) {
        const int n = scanned[i];
        extremes[size_t(n)] = tankExtremes(table[n], n, options, spans);
    });
    for (int n = 1; n <= table.DeviceCount; ++n) {
        const TankHistory &h = table[n].History;
        if (!IsShown(options, n))
            continue;
        // A unit gets its axis even when its tanks have nothing to draw yet.
        const QString unit = unitOf(table[n], options);
        auto u = std::find_if(units.begin(), units.end(), [&](const UnitRange &x) { return x.unit == unit; });
        if (u == units.end())
            u = units.insert(units.end(), UnitRange{unit, 0, 0});
        if (h.count() == 0)
            continue;
        r.firstTime = std::min(r.firstTime, h.HistoryTimes[1]);
        if (const auto &e = extremes[size_t(n)]) {
            u->lowest = std::min(u->lowest, e->lowest);
            u->highest = std::max(u->highest, e->highest);
        }
    }
    for (UnitRange &u : units)
        u.highest = AxisTop(u.highest, u.unit == QLatin1String("%"));
    if (!units.empty()) {
        r.lowestValue = units.front().lowest;
        r.highestValue = units.front().highest;
    }
    return r;
}

ValueAxis UnitAxis(const ChartState &state, size_t k)
{
    const TimeValueRange &d = state.data, &v = state.view;
    if (k >= state.units.size())
        return {v.lowestValue, v.highestValue, QString()};
    const UnitRange &u = state.units[k];
    const double span = d.highestValue - d.lowestValue;
    if (k == 0 || span <= 0)
        return {k == 0 ? v.lowestValue : u.lowest, k == 0 ? v.highestValue : u.highest, u.unit};
    const auto map = [&](double x) { return u.lowest + (x - d.lowestValue) / span * (u.highest - u.lowest); };
    return {map(v.lowestValue), map(v.highestValue), u.unit};
}

void ShownChanged(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now)
{
    // A view of all data stays one of all data; other views keep their times.
    const bool all =
        state.view.firstTime <= state.data.firstTime && state.view.lastTime >= state.data.lastTime;
    const qint64 first = state.view.firstTime, last = state.view.lastTime;
    state.data = ComputeShownRange(table, options, now, state.units, &state.valueSpans);
    state.view = state.data;
    if (!all) {
        state.view.firstTime = first;
        state.view.lastTime = last;
    }
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
    for (double m : {1.0, 1.2, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0})
        if (scaled(m, e) > x)
            return scaled(m, e);
    return scaled(1, e + 1);
}

double AxisTop(double highest, bool percent)
{
    // A full tank is the natural end of a percent axis; only an overfull
    // reading reaches past it.
    if (percent && highest <= 100)
        return 100;
    return RoundUpValueMax(highest);
}

void OpenChartRange(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now)
{
    state.data = ComputeShownRange(table, options, now, state.units, &state.valueSpans);
    state.view = state.data;
}

namespace
{

double linearChannel(quint32 c)
{
    const double v = double(c & 0xFF) / 255;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(quint32 rgb)
{
    return 0.2126 * linearChannel(rgb >> 16) + 0.7152 * linearChannel(rgb >> 8) + 0.0722 * linearChannel(rgb);
}

// hue, saturation and value 0..1 to 0xRRGGBB.
quint32 hsv(double hue, double saturation, double value)
{
    const double h = std::fmod(hue, 1.0) * 6;
    const int sector = int(h);
    const double f = h - sector, p = value * (1 - saturation), q = value * (1 - saturation * f),
                 t = value * (1 - saturation * (1 - f));
    const double rgb[6][3] = {{value, t, p}, {q, value, p}, {p, value, t},
                              {p, q, value}, {t, p, value}, {value, p, q}};
    const auto byte = [](double c) { return quint32(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    const double *c = rgb[sector % 6];
    return byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]);
}

// The brightest shade of a hue that keeps the contrast wanted against the background.
quint32 shadeWithContrast(double hue, double saturation, double wanted)
{
    if (ContrastRatio(hsv(hue, saturation, 1), kChartBackground) >= wanted)
        return hsv(hue, saturation, 1);
    double dark = 0, light = 1;
    for (int i = 0; i < 30; ++i) {
        const double mid = (dark + light) / 2;
        (ContrastRatio(hsv(hue, saturation, mid), kChartBackground) >= wanted ? dark : light) = mid;
    }
    return hsv(hue, saturation, dark);
}

} // namespace

double ContrastRatio(quint32 a, quint32 b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

quint32 TankColour(int tank)
{
    // Hues a golden angle apart, so neighbouring tanks never look alike;
    // three depths and three saturations in turn part the hues that come
    // close again; each shade as bright as its contrast to the plot allows.
    static const std::vector<quint32> palette = [] {
        std::vector<quint32> p;
        constexpr double kDepth[3] = {3.3, 5.0, 8.0}, kSaturation[3] = {1.0, 0.7, 0.45};
        for (int i = 0; i < kMaxDevices; ++i)
            p.push_back(
                shadeWithContrast(std::fmod(i * 137.508, 360) / 360, kSaturation[i / 3 % 3], kDepth[i % 3]));
        return p;
    }();
    return tank >= 1 && tank <= kMaxDevices ? palette[size_t(tank - 1)] : palette[0];
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
    // The live reading, when it lies in the view and after every point added (at lastKey).
    const auto addLive = [&](double lastKey) {
        if (const auto live = livePoint(rec);
            live && live->t >= from && live->t <= to && key(live->t) >= lastKey)
            sink.add(key(live->t), rule(live->value, live->temp));
    };
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
        addLive(-std::numeric_limits<double>::infinity());
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
    addLive(order.empty() ? -std::numeric_limits<double>::infinity()
                          : key(h.HistoryTimes[size_t(order.back())]));
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

namespace
{

// A label step: a fixed number of seconds counted from the time base, or
// calendar months counted from January.
struct TickStep {
    qint64 secs = 0;
    int months = 0;
};

int monthIndex(qint64 t)
{
    const QDate d = dateOf(t);
    return d.year() * 12 + d.month() - 1;
}

std::vector<qint64> ticksOf(const TimeAxis &x, TickStep step)
{
    std::vector<qint64> ticks;
    if (step.months > 0) {
        // The first of each step-th month, years starting in January.
        int m = monthIndex(x.minimum);
        m += (step.months - m % step.months) % step.months;
        for (;; m += step.months) {
            const qint64 t =
                TankHistory::toSecs(QDateTime(QDate(m / 12, m % 12 + 1, 1), QTime(0, 0), Qt::UTC));
            if (t < x.minimum)
                continue;
            if (t > x.maximum)
                break;
            ticks.push_back(t);
        }
        return ticks;
    }
    // Steps below a day count from midnight, longer ones from the time base.
    const qint64 base = step.secs < 86400 ? StartOfDay(x.minimum) : x.timeBase;
    for (qint64 t = base + std::max<qint64>(0, (x.minimum - base + step.secs - 1) / step.secs) * step.secs;
         t <= x.maximum; t += step.secs)
        ticks.push_back(t);
    return ticks;
}

qint64 tickCount(const TimeAxis &x, TickStep step)
{
    if (step.months > 0)
        return (monthIndex(x.maximum) - monthIndex(x.minimum)) / step.months + 1;
    return (x.maximum - x.minimum) / step.secs + 1;
}

} // namespace

std::vector<TimeTick> TimeTicks(const TimeAxis &x, int maxTicks, const QLocale &locale)
{
    std::vector<TimeTick> ticks;
    if (x.maximum < x.minimum)
        return ticks;
    constexpr int kFewest = 4;
    maxTicks = std::max(maxTicks, kFewest);
    std::vector<TickStep> steps;
    for (qint64 s : {1,    2,    5,    10,    15,    30,    60,    120,       300,       600,       900,
                     1800, 3600, 7200, 10800, 21600, 43200, 86400, 2 * 86400, 7 * 86400, 14 * 86400})
        steps.push_back({s, 0});
    if (x.unit == LabelUnit::Months || x.unit == LabelUnit::Days) {
        if (x.unit == LabelUnit::Months)
            for (int m : {1, 2, 3, 6, 12, 24, 60, 120})
                steps.push_back({0, m});
        else
            for (qint64 d : {28, 56, 91, 182, 364, 728, 1820, 3640})
                steps.push_back({d * 86400, 0});
    }
    // The finest step that fits; then finer again while it leaves too few labels.
    size_t chosen = steps.size() - 1;
    for (size_t i = 0; i < steps.size(); ++i)
        if (tickCount(x, steps[i]) <= maxTicks) {
            chosen = i;
            break;
        }
    std::vector<qint64> times = ticksOf(x, steps[chosen]);
    while (times.size() < size_t(kFewest) && chosen > 0)
        times = ticksOf(x, steps[--chosen]);
    const TickStep step = steps[chosen];

    const QString dayMonth =
        locale.language() == QLocale::German ? QStringLiteral("d. MMM") : QStringLiteral("d MMM");
    QDate previous;
    for (qint64 t : times) {
        const QDateTime dt = TankHistory::fromSecs(t);
        const QDate d = dt.date();
        const bool newYear = !previous.isValid() || previous.year() != d.year();
        QString text;
        if (step.months > 0)
            text = locale.toString(d, newYear ? QStringLiteral("MMM yyyy") : QStringLiteral("MMM"));
        else if (step.secs >= 86400)
            text = locale.toString(d, newYear ? dayMonth + QStringLiteral(" yyyy") : dayMonth);
        else {
            text = locale.toString(dt.time(),
                                   step.secs < 60 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
            if (!previous.isValid() || previous != d)
                text += QLatin1Char('\n') +
                        locale.toString(d, newYear ? dayMonth + QStringLiteral(" yyyy") : dayMonth);
        }
        previous = d;
        ticks.push_back({t, text});
    }
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
        ChartSeries s = BuildSeries(table[n], n, first, std::min(last, drawn.first - 1), drawn.daily, options,
                                    drawn.thin);
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

ChartPicture BeginRebuild(ChartState &state, const DeviceTable &table, const ChartOptions &options,
                          qint64 now, const Texts &texts, int columns)
{
    state.data = ComputeShownRange(table, options, now, state.units, &state.valueSpans);

    ChartPicture pic;
    const TimeValueRange &v = state.view;
    pic.dailyMode = options.tank == 0 && DayBoundaries(v.firstTime, v.lastTime) >= kDailyModeDays;
    if (columns > 0)
        pic.thin = {v.firstTime, std::max<qint64>(1, (v.lastTime - v.firstTime) / qint64(columns))};
    state.unitList.clear();
    for (const UnitRange &u : state.units)
        state.unitList.append(u.unit);
    for (size_t k = 0; k < state.units.size(); ++k)
        pic.y.push_back(UnitAxis(state, k));
    bool anyPoint = false;
    // A tank that is gone shows nothing.
    std::vector<int> shown;
    qint64 entries = 0;
    for (int n = 1; n <= table.DeviceCount; ++n)
        if (IsShown(options, n)) {
            shown.push_back(n);
            entries += table[n].History.count();
        }
    pic.series.resize(shown.size());
    forEachTank(shown.size(), entries, [&](size_t i) {
        pic.series[i] =
            BuildSeries(table[shown[i]], shown[i], v.firstTime, v.lastTime, pic.dailyMode, options, pic.thin);
    });
    for (size_t i = 0; i < shown.size(); ++i) {
        const int n = shown[i];
        const DeviceRecord &rec = table[n];
        ChartSeries &s = pic.series[i];
        s.name = TankLabel(rec, n, texts);
        s.axis = int(state.unitList.indexOf(unitOf(rec, options)));
        anyPoint = anyPoint || !s.keys.empty();
    }
    if (!anyPoint && !pic.series.empty()) {
        pic.placeholder = true;
        pic.series.front().keys = {double(v.firstTime)};
        pic.series.front().values = {kPlaceholderValue};
    }
    pic.x = ComputeTimeAxis(v.firstTime, v.lastTime, options.gridMonth);
    return pic;
}

void FinishRebuild(ChartState &state, const PlotRect &plot)
{
    state.plot = plot;
}
