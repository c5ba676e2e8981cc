// The shipped help pages (as the build copies them beside the program): both
// languages complete, every link and anchor leads somewhere, the search.
#include "help/HelpIndex.h"
#include "help/HelpTopics.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

const QString kRoot = QStringLiteral(TANKMON_BINARY_DIR "/help");

QString readPage(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(HelpPages, BothLanguagesCompleteNoDeadLinkAndTheSearch)
{
    const HelpIndex de(kRoot + QStringLiteral("/de")), en(kRoot + QStringLiteral("/en"));
    ASSERT_FALSE(de.isEmpty()) << "no help pages in " << kRoot.toStdString();
    for (const HelpPage &p : de.pages())
        EXPECT_FALSE(en.pagePath(p.topic).isEmpty()) << p.topic.toStdString();
    const QStringList htmlFiles = QDir(kRoot + QStringLiteral("/de")).entryList({QStringLiteral("*.html")});
    EXPECT_EQ(de.pages().size(), htmlFiles.size()); // nothing unreadable or skipped

    static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
    for (const HelpIndex *index : {&de, &en}) {
        for (const char *topic : HelpTopic::All)
            EXPECT_FALSE(index->pagePath(QLatin1String(topic)).isEmpty()) << topic;
        for (const HelpPage &page : index->pages()) {
            const QString html = readPage(page.path);
            for (auto it = link.globalMatch(html); it.hasNext();) {
                const QString href = it.next().captured(1);
                if (href.startsWith(QLatin1String("http")) || href.endsWith(QLatin1String(".css")))
                    continue;
                const QString anchor = href.section(QLatin1Char('#'), 1);
                const QString path = index->pagePath(href.section(QLatin1Char('#'), 0, 0));
                ASSERT_FALSE(path.isEmpty()) << page.path.toStdString() << " links to " << href.toStdString();
                EXPECT_TRUE(anchor.isEmpty() ||
                            readPage(path).contains(QStringLiteral("id=\"%1\"").arg(anchor)))
                    << page.path.toStdString() << " links to the missing anchor " << href.toStdString();
            }
        }
    }

    // The search folds spellings and needs every word.
    EXPECT_EQ(HelpIndex::Fold(QStringLiteral("Tankhöhe GRÖSSE Straße Café")),
              QStringLiteral("tankhoehe groesse strasse cafe"));
    const QList<HelpHit> hits = de.search(QStringLiteral("tankhoehe fassungsvermoegen"));
    EXPECT_TRUE(std::any_of(hits.begin(), hits.end(), [](const HelpHit &h) { return h.topic == "frmMain"; }));
    // Every word must be on the page; a word found nowhere finds nothing.
    EXPECT_TRUE(de.search(QStringLiteral("Tankhöhe xyzzy")).isEmpty());
}

} // namespace
