#include "LogSchedule.h"

#include "core/Clock.h"
#include "core/DateText.h"

namespace
{
constexpr qint32 kMonth = 2678400; // 31 days
constexpr qint32 kHour = 3600;
constexpr qint32 kMinute = 60;
} // namespace

QDateTime AlignedDueTime(const QString &lastText, const QString &anchorText, qint32 interval,
                         const QDateTime &now)
{
    const QDateTime last = ParseDateTimeText(lastText, now);
    if (!last.isValid())
        return {};
    const QDateTime next = last.addSecs(interval);
    QDateTime anchor = ParseDateTimeText(anchorText, now);
    if (!anchor.isValid())
        anchor = ZeroDateTime();
    const QDate nd = next.date();
    const QTime nt = next.time();
    const QTime at = anchor.time();

    if (interval >= kMonth) {
        // The anchor's day in next's month; day 31 of a 30-day month is the 1st
        // of the following month.
        const QDate first(nd.year(), nd.month(), 1);
        return Clock::Naive(first.addDays(anchor.date().day() - 1), at);
    }
    if (interval >= Clock::kDay)
        return Clock::Naive(nd, at);
    if (interval >= kHour)
        return Clock::Naive(nd, QTime(nt.hour(), at.minute(), at.second()));
    if (interval >= kMinute)
        return Clock::Naive(nd, QTime(nt.hour(), nt.minute(), at.second()));
    return next;
}

bool IsLogDue(const QString &lastText, const QString &anchorText, qint32 interval, const QDateTime &now)
{
    // Written while the clock was wrong: waiting for it would stop the
    // recording for years. Record now; "Last" is then rewritten with now.
    const QDateTime last = DateTimeTextValue(lastText);
    if (last.isValid() && last > now.addDays(1))
        return true;
    const QDateTime due = AlignedDueTime(lastText, anchorText, interval, now);
    return due.isValid() && now >= due;
}
