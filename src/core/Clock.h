#pragma once
#include <QDateTime>
#include <functional>

// Wall-clock time as the user reads it. Date-times in this program are naive
// local times (held as UTC, so arithmetic never jumps at a
// daylight-saving change, and the texts in the files are what the clock showed).
namespace Clock {
QDateTime Now();
// Tests: install a replacement; an empty function restores the system clock.
void SetOverride(std::function<QDateTime()> now);
// A naive local date-time from parts.
inline QDateTime Naive(QDate d, QTime t) { return QDateTime(d, t, Qt::UTC); }
}
