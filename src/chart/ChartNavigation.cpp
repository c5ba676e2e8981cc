#include "ChartNavigation.h"

#include "ChartCombos.h"
#include "ChartData.h"
#include "model/DeviceRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{

// The zoom step for the view: a tenth of its day or hour boundaries, rounded
// (halves up); 0 for views of 10 hours or less.
qint64 zoomStepSecs(const TimeValueRange &view)
{
    const qint64 d = DayBoundaries(view.firstTime, view.lastTime);
    if (d > 10)
        return (d + 5) / 10 * 86400;
    const qint64 h = HourBoundaries(view.firstTime, view.lastTime);
    if (h > 10)
        return (h + 5) / 10 * 3600;
    return 0;
}

} // namespace

void ZoomAll(ChartState &state, qint64 now)
{
    // The data range always ends now; keep the view's end there with it.
    state.data.lastTime = std::max(state.data.lastTime, now);
    state.view = state.data;
}

void ChooseTimeRange(ChartState &state, int months, qint64 now)
{
    state.data.lastTime = std::max(state.data.lastTime, now);
    state.view.lastTime = state.data.lastTime;
    state.view.firstTime = TimeRangeStart(state.view.lastTime, months);
}

void ZoomIn(ChartState &state)
{
    const qint64 step = zoomStepSecs(state.view);
    state.view.firstTime += step;
    state.view.lastTime -= step;
}

void ZoomOut(ChartState &state)
{
    TimeValueRange &v = state.view;
    const TimeValueRange &d = state.data;
    const qint64 step = zoomStepSecs(v);
    v.firstTime = std::max(v.firstTime - step, d.firstTime);
    v.lastTime = std::min(v.lastTime + step, d.lastTime);
    if (v.lowestValue > d.lowestValue)
        v.lowestValue *= 0.9;
    if (v.highestValue < d.highestValue)
        v.highestValue *= 1.1;
    v.lowestValue = std::clamp(v.lowestValue, d.lowestValue, d.highestValue);
    v.highestValue = std::clamp(v.highestValue, d.lowestValue, d.highestValue);
}

void WheelZoom(ChartState &state, qint64 pointerTime, bool zoomIn)
{
    TimeValueRange &v = state.view;
    const qint64 span = v.lastTime - v.firstTime;
    if (span <= 0)
        return;
    const qint64 t = std::clamp(pointerTime, v.firstTime, v.lastTime);
    const double change = double(2 * zoomStepSecs(v)) * (zoomIn ? -1 : 1);
    v.firstTime -= std::llround(change * double(t - v.firstTime) / double(span));
    v.lastTime += std::llround(change * double(v.lastTime - t) / double(span));
    if (!zoomIn) {
        v.firstTime = std::max(v.firstTime, state.data.firstTime);
        v.lastTime = std::min(v.lastTime, state.data.lastTime);
    }
}

ScrollFigures ComputeScrollFigures(const TimeValueRange &view, const TimeValueRange &data)
{
    ScrollFigures s;
    const double span = double(data.lastTime - data.firstTime);
    if ((view.firstTime <= data.firstTime && view.lastTime >= data.lastTime) || span <= 0)
        return s;
    s.visible = true;
    const double fraction = double(view.lastTime - view.firstTime) / span;
    s.largeChange = int(std::clamp<long long>(std::llround(fraction * 1000), 2, 1000));
    s.smallChange = s.largeChange / 2;
    s.position = int(std::clamp<long long>(
        std::llround(double(view.firstTime - data.firstTime) * 10000 / span), 0, 10000));
    return s;
}

void ScrollTo(ChartState &state, int position)
{
    const qint64 offset = std::llround(double(state.data.lastTime - state.data.firstTime) * position / 10000);
    const qint64 span = state.view.lastTime - state.view.firstTime;
    state.view.firstTime = state.data.firstTime + offset;
    state.view.lastTime = state.view.firstTime + span;
}

PixelPoint ClampToPlot(PixelPoint p, const PlotRect &plot)
{
    return {std::clamp(p.x, plot.left, std::max(plot.left, plot.right)),
            std::clamp(p.y, plot.top, std::max(plot.top, plot.bottom))};
}

bool InPlot(PixelPoint p, const PlotRect &plot)
{
    return p.x >= plot.left && p.x <= plot.right && p.y >= plot.top && p.y <= plot.bottom;
}

BandStart RubberBandDown(RubberBand &band, PixelPoint p, const PlotRect &plot)
{
    if (band.dragging)
        return BandStart::AlreadyDragging;
    const int m = kBandCatchPixels;
    if (!InPlot(p, {plot.left - m, plot.top - m, plot.right + m, plot.bottom + m}))
        return BandStart::Beep;
    band.dragging = true;
    band.start = band.current = ClampToPlot(p, plot);
    return BandStart::Started;
}

bool RubberBandMove(RubberBand &band, PixelPoint p, const PlotRect &plot)
{
    if (!band.dragging)
        return false;
    band.current = ClampToPlot(p, plot);
    return true;
}

BandEnd RubberBandUp(RubberBand &band, PixelPoint p, const PlotRect &plot)
{
    BandEnd end;
    if (!band.dragging)
        return end;
    band.current = ClampToPlot(p, plot);
    band.dragging = false;
    end.wasDragging = true;
    end.a = band.start;
    end.b = band.current;
    end.zoom = std::abs(end.a.x - end.b.x) >= kMinBandPixels && std::abs(end.a.y - end.b.y) >= kMinBandPixels;
    return end;
}

void ApplyBandZoom(ChartState &state, double t1, double v1, double t2, double v2)
{
    state.view.firstTime = std::llround(std::min(t1, t2));
    state.view.lastTime = std::llround(std::max(t1, t2));
    state.view.lowestValue = std::min(v1, v2);
    state.view.highestValue = std::max(v1, v2);
}

std::optional<ReadoutPoint> NearestPoint(const ChartPicture &picture, const PlotMapping &map,
                                         PixelPoint pointer, int radius)
{
    if (picture.placeholder || map.x.scale == 0)
        return std::nullopt;
    std::optional<ReadoutPoint> best;
    double bestSq = double(radius) * radius;
    // Only points within the radius on the time axis can be near: a search
    // for that window, then the exact distance of each point in it.
    const double k1 = (pointer.x - radius - map.x.offset) / map.x.scale,
                 k2 = (pointer.x + radius - map.x.offset) / map.x.scale;
    const double kLow = std::min(k1, k2), kHigh = std::max(k1, k2);
    for (size_t s = 0; s < picture.series.size(); ++s) {
        const ChartSeries &series = picture.series[s];
        if (series.axis < 0 || size_t(series.axis) >= map.y.size())
            continue;
        const LinearMap &y = map.y[size_t(series.axis)];
        auto it = std::lower_bound(series.keys.begin(), series.keys.end(), kLow);
        for (; it != series.keys.end() && *it <= kHigh; ++it) {
            const size_t i = size_t(it - series.keys.begin());
            const double dx = map.x(*it) - pointer.x, dy = y(series.values[i]) - pointer.y;
            const double sq = dx * dx + dy * dy;
            if (sq <= bestSq) {
                bestSq = sq;
                best = ReadoutPoint{s, i};
            }
        }
    }
    return best;
}

QString ReadoutText(const ChartPicture &picture, const ReadoutPoint &point, bool percent,
                    const QLocale &locale)
{
    const ChartSeries &s = picture.series[point.series];
    const double v = s.values[point.index];
    // Fixed-point formatting rounds an exact half up (2.125 gives 2.13).
    const double magnitude = std::abs(v);
    const int decimals = percent ? 1 : magnitude < 10 ? 2 : magnitude < 100 ? 1 : 0;
    QLocale numbers = locale;
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString unit = size_t(s.axis) < picture.y.size() ? picture.y[size_t(s.axis)].title : QString();
    const QDateTime t = TankHistory::fromSecs(qint64(s.keys[point.index]));
    const QString when = picture.dailyMode
                             ? locale.toString(t.date(), QLocale::ShortFormat)
                             : locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                                   locale.toString(t.time(), QStringLiteral("HH:mm"));
    return s.name + QLatin1Char('\n') + numbers.toString(v, 'f', decimals) + QLatin1Char(' ') + unit +
           QLatin1Char('\n') + when;
}
