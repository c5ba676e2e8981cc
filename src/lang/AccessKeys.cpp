#include "AccessKeys.h"

#include <QHash>
#include <QSet>
#include <functional>

namespace
{
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

bool plainLetter(QChar c)
{
    return c.toLatin1() != 0 && c.isLetter();
}
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
    // Who holds a letter: the index of a text given one here, -1 for a
    // letter a text carried already (those stay where they are).
    QHash<QChar, int> owner;
    QList<int> open;
    for (int i = 0; i < out.size(); ++i) {
        const QChar k = AccessKey(out[i]);
        if (!k.isNull() && k.isLetterOrNumber() && !owner.contains(k))
            owner.insert(k, -1);
        else {
            out[i] = WithoutAccessKey(out[i]);
            open << i;
        }
    }
    // The places a mark may go in each open text, in order of preference:
    // plain word beginnings, plain letters, then any letter or digit.
    QHash<int, QList<int>> places;
    for (int i : open) {
        const QString &t = out[i];
        QList<int> &p = places[i];
        for (int pass = 0; pass < 3; ++pass) {
            for (int j = 0; j < t.size(); ++j) {
                const QChar c = t[j];
                const bool wordStart = j == 0 || !t[j - 1].isLetterOrNumber();
                const bool ok = pass == 0   ? plainLetter(c) && wordStart
                                : pass == 1 ? plainLetter(c)
                                            : c.isLetterOrNumber();
                if (ok && !p.contains(j) && (j == 0 || t[j - 1] != QLatin1Char('&')))
                    p << j;
            }
        }
    }
    QHash<int, int> at; // open text -> position of its letter
    const auto letter = [&out](int i, int j) { return out[i][j].toLower(); };
    // First come, first served, each text its most preferred free letter.
    for (int i : open)
        for (int j : places[i])
            if (!owner.contains(letter(i, j))) {
                owner.insert(letter(i, j), i);
                at.insert(i, j);
                break;
            }
    // A text left without one takes a letter whose holder can move on to
    // another of its own (short captions run out of letters first).
    QSet<QChar> seen;
    const std::function<bool(int)> makeRoom = [&](int i) {
        for (int j : places[i]) {
            const QChar c = letter(i, j);
            if (seen.contains(c))
                continue;
            seen.insert(c);
            const int holder = owner.value(c, -2);
            if (holder == -2 || (holder >= 0 && makeRoom(holder))) {
                owner.insert(c, i);
                at.insert(i, j);
                return true;
            }
        }
        return false;
    };
    for (int i : open)
        if (!at.contains(i)) {
            seen.clear();
            makeRoom(i);
        }
    for (auto it = at.cbegin(); it != at.cend(); ++it)
        out[it.key()].insert(it.value(), QLatin1Char('&'));
    return out;
}
