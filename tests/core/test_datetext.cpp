// The date-time text of the tank files and the "Last"/"Time"/"Uhrzeit" keys.
#include "core/DateText.h"

#include "support/TestSupport.h"

TEST(DateText, FormatIsFixedWidthReadingRulesAndMoreThanOneDayAheadIsNoDate)
{
    const std::pair<QDateTime, const char *> samples[] = {
        {At(2026, 1, 2, 3, 4, 5), "02.01.2026 03:04:05"},
        {At(987, 6, 7, 23, 59, 59), "07.06.0987 23:59:59"},
    };
    for (const auto &[t, text] : samples) {
        EXPECT_EQ(FormatDateText(t), QLatin1String(text));
        EXPECT_EQ(ParseDateTimeText(QLatin1String(text), At(2100, 6, 1)), t) << text;
    }
    // Milliseconds are not part of the text (no date: the registry's record without a time).
    EXPECT_EQ(FormatDateText(At(2026, 3, 1, 0, 0, 1).addMSecs(999)), QStringLiteral("01.03.2026 00:00:01"));

    // Seconds are optional and read from characters 18 and 19 (character 17 is
    // not checked); out-of-range parts roll over as in the calendar; blanks and
    // signs are still numbers. Invalid: no date.
    const std::pair<const char *, QDateTime> cases[] = {
        {"05.12.2026 15:09", At(2026, 12, 5, 15, 9, 0)},
        {"05.12.2026 15:09:7", At(2026, 12, 5, 15, 9, 7)},
        {"05.12.2026 15:09x54 and more", At(2026, 12, 5, 15, 9, 54)},
        {"15.00.2026 00:00:00", At(2025, 12, 15)},
        {"05.12.2026 99:99:99", At(2026, 12, 9, 4, 40, 39)},
        {" 5.12.2026 15:09:54", At(2026, 12, 5, 15, 9, 54)},
        {"-1.03.2026 00:00:00", At(2026, 2, 27)},
        // Years below 100 as the old calendar functions read them.
        {"05.12.0026 00:00:00", At(2026, 12, 5)},
        {"05.12.  99 00:00:00", At(1999, 12, 5)},
        {"05.12.2026 15:0", QDateTime()},    // 15 characters
        {"5.12.2026 15:09:54", QDateTime()}, // day without its zero: everything shifts
        {"05.12.2026 15:09:5s", QDateTime()},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(DateTimeTextValue(QString::fromLatin1(text)), value) << text;

    // More than one day ahead is no date.
    const QDateTime now = At(2026, 12, 5, 15, 9, 54);
    EXPECT_EQ(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:54"), now), At(2026, 12, 6, 15, 9, 54));
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:55"), now).isValid());
    // Roll-over counts: 36.11. is 06.12.
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("36.11.2026 15:09:55"), now).isValid());
    // The clock decides: the same text is a date a second later.
    EXPECT_TRUE(ParseDateTimeText(QStringLiteral("06.12.2026 15:09:55"), now.addSecs(1)).isValid());
}
