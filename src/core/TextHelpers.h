#pragma once
#include <QString>
#include <QStringList>

// The number in the text when the whole text is numeric, else 0.
qint64 ToLongOrZero(const QString &text);
// Each argument in turn replaces the first remaining "%s" of the template.
QString FormatText(const QString &tmpl, const QStringList &args);
// Leading number of a text (blanks skipped, "." decimal point), 0 when none.
double LeadingNumber(const QString &text);
// The text for a message or an error line: control characters as \xHH, so
// a line break or an escape in a stored value can be seen and never breaks
// the line.
QString ControlsEscaped(const QString &text);
// Names as people sort them, in the system's collation: numbers by value
// ("Site 2" before "Site 10"), case ignored; ties broken by the plain text,
// so the order is total. For short lists (sites, a choice box).
bool NaturalLess(const QString &a, const QString &b);
// A key whose plain order is nearly the same, made once per row for sorting
// tens of thousands: case folded, each run of digits led by its length.
QString NaturalKey(const QString &text);
