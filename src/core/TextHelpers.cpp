#include "TextHelpers.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <cmath>

qint64 ToLongOrZero(const QString &text)
{
    bool ok = false;
    const QString t = text.trimmed();
    qint64 v = t.toLongLong(&ok);
    if (ok)
        return v;
    // Numeric text with a fraction ("12.7") still counts as a number.
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d) && std::fabs(d) < 9.2e18)
        return qint64(std::nearbyint(d));
    return 0;
}

QString FormatText(const QString &tmpl, const QStringList &args)
{
    QString out;
    qsizetype from = 0;
    for (const QString &a : args) {
        const qsizetype at = tmpl.indexOf(QLatin1String("%s"), from);
        if (at < 0)
            break;
        out += tmpl.mid(from, at - from);
        out += a;
        from = at + 2;
    }
    out += tmpl.mid(from);
    return out;
}

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    bool digits = false, dot = false;
    while (i < n) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128)
            digits = true;
        else if (c == QLatin1Char('.') && !dot)
            dot = true;
        else
            break;
        ++i;
    }
    if (!digits)
        return 0;
    return text.mid(start, i - start).toDouble();
}

QString ControlsEscaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool NaturalLess(const QString &a, const QString &b)
{
    static const QCollator collator = [] {
        // The C locale (a service's usual environment) compares code points
        // and knows no numeric mode: English rules there.
        const QLocale system;
        QCollator c(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

QString NaturalKey(const QString &text)
{
    const QString folded = text.toCaseFolded();
    QString key;
    key.reserve(folded.size() + 4);
    const auto digit = [&folded](qsizetype i) { return folded[i] >= u'0' && folded[i] <= u'9'; };
    for (qsizetype i = 0; i < folded.size();) {
        if (!digit(i)) {
            key += folded[i++];
            continue;
        }
        qsizetype end = i;
        while (end < folded.size() && digit(end))
            ++end;
        while (i + 1 < end && folded[i] == u'0') // "007" is 7
            ++i;
        // The longer number is the larger: its length first (below every
        // printable character, so "a1" and "a 1" keep their plain order).
        key += QChar(char16_t(std::min<qsizetype>(end - i, 0x1f)));
        key += QStringView(folded).sliced(i, end - i);
        i = end;
    }
    return key;
}
