#pragma once
#include <QDateTime>
#include <QString>

// The fixed 19-character date-time text "dd.mm.yyyy hh:mm:ss" used by the
// tank files, the settings keys and the trace, whatever the regional settings.
// "No date" (an invalid QDateTime) is written as the zero date-time.
QString FormatDateText(const QDateTime &t);
// Invalid QDateTime = no date: malformed text, or later than now + one day.
// Out-of-range parts roll over as in calendar arithmetic (32.01. = 01.02.).
QDateTime ParseDateTimeText(const QString &text, const QDateTime &now);
// The calendar value of the text without the "one day ahead" rule; invalid
// only when the text is malformed.
QDateTime DateTimeTextValue(const QString &text);
// The zero date-time (30.12.1899 00:00:00) that stands for "no date" where a
// value is needed, e.g. the day of month of an absent anchor.
QDateTime ZeroDateTime();
