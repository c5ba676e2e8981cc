// The loss alarm over histories with a known answer and over the demo's year,
// and the consumption meter against the consumption table.
#include "consumption/ConsumptionMeter.h"
#include "consumption/LossAlarm.h"
#include "model/Figures.h"
#include "support/TestSupport.h"

#include "../../tools/DemoTanks.h"

#include <cmath>
#include <functional>

// Readings every 10 minutes of a 1000 L tank, its level in percent as a
// function of the hours since the start (22:00), with ±0.5 % jitter when asked.
struct History {
    const char *name;
    std::function<double(double hours)> percent;
    double hours;
    double dailyUsePercent; // the tank's 14-day rate
    bool jitter = false;
    LossLimits limits = {};
};

// An expected event: its kind and the hours it may fall in (both included).
struct Expected {
    LossEvent kind;
    double from, to;
};

static std::vector<std::pair<LossEvent, double>> Judge(const History &h)
{
    const qint64 start = TankHistory::toSecs(QDateTime(QDate(2026, 1, 14), QTime(22, 0)));
    DemoRandom noise{42};
    LossState state;
    std::vector<std::pair<LossEvent, double>> events;
    for (int i = 0; i * 10 <= h.hours * 60; ++i) {
        const double hours = i / 6.0;
        const double percent = h.percent(hours) + (h.jitter ? noise.around(0, 0.5) : 0);
        LossOutcome out = JudgeLoss(std::move(state), {start + i * 600, percent * 10}, 1000,
                                    h.dailyUsePercent * 10, h.limits);
        state = std::move(out.state);
        if (out.event != LossEvent::None)
            events.emplace_back(out.event, hours);
    }
    return events;
}

static double Ramp(double h, double from, double to) // 0 before from, 1 after to
{
    return std::clamp((h - from) / (to - from), 0.0, 1.0);
}

TEST(LossAlarm, HistoriesWithAKnownAnswer)
{
    using E = LossEvent;
    const LossLimits twoHours{.stunden = 2}, off{.prozent = 0};
    const LossLimits nights{.quiet = *QuietHours::parse("20:00-06:00")};
    const auto nightTheft = [](double h) { return 60 - 4 * Ramp(h, 4, 5); };
    const auto winterUse = [](double h) { return 60 - 4 * Ramp(h, 0, 48); };
    const auto leak = [](double h) { return 70 - 5 * Ramp(h, 2, 7); };
    const std::vector<std::pair<History, std::vector<Expected>>> table{
        // Raised while the level falls, over once it has been steady for the window.
        {{"4 % within an hour at night", nightTheft, 12, 1.5}, {{E::Started, 4.5, 5}, {E::Ended, 8.5, 9.5}}},
        {{"the same 4 % over two days of winter use", winterUse, 60, 2}, {}},
        {{"refuelling, then normal use",
          [](double h) {
              return 15 - 1.5 * h / 24 + 70 * Ramp(h, 24, 24.4) - 1.5 * std::max(0.0, h - 24.4) / 24;
          },
          96, 1.5, true},
         {}},
        // A refuelling ends an open event as soon as the steadied level has risen.
        {{"theft, then a refuelling",
          [](double h) { return 50 - 5 * Ramp(h, 3, 3.3) + 45 * Ramp(h, 4, 4.2); }, 10, 1.5},
         {{E::Started, 3, 3.5}, {E::Ended, 4, 4.4}}},
        // A single reading off and back is neither a fall nor a refuelling.
        {{"one reading 8 % low", [](double h) { return 60 - 8 * (std::abs(h - 5) < 0.01); }, 12, 1.5, true},
         {}},
        {{"one reading 8 % high", [](double h) { return 60 + 8 * (std::abs(h - 5) < 0.01); }, 12, 1.5, true},
         {}},
        // After a device fault the level may read with an offset: no fall.
        {{"4 % lower after a device fault", [](double h) { return h >= 3 && h < 4 ? -1
                                                                  : h < 3         ? 60
                                                                                  : 56; },
          12, 1.5, true},
         {}},
        // Never 3 points within 4 hours, caught by the long window (6 points within 24 hours).
        {{"a slow leak of 0.5 %/h", [](double h) { return 80 - 0.5 * std::max(0.0, h - 2); }, 30, 1.5, true},
         {{E::Started, 12.5, 14.5}}},
        // Judged at night only (the start is 22:00): a draw at 10:00 passes,
        // a theft at midnight does not.
        {{"a draw by day, a theft at night",
          [](double h) { return 70 - 8 * Ramp(h, 12, 12.2) - 4 * Ramp(h, 26, 26.1); }, 30, 1.5, true, nights},
         {{E::Started, 26.1, 26.4}}},
        // Caught about 3 hours into the leak, open until it has stopped for
        // the window's 4 hours; a 2-hour window never sees more than 2 points.
        {{"a leak of 1 %/h for 5 h", leak, 14, 1.5, true}, {{E::Started, 4.5, 5.5}, {E::Ended, 10.5, 11.5}}},
        {{"a leak of 1 %/h for 5 h, 2-hour window", leak, 14, 1.5, true, twoHours}, {}},
        // The corrected volume of a tank above ground swings with the day.
        {{"temperature swings and normal use",
          [](double h) { return 50 + 1.0 * std::sin(h * 2 * M_PI / 24) - 1.5 * h / 24; }, 96, 1.5, true},
         {}},
        // A heavy user: 25 % a day (3 % in 3 hours) is its normal use.
        {{"a big tank's normal use", [](double h) { return 90 - 25 * h / 24; }, 48, 25, true}, {}},
        {{"switched off", nightTheft, 12, 1.5, false, off}, {}},
    };
    for (const auto &[history, expected] : table) {
        const auto events = Judge(history);
        bool ok = events.size() == expected.size();
        for (size_t i = 0; ok && i < events.size(); ++i)
            ok = events[i].first == expected[i].kind && events[i].second >= expected[i].from - 1e-9 &&
                 events[i].second <= expected[i].to + 1e-9;
        QString seen;
        for (const auto &[kind, hours] : events)
            seen += QStringLiteral(" %1@%2h").arg(kind == E::Started ? "start" : "end").arg(hours, 0, 'f', 2);
        EXPECT_TRUE(ok) << history.name << ":" << qPrintable(seen);
    }
}

// A tank's own limits over the common ones, and its quiet hours.
TEST(LossAlarm, OwnLimitsAndQuietHours)
{
    const LossLimits common{.prozent = 3, .stunden = 4};
    const auto limits = [&](const char *p, const char *h, const char *q, bool percent = false) {
        const LossLimits l = TankLossLimits(common, {p, h, q}, percent);
        return QStringLiteral("%1/%2/%3").arg(l.prozent).arg(l.stunden).arg(l.quiet.text());
    };
    EXPECT_EQ(limits("", "", ""), "3/4/");
    EXPECT_EQ(limits("5,5", "24", "22:00-5:00 we"), "5.5/24/22:00-05:00 WE");
    EXPECT_EQ(limits("0", "", ""), "0/4/") << "off for this tank";
    EXPECT_EQ(limits("", "", "", true), "0/4/") << "a percent tank without limits of its own";
    EXPECT_EQ(limits("3", "", "", true), "3/4/");
    EXPECT_EQ(limits("x", "", "25:00-06:00"), "3/4/") << "not readable: the common value, all hours";

    // 14 Jan 2026 is a Wednesday.
    const auto at = [](int day, int hour, int minute) {
        return TankHistory::toSecs(QDateTime(QDate(2026, 1, day), QTime(hour, minute), Qt::UTC));
    };
    const QuietHours nights = *QuietHours::parse("20:00-06:00"), weekends = *QuietHours::parse("WE");
    const QuietHours both = *QuietHours::parse("20:00-06:00 WE"), day = *QuietHours::parse("08:00-17:30");
    EXPECT_EQ((std::vector<bool>{nights.contains(at(14, 19, 59)), nights.contains(at(14, 20, 0)),
                                 nights.contains(at(15, 5, 59)), nights.contains(at(15, 6, 0))}),
              (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ((std::vector<bool>{weekends.contains(at(16, 23, 59)), weekends.contains(at(17, 0, 0)),
                                 weekends.contains(at(18, 23, 59)), weekends.contains(at(19, 0, 0)),
                                 both.contains(at(17, 12, 0)), both.contains(at(19, 12, 0)),
                                 day.contains(at(14, 17, 29)), day.contains(at(14, 17, 30))}),
              (std::vector<bool>{false, true, true, false, true, false, true, false}));
    for (const char *wrong : {"20:00", "20:00-20:00", "24:00-06:00", "20:60-06:00", "nachts"})
        EXPECT_FALSE(QuietHours::parse(wrong)) << wrong;
}

// The demo's tanks run through a year as the feeder runs them (half-hour
// steps), their levels as their devices send them: no loss, even with their
// normal use unknown.
TEST(LossAlarm, TheDemoYearRaisesNone)
{
    for (const DemoTank &tank : DemoTanks()) {
        DemoModel model(tank.kind, tank.rec.Tankvolumen * 0.8, quint64(tank.rec.SN));
        QDateTime t(QDate(2026, 1, 1), QTime(0, 0));
        LossState state;
        int started = 0;
        for (int step = 0; step < 365 * 48; ++step) {
            t = t.addSecs(1800);
            model.advance(t, 1.0 / 48);
            const int raw = qBound(0, int(std::lround(model.level())), tank.rec.Tankvolumen);
            LossOutcome out =
                JudgeLoss(std::move(state), {TankHistory::toSecs(t), ScaledLevel(raw, tank.rec)},
                          ScaledLevel(tank.rec.Tankvolumen, tank.rec), 0, {});
            state = std::move(out.state);
            started += out.event == LossEvent::Started;
        }
        EXPECT_EQ(started, 0) << qPrintable(tank.rec.Tankbezeichnung);
        if (tank.kind != DemoKind::RainWater) {
            EXPECT_GT(model.refuellings(), 0) << "the year has refuellings";
        }
    }
}

// The meter as the history grows point by point: it never goes back, it
// equals the table's total of all months, and a meter made afresh over the same settings (a restart)
// does not start lower, even where the history alone would give less.
TEST_F(DataDirTest, ConsumptionMeterFollowsTheTableAndNeverGoesBack)
{
    DeviceTable devices;
    devices.DeviceCount = 1;
    DeviceRecord &rec = devices[1];
    rec.Tankvolumen = 5000;
    DemoRandom noise{7};
    // Twenty months of daily readings: use, a refuelling every 90 days, jitter.
    std::vector<std::pair<QDateTime, double>> points;
    double level = 4000;
    for (QDateTime t(QDate(2025, 3, 10), QTime(6, 0)); t.date() < QDate(2026, 11, 20); t = t.addDays(1)) {
        level -= noise.around(20, 8);
        if (t.date().dayOfYear() % 90 == 0)
            level += 2500;
        points.emplace_back(t, std::round(level + noise.around(0, 10)));
    }
    ConsumptionMeter meter(devices, settings, true);
    double shown = 0;
    for (const auto &[t, v] : points) {
        rec.History.append(t, v, 0);
        meter.update(1);
        ASSERT_GE(meter.consumed(1).value_or(-1), shown) << qPrintable(t.toString());
        shown = *meter.consumed(1);
    }

    ConsumptionRequest request;
    request.selection = 1;
    request.currentYear = 2026;
    const double tableTotal = ComputeConsumption(devices, request).groups.at(0).table.total();
    EXPECT_EQ(meter.consumed(1), tableTotal);
    // The consumption of 20 months of 20 L a day, not the refuellings'.
    EXPECT_NEAR(tableTotal, 20.0 * points.size(), 0.1 * 20 * points.size());

    // A small delivery that counts as no refuelling: the meter holds, and a
    // start, which computes the history again, starts from what it held.
    rec.History.HistoryValues.back() += 150;
    meter.update(1);
    EXPECT_EQ(meter.consumed(1), tableTotal);
    ConsumptionMeter restarted(devices, settings, true);
    restarted.update(1);
    EXPECT_EQ(restarted.consumed(1), tableTotal);
    EXPECT_LT(ComputeConsumption(devices, request).groups.at(0).table.total(), tableTotal);
}
