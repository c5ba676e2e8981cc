#pragma once
#include <QDateTime>
#include <QString>

// When a periodic recording is next due: "Last" plus the interval, aligned to
// the anchor ("Time") so recordings fall on whole minutes, hours, midnights or
// a fixed day of the month. No date (invalid) when "Last" is no date.
QDateTime AlignedDueTime(const QString &lastText, const QString &anchorText, qint32 intervalSecs,
                         const QDateTime &now);
// Due when now is at or after the aligned due time, and when "Last" lies more
// than a day ahead of now (the clock was wrong once); never while "Last" is
// malformed.
bool IsLogDue(const QString &lastText, const QString &anchorText, qint32 intervalSecs, const QDateTime &now);
