// When the periodic recordings are due: the five alignment rows of IsLogDue,
// with the clock given, never waited for.
#include "history/LogSchedule.h"

#include "core/Clock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
const QString kDefaultAnchor = QStringLiteral("01.01.2000 00:00:00");
} // namespace

TEST(LogSchedule, MonthlyIntervalUsesTheAnchorDayAndRollsPastAShortMonth)
{
    // 30.03. + 31 days = 30.04.; anchor day 31 does not exist in April.
    const QString last = QStringLiteral("30.03.2026 10:00:00");
    const QString anchor = QStringLiteral("31.01.2000 06:00:00");
    const QDateTime due = At(2026, 5, 1, 6, 0, 0);
    EXPECT_EQ(AlignedDueTime(last, anchor, 2678400, At(2026, 4, 1)), due);
    EXPECT_FALSE(IsLogDue(last, anchor, 2678400, At(2026, 4, 30, 10, 0, 0)));
    EXPECT_FALSE(IsLogDue(last, anchor, 2678400, due.addSecs(-1)));
    EXPECT_TRUE(IsLogDue(last, anchor, 2678400, due));
    // Longer intervals use the same row; a 31-day month keeps day 31.
    EXPECT_EQ(AlignedDueTime(QStringLiteral("01.05.2026 06:00:00"), anchor, 2678400 * 2, At(2026, 5, 1)),
              At(2026, 7, 31, 6, 0, 0));
    // The default anchor puts it on the 1st at midnight.
    EXPECT_EQ(AlignedDueTime(QStringLiteral("15.01.2026 08:30:00"), kDefaultAnchor, 2678400, At(2026, 1, 15)),
              At(2026, 2, 1));
}

TEST(LogSchedule, DailyIntervalWithDefaultAnchorIsDueAtMidnight)
{
    const QString last = QStringLiteral("05.12.2026 10:00:00");
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 86400, At(2026, 12, 5)), At(2026, 12, 6));
    EXPECT_FALSE(IsLogDue(last, kDefaultAnchor, 86400, At(2026, 12, 5, 23, 59, 59)));
    EXPECT_TRUE(IsLogDue(last, kDefaultAnchor, 86400, At(2026, 12, 6, 0, 0, 0)));
    EXPECT_TRUE(IsLogDue(last, kDefaultAnchor, 86400, At(2026, 12, 6, 0, 0, 12)));
    // Recorded just after midnight: nothing more that day.
    EXPECT_FALSE(IsLogDue(QStringLiteral("06.12.2026 00:00:12"), kDefaultAnchor, 86400, At(2026, 12, 6, 23, 59, 59)));
    // Another anchor moves the time of day; a week is the same row.
    EXPECT_EQ(AlignedDueTime(last, QStringLiteral("01.01.2000 06:30:15"), 86400, At(2026, 12, 5)),
              At(2026, 12, 6, 6, 30, 15));
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 604800, At(2026, 12, 5)), At(2026, 12, 12));
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 2678399, At(2026, 12, 5)), At(2027, 1, 5));
}

TEST(LogSchedule, HourlyIntervalKeepsTheAnchorMinuteAndSecond)
{
    // 10:00:07 + 1 h = 11:00:07, aligned to 11:00:00.
    const QString last = QStringLiteral("05.12.2026 10:00:07");
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 3600, At(2026, 12, 5)), At(2026, 12, 5, 11, 0, 0));
    EXPECT_FALSE(IsLogDue(last, kDefaultAnchor, 3600, At(2026, 12, 5, 10, 59, 58)));
    EXPECT_TRUE(IsLogDue(last, kDefaultAnchor, 3600, At(2026, 12, 5, 11, 0, 3)));
    EXPECT_EQ(AlignedDueTime(last, QStringLiteral("01.01.2000 00:45:30"), 43200, At(2026, 12, 5)),
              At(2026, 12, 5, 22, 45, 30));
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 86399, At(2026, 12, 5)), At(2026, 12, 6, 10, 0, 0));
}

TEST(LogSchedule, MinuteIntervalsKeepTheAnchorSecond)
{
    const QString last = QStringLiteral("05.12.2026 10:03:27");
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 600, At(2026, 12, 5)), At(2026, 12, 5, 10, 13, 0));
    EXPECT_EQ(AlignedDueTime(last, QStringLiteral("01.01.2000 00:00:30"), 60, At(2026, 12, 5)),
              At(2026, 12, 5, 10, 4, 30));
    EXPECT_EQ(AlignedDueTime(last, kDefaultAnchor, 3599, At(2026, 12, 5)), At(2026, 12, 5, 11, 3, 0));
    EXPECT_FALSE(IsLogDue(last, kDefaultAnchor, 60, At(2026, 12, 5, 10, 3, 59)));
    EXPECT_TRUE(IsLogDue(last, kDefaultAnchor, 60, At(2026, 12, 5, 10, 4, 0)));
}

TEST(LogSchedule, BelowOneMinuteIsNotAligned)
{
    const QString last = QStringLiteral("05.12.2026 10:00:07");
    EXPECT_EQ(AlignedDueTime(last, QStringLiteral("01.01.2000 00:00:33"), 59, At(2026, 12, 5)),
              At(2026, 12, 5, 10, 1, 6));
    EXPECT_FALSE(IsLogDue(last, kDefaultAnchor, 30, At(2026, 12, 5, 10, 0, 36)));
    EXPECT_TRUE(IsLogDue(last, kDefaultAnchor, 30, At(2026, 12, 5, 10, 0, 37)));
}

TEST(LogSchedule, MalformedLastIsNeverDueAndFutureLastIsDue)
{
    const QDateTime now = At(2026, 12, 5, 12);
    EXPECT_FALSE(IsLogDue(QStringLiteral("garbage"), kDefaultAnchor, 60, now));
    EXPECT_FALSE(IsLogDue(QString(), kDefaultAnchor, 60, now));
    // Written while the clock was ahead: more than a day after now is due ...
    EXPECT_TRUE(IsLogDue(QStringLiteral("05.12.2029 10:00:00"), kDefaultAnchor, 86400, now));
    EXPECT_TRUE(IsLogDue(QStringLiteral("06.12.2026 12:00:01"), kDefaultAnchor, 60, now));
    // ... within a day it waits for its due time as usual.
    EXPECT_FALSE(IsLogDue(QStringLiteral("06.12.2026 12:00:00"), kDefaultAnchor, 60, now));
    EXPECT_TRUE(IsLogDue(QStringLiteral("06.12.2026 12:00:00"), kDefaultAnchor, 60, At(2026, 12, 6, 12, 1)));
    // The installation default is due at once.
    EXPECT_TRUE(IsLogDue(kDefaultAnchor, kDefaultAnchor, 86400, now));
}

TEST(LogSchedule, AnchorThatIsNoDateActsAsTheZeroDateTime)
{
    const QString last = QStringLiteral("05.12.2026 10:20:07");
    // Time of day 00:00:00 ...
    EXPECT_EQ(AlignedDueTime(last, QStringLiteral("bad"), 86400, At(2026, 12, 5)), At(2026, 12, 6));
    EXPECT_EQ(AlignedDueTime(last, QString(), 3600, At(2026, 12, 5)), At(2026, 12, 5, 11, 0, 0));
    // ... and day 30 of the month.
    EXPECT_EQ(AlignedDueTime(QStringLiteral("05.01.2026 10:00:00"), QStringLiteral("bad"), 2678400, At(2026, 1, 5)),
              At(2026, 2, 1).addDays(29));
}
