// Days until empty: histories with a known answer, and the provider kept
// current by the telegram sequence.
#include "consumption/Forecast.h"
#include "model/Figures.h"
#include "support/Fixtures.h"

#include <QSignalSpy>
#include <cmath>

const QDateTime kNow = Clock::Naive(QDate(2026, 12, 7), QTime(12, 0));

// (days before now, level) as a 10000 L tank's history: the days until empty,
// to a millionth, and the date; none without a forecast.
static std::optional<std::pair<double, QDate>>
forecast(std::initializer_list<std::pair<double, double>> points)
{
    DeviceRecord rec;
    rec.Tankvolumen = 10000;
    for (const auto &[daysBefore, value] : points)
        rec.History.append(kNow.addSecs(-qint64(daysBefore * Clock::kDay)), value, 0);
    const auto f = ComputeEmptyForecast(rec, {}, kNow);
    return f ? std::optional(std::pair(std::round(f->days * 1e6) / 1e6, f->emptyAt.date())) : std::nullopt;
}

TEST(Forecast, DaysAndDate)
{
    // 3000 delivered ten days ago: 5000 - 6600 + 3000 in 14 days.
    EXPECT_EQ(
        forecast(
            {{14, 5000}, {10, 4600}, {9.9, 7600}, {8, 7400}, {6, 7200}, {4, 7000}, {2, 6800}, {0, 6600}}),
        std::pair(66.0, QDate(2027, 2, 11)));
    EXPECT_EQ(forecast({{14, 1000}, {7, 1004}, {0, 1008}}), std::nullopt) << "a rise only";
    // Two and a half days in the window; the older point lies outside it. Three
    // days are enough, and a forecast measured a day ago counts from then: the
    // provider's test shows both.
    EXPECT_EQ(forecast({{20, 5000}, {2.5, 3000}, {0, 2900}}), std::nullopt) << "too little history";
    EXPECT_EQ(forecast({{14, 1400}, {7, 700}, {0, 0}}), std::pair(0.0, QDate(2026, 12, 7))) << "empty now";
}

using ForecastProvision = ControllerTest;

TEST_F(ForecastProvision, FollowsTheRecordedTelegrams)
{
    ForecastProvider provider(tanks.table(), settings, clock, hooks);
    tanks.setHistoryHooks(&provider);
    // Stands in for the recorder: every telegram is a history point.
    hooks.insideRecord = [this](int n) {
        DeviceRecord &r = tanks.device(n);
        r.History.append(now, ScaledLevel(r.Volumen, r), 0);
    };
    QSignalSpy changed(&provider, &ForecastProvider::forecastChanged);
    for (int day = 0; day <= 4; ++day) {
        ASSERT_TRUE(feed(Telegram{.sn = 7, .levelWord = Bcd(2000 - 100 * day)}));
        EXPECT_EQ(changed.size(), std::max(0, day - 2)) << day; // from three days on
        now = now.addDays(1);
    }
    ASSERT_TRUE(provider.forecast(1));
    EXPECT_NEAR(provider.forecast(1)->days, 15, 1e-6); // 1600 at 100 a day, measured a day ago
    EXPECT_FALSE(provider.forecast(2));
}
