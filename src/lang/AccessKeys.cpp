#include "AccessKeys.h"

#include <QSet>

namespace {
// Position of the marking '&' (not "&&"), or -1.
int markAt(const QString &t)
{
    for (int i = 0; i + 1 < t.size(); ++i) {
        if (t[i] != QLatin1Char('&'))
            continue;
        if (t[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

bool plainLetter(QChar c) { return c.toLatin1() != 0 && c.isLetter(); }
} // namespace

QChar AccessKey(const QString &text)
{
    const int i = markAt(text);
    return i < 0 ? QChar() : text[i + 1].toLower();
}

QString WithoutAccessKey(const QString &text)
{
    QString t = text;
    const int i = markAt(t);
    if (i >= 0)
        t.remove(i, 1);
    return t;
}

QStringList WithAccessKeys(const QStringList &texts)
{
    QStringList out = texts;
    QSet<QChar> used;
    QList<int> open;
    for (int i = 0; i < out.size(); ++i) {
        const QChar k = AccessKey(out[i]);
        if (!k.isNull() && k.isLetterOrNumber() && !used.contains(k))
            used.insert(k);
        else {
            out[i] = WithoutAccessKey(out[i]);
            open << i;
        }
    }
    // Candidates in order of preference: plain word beginnings, plain
    // letters, then any letter or digit.
    const auto pick = [&used](const QString &t) {
        for (int pass = 0; pass < 3; ++pass) {
            for (int j = 0; j < t.size(); ++j) {
                const QChar c = t[j];
                const bool wordStart = j == 0 || !t[j - 1].isLetterOrNumber();
                const bool ok = pass == 0 ? plainLetter(c) && wordStart
                                : pass == 1 ? plainLetter(c)
                                            : c.isLetterOrNumber();
                if (ok && !used.contains(c.toLower()) && t[j] != QLatin1Char('&'))
                    return j;
            }
        }
        return -1;
    };
    for (int i : open) {
        QString t = out[i];
        const int j = pick(t);
        if (j < 0 || (j > 0 && t[j - 1] == QLatin1Char('&')))
            continue;
        used.insert(t[j].toLower());
        out[i] = t.insert(j, QLatin1Char('&'));
    }
    return out;
}
