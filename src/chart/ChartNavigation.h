#pragma once
#include "ChartData.h"
#include "ChartState.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <QString>
#include <optional>

// Navigation of the chart window: time-range choice, zoom steps, scroll bar,
// rubber-band zoom and the value read-out. Each request changes the view;
// the window rebuilds the chart after it.

// "Zoom alles": the view becomes the data range, which ends now.
void ZoomAll(ChartState &state, qint64 now);
// The last months + 1 calendar months up to now (the one-month entry shows
// two months), or with a short range's value (kLastDay, kLastWeek) its
// hours; values unchanged, not clamped to the data.
void ChooseTimeRange(ChartState &state, int months, qint64 now);
// Narrows both ends by a tenth of the view in whole days (over 10 day
// boundaries) or whole hours (over 10 hour boundaries); shorter views stay.
void ZoomIn(ChartState &state);
// Widens by the same steps within the data range; widens a narrowed value
// range by 10 % at each end, never beyond the data.
void ZoomOut(ChartState &state);
// One wheel step: the zoom step of the buttons, shared between both ends in
// proportion to their distance from the pointer's time, so the time under
// the pointer stays put; zooming out stops at the data range. Values unchanged.
void WheelZoom(ChartState &state, qint64 pointerTime, bool zoomIn);

struct ScrollFigures {
    bool visible = false;
    int minimum = 0;
    int maximum = 10000;
    int largeChange = 0;
    int smallChange = 0;
    int position = 0;
    bool operator==(const ScrollFigures &) const = default;
};
// The scroll bar over the data span; hidden when the view covers all of it.
ScrollFigures ComputeScrollFigures(const TimeValueRange &view, const TimeValueRange &data);
// Moves the view, keeping its span, to start at position / 10000 of the data span.
void ScrollTo(ChartState &state, int position);

// Mouse down may start a band this far outside the plot area.
constexpr int kBandCatchPixels = 20;
// Smaller bands count as a click.
constexpr int kMinBandPixels = 6;

enum class BandStart { Started, Beep, AlreadyDragging };
PixelPoint ClampToPlot(PixelPoint p, const PlotRect &plot);
bool InPlot(PixelPoint p, const PlotRect &plot);
// Left button down: starts a band at the clamped position when p lies within
// the plot area enlarged by kBandCatchPixels.
BandStart RubberBandDown(RubberBand &band, PixelPoint p, const PlotRect &plot);
// Left button move: the new clamped corner; false when no band is drawn.
bool RubberBandMove(RubberBand &band, PixelPoint p, const PlotRect &plot);
struct BandEnd {
    bool wasDragging = false; // the chart is rebuilt in any case then
    bool zoom = false;        // the band was large enough: zoom to corners a and b
    PixelPoint a, b;
};
BandEnd RubberBandUp(RubberBand &band, PixelPoint p, const PlotRect &plot);
// Sets the view to the band's corners in data coordinates, sorted.
void ApplyBandZoom(ChartState &state, double t1, double v1, double t2, double v2);

// Where a drawn picture puts its data: pixel = offset + value * scale, for
// the time axis and for each value axis of the picture.
struct LinearMap {
    double offset = 0;
    double scale = 1;
    double operator()(double v) const { return offset + v * scale; }
};
struct PlotMapping {
    LinearMap x;
    std::vector<LinearMap> y; // by ChartSeries::axis
};

// A measured point of a drawn line.
struct ReadoutPoint {
    size_t series = 0; // index in the picture
    size_t index = 0;  // index of the point in the series
    bool operator==(const ReadoutPoint &) const = default;
};
// The read-out snaps to points this near the pointer.
constexpr int kReadoutPixels = 24;
// The point of any line nearest to the pointer (in pixels), when one lies
// within radius; nothing for a placeholder picture.
std::optional<ReadoutPoint> NearestPoint(const ChartPicture &picture, const PlotMapping &map,
                                         PixelPoint pointer, int radius = kReadoutPixels);

// The read-out of a point, three lines: the tank's label, its value with
// its unit and the time of the measurement (the day alone for a daily
// point), in the locale's forms. The value is rounded half up to one
// decimal in percent, else to two below 10, one below 100, none from 100 on.
QString ReadoutText(const ChartPicture &picture, const ReadoutPoint &point, bool percent,
                    const QLocale &locale);
