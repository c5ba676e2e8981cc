// The history chart's logic without a window: ranges, series, axes and the
// time range list while navigating, at fixed clock times.
#include "chart/ChartCombos.h"
#include "chart/ChartData.h"
#include "chart/ChartNavigation.h"
#include "lang/Lng.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <functional>
#include <map>
#include <memory>
#include <set>

static qint64 at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch();
}
constexpr qint64 kHour = 3600, kDay = 86400;
const qint64 kNow = at(2026, 6, 15, 12);

struct Point {
    qint64 t;
    double v;
    qint32 temp = kNoTemperature;
};

class ChartLogicTest : public ::testing::Test
{
protected:
    // Tank n in litres (tank volume in raw units) with the given history.
    DeviceRecord &tank(int n, const std::vector<Point> &points, qint32 volume = 1000)
    {
        table->DeviceCount = std::max(table->DeviceCount, n);
        DeviceRecord &r = (*table)[n];
        r.Tankvolumen = volume;
        for (const Point &p : points)
            r.History.append(TankHistory::fromSecs(p.t), p.v, p.temp);
        return r;
    }
    const Texts german{1};
    ChartPicture rebuild(const ChartOptions &o, qint64 from, qint64 to)
    {
        state.view = {from, to, 0, 100};
        ChartPicture pic = BeginRebuild(state, *table, o, kNow, german);
        FinishRebuild(state, {});
        return pic;
    }
    std::unique_ptr<DeviceTable> table = std::make_unique<DeviceTable>();
    ChartState state;
};

// Every n-th hour over the days from..to (exclusive), value = day number.
static std::vector<Point> hourly(qint64 from, qint64 to, int stepHours)
{
    std::vector<Point> p;
    for (qint64 t = from; t < to; t += stepHours * kHour)
        p.push_back({t, double((t - from) / kDay)});
    return p;
}

TEST_F(ChartLogicTest, RangeAndRoundedMaximum)
{
    // Axis ends close above the data; a percent axis ends at a full tank
    // unless a reading lies above it.
    const std::pair<double, double> rounds[] = {{1234, 1500}, {2000, 2500}, {0, 1}, {0.3, 0.4}, {4800, 5000}};
    for (auto [x, rounded] : rounds)
        EXPECT_DOUBLE_EQ(RoundUpValueMax(x), rounded) << x;
    EXPECT_EQ(std::tuple(AxisTop(100, true), AxisTop(47.3, true), AxisTop(104, true), AxisTop(100, false)),
              std::tuple(100.0, 100.0, 120.0, 120.0));

    tank(1, {{at(2026, 1, 10), 300}, {at(2025, 1, 1), 900}}); // only entry 1 gives the first time
    tank(2, {{at(2025, 12, 1), 1000, 25}}).TempKorr = 2;      // corrected: 1000 + 1000 * 10 * 2 / 1000
    EXPECT_EQ(CorrectedHistoryValue(100, kNoTemperature, true, 2), 100);
    TimeValueRange r = ComputeDataRange(*table, false, true, kNow);
    EXPECT_EQ(std::tuple(r.firstTime, r.lastTime, r.highestValue), std::tuple(at(2025, 12, 1), kNow, 1020.0));

    // Kept extremes: a history grown at its end adds its new entries; other options
    // scan anew. In percent, a tank without volume has no share.
    (*table)[1].Tankvolumen = 0;
    std::vector<TankValueSpan> spans;
    EXPECT_EQ(ComputeDataRange(*table, false, false, kNow, &spans).highestValue, 1000);
    (*table)[2].History.append(TankHistory::fromSecs(at(2026, 1, 1)), 5000, kNoTemperature);
    EXPECT_EQ(ComputeDataRange(*table, false, false, kNow, &spans).highestValue, 5000);
    EXPECT_EQ(ComputeDataRange(*table, true, false, kNow, &spans).highestValue, 500);
}

// Daily mode from 40 day boundaries on, each tank through its own points,
// percent of the tank volume, and the placeholder for an empty view.
TEST_F(ChartLogicTest, SeriesOfTheView)
{
    const qint64 start = at(2026, 3, 1, 1);
    tank(1, hourly(start, start + 50 * kDay, 2)).Einheit = 0;
    tank(2, hourly(start + 3 * kHour, start + 50 * kDay, 2)).Einheit = 1;
    ChartOptions all;

    ChartPicture p = rebuild(all, at(2026, 3, 1), at(2026, 4, 9, 23));
    EXPECT_FALSE(p.dailyMode);
    ASSERT_EQ(p.series.size(), 2u);
    const auto sizes = std::pair(p.series[0].keys.size(), p.series[1].keys.size());
    EXPECT_EQ(sizes, std::pair(40ul * 12, 40ul * 12 - 2)) << "the second from 04:00 on the first day";
    EXPECT_EQ(p.series[1].keys[0], start + 3 * kHour) << "no points borrowed from the other tank";

    p = rebuild(all, at(2026, 3, 1), at(2026, 4, 10));
    EXPECT_TRUE(p.dailyMode);
    ASSERT_EQ(p.series[0].keys.size(), 40u);
    EXPECT_EQ(p.series[0].keys[1], at(2026, 3, 2));
    EXPECT_EQ(std::vector<double>(p.series[0].values.begin(), p.series[0].values.begin() + 3),
              (std::vector<double>{0, 1, 2}))
        << "the last value of each day";

    // Dragging the scroll bar adds only what the drawn series lack.
    DrawnSpan drawn = SpanOf(p, at(2026, 3, 1), at(2026, 4, 10));
    const auto added = ExtendDrawn(*table, all, drawn, at(2026, 3, 5), at(2026, 4, 12, 12));
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].keys, (std::vector<double>{double(at(2026, 4, 10)), double(at(2026, 4, 11)),
                                                  double(at(2026, 4, 12))}));
    EXPECT_EQ(drawn.last, at(2026, 4, 12, 12));
    // Added at the resolution drawn: a day's twelve points of one value are its first and last.
    DrawnSpan thin{{1}, false, {at(2026, 3, 1), kDay}, at(2026, 3, 10), at(2026, 3, 20)};
    EXPECT_EQ(ExtendDrawn(*table, all, thin, at(2026, 3, 5), at(2026, 3, 20))[0].keys.size(), 5u * 2);

    ChartOptions one{.tank = 1};
    p = rebuild(one, at(2026, 3, 1), at(2026, 4, 10));
    EXPECT_EQ(std::pair(p.dailyMode, p.series.size()), std::pair(false, 1ul)) << "one tank: every point";

    // A clock set back: the later of two equal times wins, order is restored.
    tank(3, {{at(2026, 3, 5), 10}, {at(2026, 3, 3), 20}, {at(2026, 3, 5), 30}});
    one.tank = 3;
    p = rebuild(one, at(2026, 3, 1), at(2026, 3, 10));
    EXPECT_EQ(p.series[0].keys, (std::vector<double>{double(at(2026, 3, 3)), double(at(2026, 3, 5))}));
    EXPECT_EQ(p.series[0].values, (std::vector<double>{20, 30}));
    tank(6, {{at(2026, 3, 4), 10}, {at(2026, 3, 4), 40}, {at(2026, 3, 6), 50}}); // in order, one time twice
    one.tank = 6;
    EXPECT_EQ(rebuild(one, at(2026, 3, 1), at(2026, 3, 10)).series[0].values, (std::vector<double>{40, 50}));

    tank(4, {{at(2026, 3, 5), 500}, {at(2026, 3, 6), 250}}, 1000);
    tank(5, {{at(2026, 3, 5), 500}}, 0);
    ChartOptions pct{.tank = 4, .percent = true};
    EXPECT_EQ(rebuild(pct, at(2026, 3, 1), at(2026, 3, 10)).series[0].values, (std::vector<double>{50, 25}));
    pct.tank = 5;
    EXPECT_TRUE(rebuild(pct, at(2026, 3, 1), at(2026, 3, 10)).placeholder) << "no volume: nothing in percent";

    p = rebuild(all, at(2026, 5, 1), at(2026, 6, 1)); // every entry lies before the view
    EXPECT_TRUE(p.placeholder && p.series[0].values == std::vector<double>{kPlaceholderValue});
}

// Thinned to a few points per bucket, a line keeps its ends and extremes.
TEST_F(ChartLogicTest, ThinningKeepsTheLine)
{
    std::vector<Point> minutes;
    for (int i = 0; i < 1000; ++i)
        minutes.push_back({at(2026, 3, 1) + i * 60, double((i * 37) % 101)});
    const DeviceRecord &r = tank(1, minutes);
    const qint64 from = at(2026, 3, 1), to = from + 999 * 60;
    const ChartSeries all = BuildSeries(r, 1, from, to, false, {});
    const ChartSeries thin = BuildSeries(r, 1, from, to, false, {}, {from, 3000});
    ASSERT_EQ(all.keys.size(), 1000u);
    EXPECT_LE(thin.keys.size(), 4u * 20);
    EXPECT_EQ(std::pair(thin.keys.front(), thin.keys.back()), std::pair(all.keys.front(), all.keys.back()));
    EXPECT_EQ(std::adjacent_find(thin.keys.begin(), thin.keys.end(), std::greater_equal<>()),
              thin.keys.end());
    for (size_t i = 0; i < thin.keys.size(); ++i)
        EXPECT_EQ(thin.values[i], all.values[size_t(thin.keys[i] - double(from)) / 60])
            << "a point of the line";
    // Each bucket shows its lowest and highest value.
    using Extremes = std::map<qint64, std::pair<double, double>>;
    const auto extremes = [from](const ChartSeries &s) {
        Extremes e;
        for (size_t i = 0; i < s.keys.size(); ++i) {
            auto [it, fresh] =
                e.try_emplace(qint64(s.keys[i] - double(from)) / 3000, s.values[i], s.values[i]);
            it->second = {std::min(it->second.first, s.values[i]), std::max(it->second.second, s.values[i])};
        }
        return e;
    };
    EXPECT_EQ(extremes(thin), extremes(all));
}

// The demo's mix: litres, m³ and percent. Each unit gets an axis of its own
// tanks' range; one tank shown is drawn on its own range alone.
TEST_F(ChartLogicTest, ShownTanksRangeAndAxesPerUnit)
{
    tank(1, {{at(2025, 6, 1), 4800}, {at(2026, 6, 1), 1200}}, 5000).Einheit = 0;
    tank(2, {{at(2026, 1, 1), 2.5}, {at(2026, 6, 1), 0.7}}, 2500).Einheit = 1;
    tank(3, {{at(2026, 2, 1), 80}}, 100).Einheit = 3;
    std::vector<UnitRange> units;
    const auto range = [&](ChartOptions o) {
        const TimeValueRange r = ComputeShownRange(*table, o, kNow, units);
        return std::tuple(r.firstTime, r.lowestValue, r.highestValue);
    };
    EXPECT_EQ(range({.tank = 2}), std::tuple(at(2026, 1, 1), 0.0, 3.0)) << "2.5 m³ rounds up to 3, not 5000";
    EXPECT_EQ(units, (std::vector<UnitRange>{{"m³", 0, 3}}));
    EXPECT_EQ(range({}), std::tuple(at(2025, 6, 1), 0.0, 5000.0));
    EXPECT_EQ(units, (std::vector<UnitRange>{{"L", 0, 5000}, {"m³", 0, 3}, {"%", 0, 100}}));
    EXPECT_EQ(range({.hidden = 1}), std::tuple(at(2026, 1, 1), 0.0, 3.0)) << "tank 1 hidden in the legend";
    EXPECT_EQ(units, (std::vector<UnitRange>{{"m³", 0, 3}, {"%", 0, 100}}));
    range({.percent = true});
    EXPECT_EQ(units, (std::vector<UnitRange>{{"%", 0, 100}})) << "96 %, 100 % and 80 % on one axis";

    // A rebuild puts each line on its unit's axis; a value zoom shows the
    // same part of every axis.
    ChartOptions all;
    OpenChartRange(state, *table, all, kNow);
    ApplyBandZoom(state, double(at(2026, 1, 1)), 1000, double(kNow), 2500);
    const ChartPicture pic = BeginRebuild(state, *table, all, kNow, german);
    FinishRebuild(state, {});
    QStringList axes;
    for (const ValueAxis &y : pic.y)
        axes
            << QStringLiteral("%1 %2..%3").arg(y.title).arg(y.minimum, 0, 'g', 12).arg(y.maximum, 0, 'g', 12);
    EXPECT_EQ(axes.join(", "), "L 1000..2500, m³ 0.6..1.5, % 20..50");
    std::vector<int> onAxis;
    for (const ChartSeries &s : pic.series)
        onAxis.push_back(s.axis);
    EXPECT_EQ(onAxis, (std::vector<int>{0, 1, 2}));

    // Choosing one tank gives the view that tank's values; a view of all
    // data stays all data.
    ZoomAll(state, kNow);
    ShownChanged(state, *table, {.tank = 2}, kNow);
    EXPECT_EQ(std::tuple(state.view.firstTime, state.view.lowestValue, state.view.highestValue),
              std::tuple(at(2026, 1, 1), 0.0, 3.0));
}

// The list names what is drawn after each step: an entry whose choice gives
// the view, all data, or none (the window adds "custom").
TEST_F(ChartLogicTest, TimeRangeListFollowsNavigation)
{
    tank(1, hourly(at(2025, 3, 1), kNow, 6));
    const auto entries = ComboZeitraumEntries(DataYears(at(2025, 3, 1), kNow), german);
    // Each step is followed by a rebuild, which moves the data's end to "now".
    const std::function<void()> moves[] = {
        [&] { OpenChartRange(state, *table, {}, kNow); },
        [&] { ChooseTimeRange(state, 3, kNow); },
        [&] { state.data.lastTime = kNow + 600; }, // ten minutes later: still the last three months
        [&] { ZoomIn(state); },
        [&] { ChooseTimeRange(state, 12, kNow + 600); },
        [&] { ScrollTo(state, 0); },
        [&] {
            ZoomOut(state), ZoomOut(state), ZoomOut(state), ZoomOut(state), ZoomOut(state), ZoomOut(state);
        },
        [&] { WheelZoom(state, kNow - 30 * kDay, true); },
        [&] { ZoomAll(state, kNow + 600); },
        [&] { ApplyBandZoom(state, double(at(2026, 1, 1)), 0, double(at(2026, 2, 1)), 1); },
        [&] { ChooseTimeRange(state, kLastWeek, kNow + 600); },
        [&] { ChooseTimeRange(state, kLastDay, kNow + 900); }};
    QStringList steps;
    for (const auto &move : moves) {
        move();
        const int i = MatchingTimeRange(entries, state);
        steps << (i < 0 ? CustomRangeEntry(german).text : entries[size_t(i)].text);
    }
    EXPECT_EQ(steps.join('|'), "Alle Daten|3 Monate|3 Monate|Benutzerdefiniert|1 Jahr|Benutzerdefiniert|"
                               "Alle Daten|Benutzerdefiniert|Alle Daten|Benutzerdefiniert|7 Tage|24 Stunden");
    // The short ranges are remembered as any other; what an image proposes to be called.
    EXPECT_EQ(entries[size_t(ComboZeitraumSelection(entries, kLastWeek))].text, "7 Tage");
    EXPECT_EQ(ChartFileName("3: Keller/Ost", at(2026, 12, 8, 10), "png"), "3 Keller Ost 2026-12-08.png");
}

// The unit of the time axis by its span; time labels in the run's language:
// never fewer than four, the year where it changes, the date where the day
// changes below a day.
TEST_F(ChartLogicTest, TimeAxisAndLabels)
{
    const QLocale en(QLocale::English, QLocale::UnitedKingdom), de(QLocale::German, QLocale::Germany);
    const auto texts = [](const TimeAxis &x, int maxTicks, const QLocale &l) {
        QStringList t;
        for (const TimeTick &tick : TimeTicks(x, maxTicks, l))
            t << QString(tick.text).replace('\n', ' ');
        return t.join('|');
    };
    const auto axis = [](qint64 from, qint64 to, bool grid) {
        const TimeAxis x = ComputeTimeAxis(from, to, grid);
        return std::pair(x.timeBase, x.unit);
    };
    const qint64 d = at(2026, 3, 17);
    EXPECT_EQ(axis(d + 5 * kHour, at(2026, 5, 1), true), std::pair(at(2026, 3, 1), LabelUnit::Months));
    EXPECT_EQ(axis(d + 5 * kHour, d + 29 * kHour, false), std::pair(d, LabelUnit::Days));
    EXPECT_EQ(axis(d + 5 * kHour, d + 29 * kHour - 60, false), std::pair(d, LabelUnit::Hours));
    EXPECT_EQ(axis(d + 5 * kHour + 600, d + 6 * kHour + 540, false), std::pair(d, LabelUnit::Minutes));
    // Tank numbers outside 1..56 take the first tank's colour and marker.
    for (int n : {0, 57})
        EXPECT_EQ(std::pair(TankColour(n), MarkerCode(n)), std::pair(TankColour(1), MarkerCode(1))) << n;
    const qint64 t = at(2025, 11, 17, 9, 20);
    EXPECT_EQ(texts(ComputeTimeAxis(t, at(2026, 11, 1), true), 6, en), "Jan 2026|Apr|Jul|Oct");
    EXPECT_EQ(texts(ComputeTimeAxis(t, at(2026, 1, 20), true), 5, de),
              "29. Nov. 2025|13. Dez.|27. Dez.|10. Jan. 2026")
        << "two months: two-week steps rather than two labels";
    EXPECT_EQ(texts(ComputeTimeAxis(t, t + 26 * kHour, false), 6, en),
              "12:00 17 Nov 2025|18:00|00:00 18 Nov|06:00");
    // Any view from a minute to ten years on any width: four labels at least.
    for (qint64 span : {60LL, 3000LL, 20 * kHour, 3 * kDay, 45 * kDay, 400 * kDay, 3650 * kDay})
        for (int maxTicks : {1, 4, 8, 20})
            for (bool grid : {true, false}) {
                const auto ticks = TimeTicks(ComputeTimeAxis(t, t + span, grid), maxTicks, en);
                EXPECT_GE(ticks.size(), 4u) << span << " " << maxTicks;
                EXPECT_LE(ticks.size(), size_t(std::max(maxTicks, 4)) * 4) << span << " " << maxTicks;
            }
}

// Every tank's colour stands out against the plot, by at least 3:1 as the
// web's accessibility rules count contrast, and no two tanks share one.
TEST_F(ChartLogicTest, EveryTankColourStandsOutOnThePlot)
{
    EXPECT_NEAR(ContrastRatio(0x767676, 0xFFFFFF), 4.54, 0.01) << "the rules' own example";
    EXPECT_NEAR(ContrastRatio(0xFFFFFF, 0x000000), 21.0, 1e-9);
    std::set<quint32> colours;
    for (int n = 1; n <= kMaxDevices; ++n) {
        EXPECT_GE(ContrastRatio(TankColour(n), kChartBackground), 3.0) << n;
        colours.insert(TankColour(n));
    }
    EXPECT_EQ(colours.size(), size_t(kMaxDevices));
}

// The line ends at the tank's last reading when that is newer than the last
// recorded entry: an open loss shows its drop; the axis takes it in. A
// device error code has no level and adds nothing.
TEST_F(ChartLogicTest, LineEndsAtTheLastReading)
{
    DeviceRecord &r = tank(1, {{kNow - 3 * kDay, 800}, {kNow - 2 * kDay, 790}});
    r.Uhrzeit = TankHistory::fromSecs(kNow - kHour);
    r.Volumen = 1300;
    const auto last = [&](const ChartOptions &o) {
        const ChartSeries s = rebuild(o, kNow - 10 * kDay, kNow).series.front();
        return std::tuple(qint64(s.keys.back()), s.values.back(), state.data.highestValue);
    };
    EXPECT_EQ(last({.tank = 1}), std::tuple(kNow - kHour, 1300.0, 1500.0));
    r.Volumen = 200;
    EXPECT_EQ(last({.tank = 1, .percent = true}), std::tuple(kNow - kHour, 20.0, 100.0));
    r.Volumen = -0xE002;
    EXPECT_EQ(last({.tank = 1}), std::tuple(kNow - 2 * kDay, 790.0, 1000.0));
    r.Volumen = 100;
    r.Uhrzeit = TankHistory::fromSecs(kNow - 2 * kDay); // recorded already
    EXPECT_EQ(last({.tank = 1}), std::tuple(kNow - 2 * kDay, 790.0, 1000.0));
}

// Tanks with many entries are scanned and drawn on several threads: the
// ranges and series are those of the tanks taken one by one, in tank order,
// hidden tanks left out.
TEST_F(ChartLogicTest, ManyEntriesGiveTheSameChartAsOneTankAtATime)
{
    constexpr int kTanks = 9, kEntries = 40000;
    for (int n = 1; n <= kTanks; ++n) {
        DeviceRecord &r = (*table)[n];
        r.Einheit = n % 3 == 0 ? 1 : 0; // every third tank in m³
        r.Tankvolumen = 5000;
        TankHistory &h = r.History;
        const int count = kEntries - 1000 * n; // tanks of different lengths
        for (int i = 1; i <= count; ++i) {
            h.HistoryTimes.push_back(kNow - qint64(count - i) * 600 - n);
            h.HistoryValues.push_back(r.Einheit ? 0.5 * n + i % 89 * 0.01 : 100.0 * n + i % 997);
            h.HistoryTemps.push_back(i % 30);
        }
    }
    table->DeviceCount = kTanks;
    for (const ChartOptions &o : {ChartOptions{}, ChartOptions{.hidden = 0b10100}}) {
        // By hand: each unit's lowest (from 0) and highest value of its shown tanks, litres first.
        std::map<QString, double> top;
        for (int n = 1; n <= kTanks; ++n) {
            const std::vector<double> &v = (*table)[n].History.HistoryValues;
            double &t = top[(*table)[n].Einheit ? "m³" : "L"];
            t = IsShown(o, n) ? std::max(t, *std::max_element(v.begin() + 1, v.end())) : t;
        }
        const std::vector<UnitRange> expectedUnits{{"L", 0, RoundUpValueMax(top["L"])},
                                                   {"m³", 0, RoundUpValueMax(top["m³"])}};
        ChartState s;
        OpenChartRange(s, *table, o, kNow);
        EXPECT_EQ(s.units, expectedUnits);
        const ChartPicture pic = BeginRebuild(s, *table, o, kNow, german, 800);
        FinishRebuild(s, {});
        std::vector<std::tuple<int, QString, int, std::vector<double>, std::vector<double>>> got, alone;
        for (const ChartSeries &c : pic.series)
            got.emplace_back(c.tank, c.name, c.axis, c.keys, c.values);
        for (int n = 1; n <= kTanks; ++n) {
            if (!IsShown(o, n))
                continue;
            const ChartSeries c =
                BuildSeries((*table)[n], n, s.view.firstTime, s.view.lastTime, pic.dailyMode, o, pic.thin);
            alone.emplace_back(n, TankLabel((*table)[n], n, german), (*table)[n].Einheit ? 1 : 0, c.keys,
                               c.values);
        }
        EXPECT_EQ(got.size(), o.hidden ? size_t(kTanks - 2) : size_t(kTanks));
        EXPECT_TRUE(got == alone) << "hidden " << o.hidden;
    }
}
