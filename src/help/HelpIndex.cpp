#include "HelpIndex.h"

#include "core/SafeFile.h"

#include "HelpTopics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace
{

const QLatin1String kSuffix(".html");

QString readUtf8(const QString &path)
{
    // Pages are small regular files; a bound keeps a stray huge file from
    // costing memory, and a FIFO of a page's name is never opened.
    QByteArray bytes;
    SafeFile::ReadRegular(path, &bytes, nullptr, 4 << 20);
    return QString::fromUtf8(bytes);
}

QString decodeEntities(const QString &s)
{
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);"));
    QString out;
    out.reserve(s.size());
    qsizetype last = 0;
    for (auto it = entity.globalMatch(s); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(s).mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString repl;
        bool ok = false;
        if (name.startsWith(QLatin1String("#x"))) {
            const uint code = name.mid(2).toUInt(&ok, 16);
            if (ok && code > 0 && code <= 0x10FFFF)
                repl = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else if (name.startsWith(QLatin1Char('#'))) {
            const uint code = name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF)
                repl = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else {
            static const QHash<QString, QString> named{
                {QStringLiteral("amp"), QStringLiteral("&")},  {QStringLiteral("lt"), QStringLiteral("<")},
                {QStringLiteral("gt"), QStringLiteral(">")},   {QStringLiteral("quot"), QStringLiteral("\"")},
                {QStringLiteral("apos"), QStringLiteral("'")}, {QStringLiteral("nbsp"), QStringLiteral(" ")}};
            repl = named.value(name);
        }
        out += repl.isEmpty() ? m.captured(0) : repl;
        last = m.capturedEnd();
    }
    out += QStringView(s).mid(last);
    return out;
}

QString titleOf(const QString &html, const QString &fallback)
{
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(html);
    const QString t = m.hasMatch() ? decodeEntities(m.captured(1)).simplified() : QString();
    return t.isEmpty() ? fallback : t;
}

// Topics the contents page links to, in order.
QStringList linkedTopics(const QString &html)
{
    static const QRegularExpression href(QStringLiteral("href=\"([^\"#/]+)\\.html"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList topics;
    for (auto it = href.globalMatch(html); it.hasNext();) {
        const QString t = it.next().captured(1);
        if (!topics.contains(t, Qt::CaseInsensitive))
            topics << t;
    }
    return topics;
}

// The query's words, folded; quotes and punctuation at the ends dropped.
QStringList queryWords(const QString &query)
{
    QStringList words;
    for (QString w : query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        static const QRegularExpression edges(QStringLiteral("^[\\p{P}\\p{S}]+|[\\p{P}\\p{S}]+$"));
        w.remove(edges);
        const QString f = HelpIndex::Fold(w);
        if (!f.isEmpty() && !words.contains(f))
            words << f;
    }
    return words;
}

} // namespace

QString HelpIndex::LanguageFolder(const QString &helpRoot, int lngId)
{
    const QString first = lngId == 1 ? QStringLiteral("de") : QStringLiteral("en");
    const QString other = lngId == 1 ? QStringLiteral("en") : QStringLiteral("de");
    const QDir root(helpRoot);
    if (QFileInfo::exists(
            root.filePath(first + QLatin1Char('/') + QLatin1String(HelpTopic::Index) + kSuffix)))
        return root.filePath(first);
    if (QFileInfo::exists(
            root.filePath(other + QLatin1Char('/') + QLatin1String(HelpTopic::Index) + kSuffix)))
        return root.filePath(other);
    return root.filePath(first);
}

QString HelpIndex::Fold(const QString &text, QVector<int> *map)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    if (map) {
        map->clear();
        map->reserve(text.size() + text.size() / 8);
    }
    auto put = [&](QChar c, int from) {
        out += c;
        if (map)
            map->append(from);
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i).toLower();
        if (c.unicode() < 0x80) {
            put(c, i);
            continue;
        }
        switch (c.unicode()) {
        case 0xE4:
            put(QLatin1Char('a'), i);
            put(QLatin1Char('e'), i);
            continue; // ä
        case 0xF6:
            put(QLatin1Char('o'), i);
            put(QLatin1Char('e'), i);
            continue; // ö
        case 0xFC:
            put(QLatin1Char('u'), i);
            put(QLatin1Char('e'), i);
            continue; // ü
        case 0xDF:
            put(QLatin1Char('s'), i);
            put(QLatin1Char('s'), i);
            continue; // ß
        default:
            break;
        }
        if (c.isSurrogate() || c.decompositionTag() == QChar::NoDecomposition) {
            put(c, i);
            continue;
        }
        // Accented letters count as their base letter (é as e).
        const QString d = QString(c).normalized(QString::NormalizationForm_D);
        bool any = false;
        for (QChar b : d) {
            if (b.category() == QChar::Mark_NonSpacing)
                continue;
            put(b, i);
            any = true;
        }
        if (!any)
            put(c, i);
    }
    return out;
}

QString HelpIndex::PlainText(const QString &html)
{
    QString body = html;
    static const QRegularExpression bodyStart(QStringLiteral("<body[^>]*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = bodyStart.match(body);
    if (m.hasMatch())
        body = body.mid(m.capturedEnd());
    static const QRegularExpression hidden(
        QStringLiteral("<!--.*?-->|<script\\b.*?</script>|<style\\b.*?</style>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    body.remove(hidden);
    // Inline tags join their text; every other tag separates words.
    static const QRegularExpression inlineTag(
        QStringLiteral("</?(a|b|i|em|strong|code|kbd|span|sub|sup)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    body.remove(inlineTag);
    static const QRegularExpression anyTag(QStringLiteral("<[^>]*>"));
    body.replace(anyTag, QStringLiteral(" "));
    return decodeEntities(body).simplified();
}

HelpIndex::HelpIndex(const QString &folder) : folder_(folder)
{
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QStringList order;
    for (const QString &f : files) {
        if (f.compare(QLatin1String(HelpTopic::Index) + kSuffix, Qt::CaseInsensitive) == 0) {
            order << f.chopped(kSuffix.size());
            order << linkedTopics(readUtf8(dir.filePath(f)));
        }
    }
    for (const QString &f : files)
        order << f.chopped(kSuffix.size());
    for (const QString &topic : std::as_const(order)) {
        const QString file = topic + kSuffix;
        if (!files.contains(file) || find(topic) >= 0)
            continue; // a link to a missing page, or seen already
        Entry e;
        const QString html = readUtf8(dir.filePath(file));
        e.page = {topic, titleOf(html, topic), dir.absoluteFilePath(file)};
        e.text = PlainText(html);
        e.folded = Fold(e.text, &e.map);
        e.foldedTitle = Fold(e.page.title);
        entries_.append(std::move(e));
    }
}

QList<HelpPage> HelpIndex::pages() const
{
    QList<HelpPage> list;
    for (const Entry &e : entries_)
        list << e.page;
    return list;
}

int HelpIndex::find(const QString &topic) const
{
    QString t = topic.trimmed();
    if (t.endsWith(kSuffix, Qt::CaseInsensitive))
        t.chop(kSuffix.size());
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].page.topic.compare(t, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString HelpIndex::pagePath(const QString &topic) const
{
    const int i = find(topic);
    return i < 0 ? QString() : entries_[i].page.path;
}

QString HelpIndex::canonicalTopic(const QString &topic) const
{
    const int i = find(topic);
    return i < 0 ? QString() : entries_[i].page.topic;
}

QList<HelpHit> HelpIndex::search(const QString &query) const
{
    const QStringList words = queryWords(query);
    if (words.isEmpty())
        return {};
    struct Scored {
        int score, order;
        HelpHit hit;
    };
    QList<Scored> found;
    for (int i = 0; i < entries_.size(); ++i) {
        const Entry &e = entries_[i];
        if (e.page.topic == QLatin1String(HelpTopic::Index) ||
            e.page.topic == QLatin1String(HelpTopic::Search))
            continue;
        int score = 0;
        bool all = true;
        for (const QString &w : words) {
            const bool inTitle = e.foldedTitle.contains(w);
            const int inText = int(std::min<qsizetype>(e.folded.count(w), 50));
            if (!inTitle && inText == 0) {
                all = false;
                break;
            }
            score += (inTitle ? 100 : 0) + inText;
        }
        if (all)
            found.append({score, i, {e.page.topic, e.page.title, snippet(e, words)}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Scored &a, const Scored &b) { return a.score > b.score; });
    QList<HelpHit> hits;
    for (const Scored &s : found)
        hits << s.hit;
    return hits;
}

QString HelpIndex::snippet(const Entry &e, const QStringList &words) const
{
    // Around the first match of any word, about two lines of text.
    qsizetype first = -1;
    for (const QString &w : words) {
        const qsizetype p = e.folded.indexOf(w);
        if (p >= 0 && (first < 0 || p < first))
            first = p;
    }
    if (first < 0)
        return e.text.left(160).toHtmlEscaped();
    const int at = e.map[first];
    int from = std::max(0, at - 70);
    int to = std::min(int(e.text.size()), at + 130);
    if (from > 0) {
        const int space = int(e.text.indexOf(QLatin1Char(' '), from));
        from = (space >= 0 && space < at) ? space + 1 : from;
    }
    if (to < e.text.size()) {
        const int space = int(e.text.lastIndexOf(QLatin1Char(' '), to));
        to = space > at ? space : to;
    }
    // Source ranges of every match inside the window, for the bold marks.
    QVector<bool> bold(to - from, false);
    for (const QString &w : words) {
        for (qsizetype p = e.folded.indexOf(w); p >= 0; p = e.folded.indexOf(w, p + 1)) {
            const int s = e.map[p], end = e.map[p + w.size() - 1] + 1;
            for (int k = std::max(s, from); k < std::min(end, to); ++k)
                bold[k - from] = true;
        }
    }
    QString html = from > 0 ? QStringLiteral("… ") : QString();
    bool open = false;
    for (int k = from; k < to; ++k) {
        if (bold[k - from] != open) {
            html += open ? QStringLiteral("</b>") : QStringLiteral("<b>");
            open = !open;
        }
        html += QString(e.text.at(k)).toHtmlEscaped();
    }
    if (open)
        html += QStringLiteral("</b>");
    if (to < e.text.size())
        html += QStringLiteral(" …");
    return html;
}

QString HelpIndex::searchPageHtml(const QString &query) const
{
    QString page = readUtf8(pagePath(QLatin1String(HelpTopic::Search)));
    const QLatin1String hitsMark("<!--HITS-->"), noHitsOpen("<!--NOHITS-->"), noHitsClose("<!--/NOHITS-->");
    const QList<HelpHit> hits = search(query);
    const qsizetype a = page.indexOf(noHitsOpen), b = page.indexOf(noHitsClose);
    if (a >= 0 && b > a) {
        if (query.trimmed().isEmpty() || !hits.isEmpty())
            page.remove(a, b + noHitsClose.size() - a);
        else
            page.remove(b, noHitsClose.size()).remove(a, noHitsOpen.size());
    }
    QString list;
    for (const HelpHit &h : hits)
        list += QStringLiteral("<p class=\"hit\"><a href=\"%1.html\"><b>%2</b></a><br>%3</p>\n")
                    .arg(h.topic, h.title.toHtmlEscaped(), h.snippet);
    return page.replace(hitsMark, list);
}
