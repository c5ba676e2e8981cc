// The help window offscreen: the search page finds a word in the pages of the
// right language, a hit opens its page, a window opens at its context topic.
#include "ui/UiTestSupport.h"

#include "help/HelpTopics.h"
#include "ui/FrmHilfe.h"

namespace {

const QString kRoot = QStringLiteral(TANKMON_BINARY_DIR "/help");

class HelpViewerTest : public UiTest {};

// Spanish reads the English pages; the folding of the search: HelpPages.
TEST_F(HelpViewerTest, SearchFindsAWordAHitOpensItsPageAndAnUnknownTopicTheContents)
{
    frmHilfe w(kRoot, 5);
    w.show();
    w.showTopic(QLatin1String(HelpTopic::Index));
    auto *field = w.findChild<QLineEdit *>();
    auto *browser = w.findChild<QTextBrowser *>();
    ASSERT_TRUE(field && browser);
    QTest::keyClicks(field, QStringLiteral("cifs-utils"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(w.currentTopic(), QLatin1String(HelpTopic::Search));
    ASSERT_TRUE(w.hitTopics().contains(QStringLiteral("Clientbetrieb")))
        << w.hitTopics().join(' ').toStdString();

    emit browser->anchorClicked(QUrl(QStringLiteral("Clientbetrieb.html")));
    EXPECT_EQ(w.currentTopic(), QStringLiteral("Clientbetrieb"));
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("/en/Clientbetrieb.html")))
        << browser->source().toString().toStdString();
    QTest::mouseClick(w.findChildren<QToolButton *>().first(), Qt::LeftButton); // back
    EXPECT_EQ(w.currentTopic(), QLatin1String(HelpTopic::Search));

    // German reads its own pages at a window's topic; the contents follow the page.
    frmHilfe de(kRoot, 1);
    de.showTopic(QStringLiteral("frmLogClient"));
    auto *page = de.findChild<QTextBrowser *>();
    EXPECT_TRUE(page->source().toLocalFile().endsWith(QStringLiteral("/de/frmLogClient.html")));
    EXPECT_EQ(de.findChild<QListWidget *>()->currentItem()->text(), page->documentTitle());
    de.showTopic(QStringLiteral("no such page"));
    EXPECT_EQ(de.currentTopic(), QLatin1String(HelpTopic::Index));
}

} // namespace
