// Days until empty as the display words them: the word for days agrees with
// the number in each language, the date in the locale's short form.
#include "ui/DisplayRules.h"

#include "consumption/Forecast.h"
#include "lang/Lng.h"
#include "support/TestSupport.h"

#include <QLocale>

TEST(ForecastDisplay, DaysAgreeWithTheNumberInEachLanguage)
{
    const QDateTime at = Clock::Naive(QDate(2026, 12, 30), QTime(8, 0));
    const QString date = QLocale::system().toString(at.date(), QLocale::ShortFormat);
    const struct {
        int lng;
        double days;
        const char *text; // with the date following it
    } cases[] = {
        {1, 23.4, "ca. 23 Tage, bis "},    {1, 1.2, "ca. 1 Tag, bis "},
        {2, 0.7, "about 1 day, until "},   {4, 0, "environ 0 jour, jusqu'au "},
        {8, 21, "oko 21 dan, do "},        {8, 11, "oko 11 dana, do "},
        {9, 19, "circa 19 zile, până la "}, {9, 20, "circa 20 de zile, până la "},
        {9, 101, "circa 101 zile, până la "}, {10, 5, "ok. 5 dni, do "},
    };
    for (const auto &c : cases) {
        SetLngId(c.lng);
        EXPECT_EQ(DisplayRules::ForecastText(EmptyForecast{10, c.days, at}), QString::fromUtf8(c.text) + date)
            << c.lng << " " << c.days;
    }
    EXPECT_EQ(DisplayRules::ForecastText(std::nullopt), "");
    SetLngId(0);
}
