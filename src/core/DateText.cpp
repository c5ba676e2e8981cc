#include "DateText.h"

#include "Clock.h"

#include <cstdio>

namespace
{
// A part is a number when, blanks around it removed, it is an optionally
// signed run of decimal digits.
bool number(const QString &s, qsizetype pos, qsizetype len, int *out)
{
    bool ok = false;
    const int v = s.mid(pos, len).trimmed().toInt(&ok);
    if (!ok)
        return false;
    *out = v;
    return true;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
} // namespace

QDateTime ZeroDateTime()
{
    return Clock::Naive(QDate(1899, 12, 30), QTime(0, 0));
}

QString FormatDateText(const QDateTime &t)
{
    const QDateTime v = t.isValid() ? t : ZeroDateTime();
    const QDate d = v.date();
    const QTime tm = v.time();
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", d.day(), d.month(), d.year(), tm.hour(),
                  tm.minute(), tm.second());
    return QString::fromLatin1(buf);
}

QDateTime DateTimeTextValue(const QString &s)
{
    if (s.size() < 16 || s[2] != QLatin1Char('.') || s[5] != QLatin1Char('.') || s[10] != QLatin1Char(' ') ||
        s[13] != QLatin1Char(':'))
        return {};
    int day, month, year, hour, minute, second = 0;
    if (!number(s, 0, 2, &day) || !number(s, 3, 2, &month) || !number(s, 6, 4, &year) ||
        !number(s, 11, 2, &hour) || !number(s, 14, 2, &minute))
        return {};
    // 18 characters: the second is the single character 18.
    if (s.size() >= 18 && !number(s, 17, 2, &second))
        return {};
    // Years 0..99 as the calendar functions of the old system read them
    // ("0026" is 2026): files edited by hand may carry them.
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    const qint64 m0 = qint64(month) - 1;
    const qint64 y = year + floorDiv(m0, 12);
    const int m = int(m0 - floorDiv(m0, 12) * 12) + 1;
    const QDate first(int(y), m, 1);
    if (!first.isValid())
        return {};
    const QDateTime t = Clock::Naive(first.addDays(day - 1), QTime(0, 0))
                            .addSecs(qint64(hour) * 3600 + qint64(minute) * 60 + second);
    return t.isValid() ? t : QDateTime();
}

QDateTime ParseDateTimeText(const QString &s, const QDateTime &now)
{
    const QDateTime t = DateTimeTextValue(s);
    if (!t.isValid() || t > now.addDays(1))
        return {};
    return t;
}
