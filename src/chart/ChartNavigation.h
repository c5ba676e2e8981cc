#pragma once
#include "ChartState.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <QString>

// Navigation of the chart window: time-range choice, zoom steps, scroll bar,
// rubber-band zoom and the value read-out. Each request that changes the view
// returns whether the chart is to be rebuilt; the zoom buttons and the scroll
// bar are ignored while the busy flag is set.

// "Zoom alles": the view becomes the data range, which ends now.
bool ZoomAll(ChartState &state, qint64 now);
// The last months + 1 calendar months up to now (the one-month entry shows
// two months); values unchanged, not clamped to the data. Also while busy:
// the choice is kept even when nothing is drawn.
void ChooseTimeRange(ChartState &state, int months, qint64 now);
// Narrows both ends by a tenth of the view in whole days (over 10 day
// boundaries) or whole hours (over 10 hour boundaries); shorter views stay.
bool ZoomIn(ChartState &state);
// Widens by the same steps within the data range; widens a narrowed value
// range by 10 % at each end, never beyond the data.
bool ZoomOut(ChartState &state);
// One wheel step: the zoom step of the buttons, shared between both ends in
// proportion to their distance from the pointer's time, so the time under
// the pointer stays put; zooming out stops at the data range. Values unchanged.
bool WheelZoom(ChartState &state, qint64 pointerTime, bool zoomIn);

// The values switched between levels and percent: the value range of the
// view becomes that of the data in the new unit (times stay), so the lines
// are not drawn on an axis of the other unit. False while busy.
bool ValuesChangedUnit(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now);

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
bool ScrollTo(ChartState &state, int position);

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

// "<short date> <value> <axis title>" with the locale's date and decimal
// separator; the value rounded half up to one decimal in percent, else to two
// below 10, one below 100, none from 100 on.
QString ReadoutText(qint64 t, double v, bool percent, const QString &axisTitle, const QLocale &locale);
