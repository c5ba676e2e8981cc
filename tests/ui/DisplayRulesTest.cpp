#include "UiTestSupport.h"
#include "ui/DisplayRules.h"

#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <gtest/gtest.h>

using namespace DisplayRules;

namespace {
QDateTime at(int d, int h, int m, int s) { return QDateTime(QDate(2024, 3, d), QTime(h, m, s), Qt::UTC); }
} // namespace

// Age counts minute boundaries crossed, as the clock reads, not elapsed seconds.
TEST(ReadingAge, CountsMinuteBoundaries)
{
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 0, 59), at(1, 10, 1, 0)), 1);
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 0, 0), at(1, 10, 0, 59)), 0);
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 0, 0), at(1, 11, 0, 59)), 60);
    EXPECT_EQ(ReadingAgeMinutes(at(1, 23, 59, 59), at(2, 0, 0, 0)), 1);
    // A reading a little ahead of the clock is not old.
    EXPECT_EQ(ReadingAgeMinutes(at(1, 10, 5, 0), at(1, 10, 0, 0)), -5);
    // Before 1970 the minute index still rounds down.
    const QDateTime a(QDate(1969, 12, 31), QTime(23, 59, 30), Qt::UTC);
    const QDateTime b(QDate(1970, 1, 1), QTime(0, 0, 10), Qt::UTC);
    EXPECT_EQ(ReadingAgeMinutes(a, b), 1);
}

TEST(ReadingAge, LocalAndUtcSpecsCompareAsWritten)
{
    // Naive times: whatever time zone flag a caller used, the clock texts count.
    const QDateTime reading(QDate(2024, 3, 31), QTime(1, 30), Qt::LocalTime);
    EXPECT_EQ(ReadingAgeMinutes(reading, QDateTime(QDate(2024, 3, 31), QTime(3, 30), Qt::UTC)), 120);
}

TEST(ReadingAge, ThresholdsAreStrictlyAbove)
{
    EXPECT_FALSE(IsOld(60));
    EXPECT_TRUE(IsOld(61));
    EXPECT_FALSE(IsStale(1440));
    EXPECT_TRUE(IsStale(1441));
    EXPECT_FALSE(IsOld(-5));
}

TEST(ReadingAge, NoDateIsOldAndStale)
{
    const qint64 age = ReadingAgeMinutes(QDateTime(), at(1, 10, 0, 0));
    EXPECT_TRUE(IsOld(age));
    EXPECT_TRUE(IsStale(age));
}

TEST(OverviewLayout, TabOfDeviceAndCaption)
{
    SetLngId(1);
    EXPECT_EQ(OverviewTab(1), 1);
    EXPECT_EQ(OverviewTab(4), 1);
    EXPECT_EQ(OverviewTab(5), 2);
    EXPECT_EQ(OverviewTab(56), 14);
    EXPECT_EQ(OverviewTabCaption(1, 1), QStringLiteral("Tank 1"));
    EXPECT_EQ(OverviewTabCaption(1, 4), QStringLiteral("Tank 1-4"));
    EXPECT_EQ(OverviewTabCaption(2, 5), QStringLiteral("Tank 5"));
    EXPECT_EQ(OverviewTabCaption(2, 7), QStringLiteral("Tank 5-7"));
    EXPECT_EQ(OverviewTabCaption(14, 56), QStringLiteral("Tank 53-56"));
    EXPECT_EQ(TabsPerRow(1), 2);
    EXPECT_EQ(TabsPerRow(4), 5);
    EXPECT_EQ(TabsPerRow(14), 5);
}

TEST(DetailTexts, CaptionTemperatureAndSelector)
{
    SetLngId(1);
    EXPECT_EQ(DetailCaption(QStringLiteral("12340 Liter"), 12, QStringLiteral("VALMOR Tankmon")),
              QStringLiteral("12340 Liter / 12 °C  VALMOR Tankmon"));
    EXPECT_EQ(DetailCaption(QStringLiteral("50 %"), kNoTemperature, QStringLiteral("T")),
              QStringLiteral("50 %  T"));
    EXPECT_EQ(DetailCaption(QStringLiteral("5 m"), -3, QStringLiteral("T")),
              QStringLiteral("5 m / -3 °C  T"));
    EXPECT_EQ(TemperatureText(kNoTemperature), QString());
    EXPECT_EQ(TemperatureText(0), QStringLiteral("0 °C"));
    EXPECT_EQ(SelectorText(3, 4711), QStringLiteral("3 / SN4711"));
    EXPECT_EQ(StaleWarningText(), QStringLiteral("Achtung: \r\nkeine aktuellen Werte"));
    EXPECT_TRUE(GeneralDateTimeText(QDateTime()).isEmpty());
    const QString t = GeneralDateTimeText(at(5, 14, 7, 9));
    EXPECT_TRUE(t.contains(QStringLiteral("07"))) << qPrintable(t);
    EXPECT_TRUE(t.contains(QStringLiteral("09"))) << qPrintable(t); // seconds are shown
}
