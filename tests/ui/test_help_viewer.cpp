// The help window offscreen: the search page finds a word in the pages of the
// right language, a hit opens its page, and a window opens at its context topic.
#include "support/Fixtures.h"

#include "help/HelpTopics.h"
#include "ui/FrmHilfe.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest/QTest>

namespace {

const QString kRoot = QStringLiteral(TANKMON_BINARY_DIR "/help");

class HelpViewerTest : public UiTest {};

struct SearchCase {
    int lngId;
    const char *query, *hitTopic, *folder;
};

TEST_F(HelpViewerTest, SearchFieldFindsTheWordAndAHitOpensItsPage)
{
    const SearchCase cases[] = {
        {1, "fuellstand niedrig", "EmailRegeln", "/de/"}, // spelling folded, all words
        {2, "refuelling", "EmailRegeln", "/en/"},
        {5, "cifs-utils", "Clientbetrieb", "/en/"},       // Spanish reads the English pages
    };
    for (const SearchCase &c : cases) {
        SCOPED_TRACE(c.query);
        frmHilfe w(kRoot, c.lngId);
        w.show();
        w.showTopic(QLatin1String(HelpTopic::Index));
        auto *field = w.findChild<QLineEdit *>();
        auto *browser = w.findChild<QTextBrowser *>();
        ASSERT_TRUE(field && browser);
        QTest::keyClicks(field, QLatin1String(c.query));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(w.currentTopic(), QLatin1String(HelpTopic::Search));
        ASSERT_TRUE(w.hitTopics().contains(QLatin1String(c.hitTopic))) << w.hitTopics().join(' ').toStdString();

        emit browser->anchorClicked(QUrl(QLatin1String(c.hitTopic) + QStringLiteral(".html")));
        EXPECT_EQ(w.currentTopic(), QLatin1String(c.hitTopic));
        EXPECT_TRUE(browser->source().toLocalFile().endsWith(QLatin1String(c.folder) + c.hitTopic + ".html"))
            << browser->source().toString().toStdString();
        QTest::mouseClick(w.findChildren<QToolButton *>().first(), Qt::LeftButton); // back
        EXPECT_EQ(w.currentTopic(), QLatin1String(HelpTopic::Search));
    }
}

TEST_F(HelpViewerTest, OpensAtAContextTopicAndFallsBackToTheContents)
{
    frmHilfe w(kRoot, 1);
    w.showTopic(QStringLiteral("frmLogClient"));
    auto *browser = w.findChild<QTextBrowser *>();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("/de/frmLogClient.html")));
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Client: Pfad zur Host-Einstellungsdatei"));
    EXPECT_EQ(w.findChild<QListWidget *>()->currentItem()->text(), browser->documentTitle());

    w.showTopic(QStringLiteral("no such page"));
    EXPECT_EQ(w.currentTopic(), QLatin1String(HelpTopic::Index));
}

} // namespace
