// When the periodic recordings are due: the five alignment rows of IsLogDue,
// with the clock given, never waited for.
#include "history/LogSchedule.h"

#include "core/Clock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

const char *const kDefault = "01.01.2000 00:00:00";
constexpr qint32 kMonth = 2678400;

TEST(LogSchedule, DueTimeAlignedToTheAnchorByInterval)
{
    const struct {
        const char *last, *anchor;
        qint32 interval;
        QDateTime due;
    } cases[] = {
        // A month and more: the anchor's day; day 31 rolls past a 30-day month.
        {"30.03.2026 10:00:00", "31.01.2000 06:00:00", kMonth, At(2026, 5, 1, 6)},
        {"01.05.2026 06:00:00", "31.01.2000 06:00:00", kMonth * 2, At(2026, 7, 31, 6)},
        // A day up to a month: the anchor's time of day.
        {"05.12.2026 10:00:00", "01.01.2000 06:30:15", 86400, At(2026, 12, 6, 6, 30, 15)},
        {"05.12.2026 10:00:00", kDefault, kMonth - 1, At(2027, 1, 5)},
        // An hour up to a day: the anchor's minute and second.
        {"05.12.2026 10:00:07", "01.01.2000 00:45:30", 43200, At(2026, 12, 5, 22, 45, 30)},
        {"05.12.2026 10:00:07", kDefault, 86399, At(2026, 12, 6, 10)},
        // A minute up to an hour: the anchor's second.
        {"05.12.2026 10:03:27", "01.01.2000 00:00:30", 60, At(2026, 12, 5, 10, 4, 30)},
        {"05.12.2026 10:03:27", kDefault, 3599, At(2026, 12, 5, 11, 3)},
        // Below a minute: not aligned.
        {"05.12.2026 10:00:07", "01.01.2000 00:00:33", 59, At(2026, 12, 5, 10, 1, 6)},
        // An anchor that is no date acts as the zero date-time: 00:00:00 on day 30.
        {"05.12.2026 10:20:07", "bad", 86400, At(2026, 12, 6)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AlignedDueTime(c.last, c.anchor, c.interval, At(2027, 1, 1)), c.due)
            << c.last << " " << c.anchor << " " << c.interval;
}

// Due from the aligned time on, or when "Last" lies more than a day ahead (written
// while the clock was ahead); within a day it waits for its due time as usual.
// The day's file, the installation default and a "Last" years ahead show in the
// recording tests.
TEST(LogSchedule, DueFromTheAlignedTimeOnOrWhenLastIsADayAhead)
{
    const QDateTime now = At(2026, 12, 5, 12);
    EXPECT_FALSE(IsLogDue("garbage", kDefault, 60, now));
    EXPECT_TRUE(IsLogDue("06.12.2026 12:00:01", kDefault, 60, now));
    EXPECT_FALSE(IsLogDue("06.12.2026 12:00:00", kDefault, 60, now));
}
