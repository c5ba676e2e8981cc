#pragma once
#include <QDateTime>
#include <QString>

// When a periodic recording is next due: "Last" plus the interval, aligned to
// the anchor ("Time") so recordings fall on whole minutes, hours, midnights or
// a fixed day of the month. No date (invalid) when "Last" is no date.
QDateTime AlignedDueTime(const QString &lastText, const QString &anchorText, qint32 intervalSecs,
                         const QDateTime &now);
// Due when now is at or after the aligned due time; never while "Last" is no
// date (malformed, or more than a day ahead of now).
bool IsLogDue(const QString &lastText, const QString &anchorText, qint32 intervalSecs,
              const QDateTime &now);
