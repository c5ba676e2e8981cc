// The age rules and texts of the display as pure functions; the tab rows,
// captions and detail texts are checked on the widgets in TankDisplayTest.
#include "ui/DisplayRules.h"

#include "lang/Lng.h"
#include "support/TestSupport.h"

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
    EXPECT_FALSE(IsOld(-5));
    // Before 1970 the minute index still rounds down.
    EXPECT_EQ(ReadingAgeMinutes(QDateTime(QDate(1969, 12, 31), QTime(23, 59, 30), Qt::UTC),
                                QDateTime(QDate(1970, 1, 1), QTime(0, 0, 10), Qt::UTC)),
              1);
    // Naive times: whatever time zone flag a caller used, the clock texts count.
    EXPECT_EQ(ReadingAgeMinutes(QDateTime(QDate(2024, 3, 31), QTime(1, 30), Qt::LocalTime), at(31, 3, 30, 0)), 120);
    // No date is old and stale.
    const qint64 age = ReadingAgeMinutes(QDateTime(), at(1, 10, 0, 0));
    EXPECT_TRUE(IsOld(age) && IsStale(age));
}

TEST(DisplayTexts, TemperatureAndTime)
{
    SetLngId(1);
    EXPECT_EQ(TemperatureText(0), "0 °C") << "0 °C is a temperature, not none";
    EXPECT_TRUE(GeneralDateTimeText(QDateTime()).isEmpty());
    const QString t = GeneralDateTimeText(at(5, 14, 7, 9));
    EXPECT_TRUE(t.contains("07") && t.contains("09")) << qPrintable(t); // seconds are shown
}
