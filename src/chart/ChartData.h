#pragma once
#include "ChartState.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

class Texts;

// The chart's data preparation: ranges, the series of each tank, styles and
// axes. Pure functions of the device table, the options and the time "now".

// Value under the visible range: handed over when nothing lies in the view,
// so that nothing visible is drawn.
constexpr double kPlaceholderValue = -9998;
// Series from this many day boundaries on ("all tanks" only) show one point per day.
constexpr int kDailyModeDays = 40;

// One tank's line: its own points in ascending time, no gaps.
struct ChartSeries {
    int tank = 0;
    QString name;               // the tank's label, for the legend
    quint32 colour = 0;         // 0xRRGGBB, for the line and the markers
    int marker = 1;             // marker code, 1 = no marker
    int axis = 0;               // index of its value axis in ChartPicture::y
    std::vector<double> keys;   // naive seconds
    std::vector<double> values; // display units or percent
};

// Fewer points than a plot can tell apart: per time bucket of this many
// seconds (counted from origin) only the first, lowest, highest and last
// point. A bucket of 0 keeps every point.
struct Thinning {
    qint64 origin = 0;
    qint64 bucket = 0;
};

enum class LabelUnit { Minutes, Hours, Days, Months };

struct TimeAxis {
    qint64 minimum = 0;
    qint64 maximum = 0;
    qint64 timeBase = 0; // labels count from here
    LabelUnit unit = LabelUnit::Days;
    QString format; // "%d.%m.%y" or "%d.%m.%y %H:%M"
};

struct ValueAxis {
    double minimum = 0;
    double maximum = 0;
    QString title; // the unit of the axis
};

// Everything a rebuild hands to the drawing.
struct ChartPicture {
    std::vector<ChartSeries> series;
    bool placeholder = false; // nothing in the view: one point at kPlaceholderValue
    bool dailyMode = false;
    Thinning thin;
    TimeAxis x;
    std::vector<ValueAxis> y; // one axis per unit shown, the first on the left
};

// A stored level corrected to 15 °C when the correction is on and the entry
// has a temperature; coefficient in per mille per °C.
double CorrectedHistoryValue(double value, qint32 temp, bool tempKorr, double coefficient);
// 100 % of a tank in display units; 0 when unknown (the tank then has no percentages).
double FullScale(const DeviceRecord &rec);
// Whether any tank 1..DeviceCount has history to show.
bool HasChartData(const DeviceTable &table);

// The span of all history data: from the earliest first entry (or now) to
// now, values from 0 to the extremes of every tank, in percent when asked.
// With spans, each tank's extremes are kept there and reused while its
// history has only grown at the end.
TimeValueRange ComputeDataRange(const DeviceTable &table, bool percent, bool tempKorr, qint64 now,
                                std::vector<TankValueSpan> *spans = nullptr);
// Whether a chart with these options draws tank n: the chosen tank, or
// every tank the legend has not hidden.
bool IsShown(const ChartOptions &options, int n);
// The span of the shown tanks' data: from their earliest entry (or now) to
// now; per unit (in tank order) from 0 or below to AxisTop of the highest
// value, so that every tank's line fills its own axis. The
// value span returned is that of the first unit. spans as for ComputeDataRange.
TimeValueRange ComputeShownRange(const DeviceTable &table, const ChartOptions &options, qint64 now,
                                 std::vector<UnitRange> &units, std::vector<TankValueSpan> *spans = nullptr);
// The value axis of unit k for the view: the first unit's view range, the
// others the same part of their own span.
ValueAxis UnitAxis(const ChartState &state, size_t k);
// What is shown changed (tank, legend, percent): data and units anew and
// the view's values over all of them; times stay.
void ShownChanged(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now);

// The next of 1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten
// strictly above x (1 for 0): an axis end close above the data.
double RoundUpValueMax(double x);
// The end of a value axis for data up to highest: RoundUpValueMax, but 100
// for percentages that stay within a full tank.
double AxisTop(double highest, bool percent);
// The opening: the shown tanks' range for the options in force (maxima
// rounded up), and the view set to it.
void OpenChartRange(ChartState &state, const DeviceTable &table, const ChartOptions &options, qint64 now);

// The plot's background; every series colour stands out against it.
constexpr quint32 kChartBackground = 0xFFFFFF;
// The contrast of two colours (0xRRGGBB) as the web's accessibility rules
// count it: 1 (the same) to 21 (black on white).
double ContrastRatio(quint32 a, quint32 b);
// Series colour and marker code of a tank number: each colour distinct and
// at least 3:1 against kChartBackground.
quint32 TankColour(int tank);
int MarkerCode(int tank);

// Day, hour and minute boundaries crossed from a to b (naive seconds).
qint64 DayBoundaries(qint64 a, qint64 b);
qint64 HourBoundaries(qint64 a, qint64 b);
qint64 MinuteBoundaries(qint64 a, qint64 b);
int MonthBoundaries(qint64 a, qint64 b);
// Midnight of the day of t.
qint64 StartOfDay(qint64 t);

// The series of one tank for the view range: each tank's own points in one
// pass; in daily mode the last value of each day at its midnight.
ChartSeries BuildSeries(const DeviceRecord &rec, int tank, qint64 from, qint64 to, bool daily,
                        const ChartOptions &options, const Thinning &thin = {});
TimeAxis ComputeTimeAxis(qint64 viewFirst, qint64 viewLast, bool gridMonth);
struct TimeTick {
    qint64 t = 0;
    QString text;
    bool operator==(const TimeTick &) const = default;
};
// Labels of the time axis: the finest round step (seconds to years; calendar
// months with the month grid, else whole days from the time base) that puts
// at most maxTicks on the axis, but never fewer than four labels while a
// finer step exists. Texts in the locale's language: the date with the
// month's name, the time of day for steps below a day; the year on the
// first label and where it changes, the date likewise below a day.
std::vector<TimeTick> TimeTicks(const TimeAxis &x, int maxTicks, const QLocale &locale);

// What a picture holds: which tanks, in which mode, over which times.
struct DrawnSpan {
    std::vector<int> tanks; // in series order
    bool daily = false;
    Thinning thin;
    qint64 first = 0;
    qint64 last = 0;
};
DrawnSpan SpanOf(const ChartPicture &picture, qint64 first, qint64 last);
// While the scroll bar is dragged: the points each drawn series lacks for
// the view [first, last], one series per drawn tank; drawn then covers it.
// The next rebuild draws the view exactly.
std::vector<ChartSeries> ExtendDrawn(const DeviceTable &table, const ChartOptions &options, DrawnSpan &drawn,
                                     qint64 first, qint64 last);

// A rebuild: refreshes the data range and the unit list in state and returns
// the picture for the current view; the caller draws it, then calls
// FinishRebuild with the plot's rectangle. The series are named in the
// language of texts. columns: the
// plot's width in pixels at most; the series are thinned to one bucket a
// pixel (0: every point).
ChartPicture BeginRebuild(ChartState &state, const DeviceTable &table, const ChartOptions &options,
                          qint64 now, const Texts &texts, int columns = 0);
void FinishRebuild(ChartState &state, const PlotRect &plot);
