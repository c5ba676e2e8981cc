#pragma once
#include <QDateTime>
#include <functional>

// Wall-clock time as the user reads it. Date-times in this program are naive
// local times (held as UTC, so arithmetic never jumps at a daylight-saving
// change, and the texts in the files are what the clock showed).
//
// Objects that compare with "now" are given a ClockFn when they are built;
// tests hand them a fixed or stepping clock instead of the system's.
using ClockFn = std::function<QDateTime()>;

// The local wall clock as a naive date-time.
ClockFn SystemClock();

namespace Clock
{
// Seconds in a day of the naive clock (no day is ever 23 or 25 hours long).
inline constexpr qint64 kDay = 86400;
// A naive local date-time from parts.
inline QDateTime Naive(QDate d, QTime t)
{
    return QDateTime(d, t, Qt::UTC);
}
} // namespace Clock
