#pragma once
#include <QList>
#include <QString>
#include <QVector>

// One page of a language folder of the help.
struct HelpPage {
    QString topic; // file name without ".html": the page's stable name
    QString title;
    QString path; // absolute file name
};

// A page found by the full-text search.
struct HelpHit {
    QString topic;
    QString title;
    QString snippet; // HTML: the text around the first match, the words in bold
};

// The help pages of one language: contents, topics and full-text search.
// Reads every page once at construction; no widget involved.
class HelpIndex
{
public:
    // The folder of the pages for a language under the help root: "de" for
    // German (1), "en" for every other language; the other one when missing.
    static QString LanguageFolder(const QString &helpRoot, int lngId);

    explicit HelpIndex(const QString &folder);

    bool isEmpty() const { return entries_.isEmpty(); }
    QString folder() const { return folder_; }
    // Pages in the order the contents page links them, then the rest by name.
    QList<HelpPage> pages() const;
    // File of a topic ("frmLog"; letter case and ".html" ignored), empty when unknown.
    QString pagePath(const QString &topic) const;
    // The topic as the folder spells it, empty when unknown.
    QString canonicalTopic(const QString &topic) const;

    // Pages holding every word of the query. A part of a word is enough;
    // letter case, "ä"/"ae" spellings and accents do not matter. Pages with
    // the words in their title come first. Contents and search pages are left out.
    QList<HelpHit> search(const QString &query) const;
    // The search page with the hits of the query filled in (no query: tips only).
    QString searchPageHtml(const QString &query) const;

    // Lower case, ä/ö/ü as ae/oe/ue, ß as ss, accents dropped. map (when given)
    // receives, for every character of the result, its index in text.
    static QString Fold(const QString &text, QVector<int> *map = nullptr);
    // The readable text of a page's body: tags gone, entities decoded, blanks collapsed.
    static QString PlainText(const QString &html);

private:
    struct Entry {
        HelpPage page;
        QString text;     // plain body text
        QString folded;   // Fold(text)
        QVector<int> map; // folded index -> text index
        QString foldedTitle;
    };
    int find(const QString &topic) const;
    QString snippet(const Entry &e, const QStringList &words) const;

    QString folder_;
    QList<Entry> entries_; // contents order
};
