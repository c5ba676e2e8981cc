// The date-time text of the tank files and the "Last"/"Time"/"Uhrzeit" keys.
#include "core/Clock.h"
#include "core/DateText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
class DateTextTest : public ::testing::Test {
protected:
    QDateTime ParseDateTimeText(const QString &text) const { return ::ParseDateTimeText(text, now); }
    QDateTime now = At(2026, 12, 5, 15, 9, 54);
};
} // namespace

TEST_F(DateTextTest, FormatIsFixedWidthAndParsesBack)
{
    const std::pair<QDateTime, const char *> samples[] = {
        {At(2026, 12, 5, 15, 9, 54), "05.12.2026 15:09:54"}, {At(2026, 1, 2, 3, 4, 5), "02.01.2026 03:04:05"},
        {At(987, 6, 7, 23, 59, 59), "07.06.0987 23:59:59"},  {At(2024, 2, 29, 23, 59, 59), "29.02.2024 23:59:59"},
        {At(1899, 12, 30), "30.12.1899 00:00:00"},           {At(2100, 3, 1, 1, 2, 3), "01.03.2100 01:02:03"},
    };
    now = At(2100, 6, 1);
    for (const auto &[t, text] : samples) {
        EXPECT_EQ(FormatDateText(t), QLatin1String(text));
        EXPECT_EQ(ParseDateTimeText(QLatin1String(text)), t) << text;
    }
    // Milliseconds are not part of the text; no date is the zero date-time.
    EXPECT_EQ(FormatDateText(At(2026, 3, 1, 0, 0, 1).addMSecs(999)), QStringLiteral("01.03.2026 00:00:01"));
    EXPECT_EQ(FormatDateText(QDateTime()), QStringLiteral("30.12.1899 00:00:00"));
    EXPECT_EQ(ParseDateTimeText(FormatDateText(QDateTime())), ZeroDateTime());
}

TEST_F(DateTextTest, SecondsAreOptionalAndReadFromPositions18And19)
{
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 15:09")), At(2026, 12, 5, 15, 9, 0));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 15:09:")), At(2026, 12, 5, 15, 9, 0));
    // 18 characters: the second is character 18 alone.
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 15:09:7")), At(2026, 12, 5, 15, 9, 7));
    // Characters after position 19 are not read; position 17 is not checked.
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 15:09:54 and more")), At(2026, 12, 5, 15, 9, 54));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 15:09x54")), At(2026, 12, 5, 15, 9, 54));
}

TEST_F(DateTextTest, RejectsShortTextsMisplacedSeparatorsAndPartsThatAreNoNumbers)
{
    const char *bad[] = {
        "",
        "05.12.2026 15:0",      // 15 characters
        "05/12.2026 15:09:54",  // position 3
        "05.12/2026 15:09:54",  // position 6
        "05.12.2026T15:09:54",  // position 11
        "05.12.2026 15.09:54",  // position 14
        "5.12.2026 15:09:54",   // day without its zero: everything shifts
        "2026-12-05 15:09:54",
        "xx.12.2026 15:09:54", "05.1x.2026 15:09:54", "05.12.20a6 15:09:54", "05.12.2026 1h:09:54",
        "05.12.2026 15:m9:54", "05.12.2026 15:09:5s", "05.12.2026 15:09:  ", "  .12.2026 15:09:54",
        "05.12.2026 15:09:--",
    };
    for (const char *t : bad)
        EXPECT_FALSE(ParseDateTimeText(QString::fromLatin1(t)).isValid()) << t;
}

TEST_F(DateTextTest, OutOfRangePartsRollOverAsInTheCalendar)
{
    now = At(2030, 1, 1);
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("32.01.2026 00:00:00")), At(2026, 2, 1));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("29.02.2026 12:00:00")), At(2026, 3, 1, 12));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("00.03.2024 00:00:00")), At(2024, 2, 29));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("15.13.2026 00:00:00")), At(2027, 1, 15));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("15.00.2026 00:00:00")), At(2025, 12, 15));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("31.12.2026 24:00:00")), At(2027, 1, 1));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 23:60:60")), At(2026, 12, 6, 0, 1, 0));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.2026 99:99:99")), At(2026, 12, 9, 4, 40, 39));
    // Blanks around a part and signs are still numbers.
    EXPECT_EQ(ParseDateTimeText(QStringLiteral(" 5.12.2026 15:09:54")), At(2026, 12, 5, 15, 9, 54));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("-1.03.2026 00:00:00")), At(2026, 2, 27));
    // Years below 100 as the old calendar functions read them.
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.0026 00:00:00")), At(2026, 12, 5));
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("05.12.  99 00:00:00")), At(1999, 12, 5));
}

TEST_F(DateTextTest, MoreThanOneDayAheadIsNoDate)
{
    now = At(2026, 12, 5, 15, 9, 54);
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:54")), At(2026, 12, 6, 15, 9, 54));
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:55")).isValid());
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("01.01.2099 00:00:00")).isValid());
    // Roll-over counts: 36.11. is 06.12.
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("36.11.2026 15:09:55")).isValid());
    // The clock decides: the same text is a date a day later.
    now = now.addSecs(1);
    EXPECT_TRUE(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:55")).isValid());
    // An explicit now, and the value without the rule.
    EXPECT_FALSE(::ParseDateTimeText(QStringLiteral("06.12.2026 15:09:55"), At(2026, 1, 1)).isValid());
    EXPECT_EQ(DateTimeTextValue(QStringLiteral("01.01.2099 00:00:00")), At(2099, 1, 1));
}
