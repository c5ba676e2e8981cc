// The age rules and texts of the display as pure functions; the tab rows,
// captions and detail texts are checked on the widgets in TankDisplayTest.
#include "ui/DisplayRules.h"

#include "consumption/Forecast.h"
#include "lang/Lng.h"
#include "support/TestSupport.h"

#include <QLocale>

using namespace DisplayRules;

namespace
{
QDateTime at(int d, int h, int m, int s)
{
    return QDateTime(QDate(2024, 3, d), QTime(h, m, s), Qt::UTC);
}
} // namespace

// Age counts minute boundaries crossed, as the clock reads, not elapsed seconds.
TEST(DisplayRules, AgeCountsMinuteBoundariesOldAndStaleLimitsTexts)
{
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 0, 59), at(1, 10, 1, 0)), 1);
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 0, 0), at(1, 10, 0, 59)), 0);
    // A reading a little ahead of the clock is not old.
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 5, 0), at(1, 10, 0, 0)), -5);
    EXPECT_FALSE(IsOld(-5));
    // Naive times: whatever time zone flag a caller used, the clock texts count.
    const QDateTime local(QDate(2024, 3, 31), QTime(1, 30), Qt::LocalTime);
    EXPECT_EQ(ReadingAgeMinutes(local, at(31, 3, 30, 0)), 120);
    // Old after 60 minutes, stale after 1440; no date is both.
    EXPECT_FALSE(IsOld(60) || IsStale(1440));
    EXPECT_TRUE(IsOld(61) && IsStale(1441));
    const qint64 age = ReadingAgeMinutes(QDateTime(), at(1, 10, 0, 0));
    EXPECT_TRUE(IsOld(age) && IsStale(age));

    // The texts: 0 °C is a temperature, not none; no time, no text.
    SetLngId(1);
    EXPECT_EQ(TemperatureText(0), "0 °C");
    EXPECT_TRUE(GeneralDateTimeText(Texts(1), QDateTime()).isEmpty());
}

// Days until empty as the display words them: the word for days agrees with
// the number in each language, the date in that language's short form.
TEST(ForecastDisplay, DaysAgreeWithTheNumberInEachLanguage)
{
    const QDateTime at = Clock::Naive(QDate(2026, 12, 30), QTime(8, 0));
    // Language, days, the text before the date (the plural rules: PluralForms).
    const std::tuple<int, double, const char *> cases[] = {{1, 23.4, "ca. 23 Tage, bis "},
                                                           {2, 0.7, "about 1 day, until "},
                                                           {2, 0.3, "about 1 day, until "},
                                                           {9, 20, "circa 20 de zile, până la "}};
    for (const auto &[lng, days, text] : cases) {
        SetLngId(lng);
        const QString date = LanguageLocale(lng).toString(at.date(), QLocale::ShortFormat);
        EXPECT_EQ(DisplayRules::ForecastText(Texts(lng), EmptyForecast{10, days, at}, false),
                  QString::fromUtf8(text) + date)
            << lng << " " << days;
    }
    EXPECT_EQ(DisplayRules::ForecastText(Texts(1), std::nullopt, false), "");
    // An empty tank says it is empty, not "0 days" until a day gone by; one
    // that still holds some is never called empty: its forecast is out of date.
    EXPECT_EQ(DisplayRules::ForecastText(Texts(10), EmptyForecast{10, 0, at.addDays(-1)}, true), "Pusty");
    EXPECT_EQ(DisplayRules::ForecastText(Texts(10), EmptyForecast{10, 0, at.addDays(-1)}, false), "");
    SetLngId(0);
}
