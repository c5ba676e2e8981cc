#pragma once
#include <QStringList>
#include <QtGlobal>
#include <vector>

// What the history chart window keeps while it is open. Times are naive
// local seconds, as in TankHistory; pixels are positions in the plot widget.

struct TimeValueRange {
    qint64 firstTime = 0;
    qint64 lastTime = 0;
    double lowestValue = 0;
    double highestValue = 0;
};

// Inclusive pixel bounds of the plot area.
struct PlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint &) const = default;
};

// The rubber band being drawn with the left button: both corners are kept
// clamped to the plot area.
struct RubberBand {
    bool dragging = false;
    PixelPoint start;
    PixelPoint current;
};

// The check boxes and the tank selection, plus the temperature-correction switch.
struct ChartOptions {
    int tank = 0;          // item value of the chosen tank entry; 0 = all tanks
    bool points = false;   // "GrafikPoints": markers at the measurements
    bool gridMonth = true; // "GrafikGridMonth": month grid and labels
    bool percent = false;  // "GrafikPercent": values in percent of the tank volume
    bool tempKorr = false; // temperature correction switched on
    quint64 hidden = 0;    // bit n-1 set: tank n is left out (the legend's check boxes)
};

// The value span of the shown tanks of one unit: the range of its own axis.
struct UnitRange {
    QString unit;
    double lowest = 0;
    double highest = 0;
    bool operator==(const UnitRange &) const = default;
};

// One tank's value extremes as the last range computation found them, with
// what they depend on: the next computation scans only entries appended since.
struct TankValueSpan {
    int count = 0;
    qint64 firstTime = 0;
    qint64 lastTime = 0;
    bool percent = false;
    bool tempKorr = false;
    double fullScale = 0;
    double coefficient = 0;
    double lowest = 0;
    double highest = 0;
};

struct ChartState {
    TimeValueRange data;  // all history data, always reaching to "now" and to 0
    TimeValueRange view;  // what is shown
    QStringList unitList; // unit names of the tanks shown, in order of first appearance
    // The data's value span per unit, in the order of unitList. The first is
    // the span of data and view above; the other axes show the same part of
    // their own span as the view shows of the first.
    std::vector<UnitRange> units;
    PlotRect plot; // as the plot reported it after the last rebuild
    RubberBand band;
    std::vector<TankValueSpan> valueSpans; // by tank number
};
