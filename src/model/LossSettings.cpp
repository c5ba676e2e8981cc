#include "LossSettings.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace
{
constexpr qint64 kDay = 86400;

QString clockText(int minutes)
{
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

bool QuietHours::contains(qint64 secs) const
{
    if (!any())
        return true;
    const qint64 day = secs >= 0 ? secs / kDay : (secs - kDay + 1) / kDay;
    const int minute = int((secs - day * kDay) / 60);
    const int weekday = int(((day + 3) % 7 + 7) % 7); // 1 Jan 1970 was a Thursday; Monday = 0
    if (weekends && weekday >= 5)
        return true;
    if (from == to)
        return false;
    return from < to ? minute >= from && minute < to : minute >= from || minute < to;
}

std::optional<QuietHours> QuietHours::parse(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(?:(\d{1,2}):(\d{2})\s*-\s*(\d{1,2}):(\d{2}))?\s*(WE)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    QuietHours q;
    q.weekends = !m.captured(5).isEmpty();
    if (!m.captured(1).isEmpty()) {
        const int h1 = m.captured(1).toInt(), m1 = m.captured(2).toInt();
        const int h2 = m.captured(3).toInt(), m2 = m.captured(4).toInt();
        if (h1 > 23 || h2 > 23 || m1 > 59 || m2 > 59)
            return std::nullopt;
        q.from = h1 * 60 + m1;
        q.to = h2 * 60 + m2;
        if (q.from == q.to) // the whole day is no quiet time
            return std::nullopt;
    }
    return q;
}

QString QuietHours::text() const
{
    QString t;
    if (from != to)
        t = clockText(from) + QLatin1Char('-') + clockText(to);
    if (weekends)
        t += t.isEmpty() ? QStringLiteral("WE") : QStringLiteral(" WE");
    return t;
}

std::optional<QString> LossLimitEntry(const QString &typed, double hi, bool whole)
{
    QString t = typed.trimmed();
    if (t.isEmpty())
        return t;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > hi || (whole && v != std::floor(v)))
        return std::nullopt;
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

std::optional<TankLossSettings> TankLossEntry(const TankLossSettings &typed)
{
    const std::optional<QString> p = LossLimitEntry(typed.prozent, Loss::kMaxProzent, false);
    const std::optional<QString> h = LossLimitEntry(typed.stunden, Loss::kMaxStunden, true);
    const std::optional<QuietHours> q = QuietHours::parse(typed.ruhezeit);
    if (!p || !h || !q)
        return std::nullopt;
    return TankLossSettings{*p, *h, q->text()};
}
