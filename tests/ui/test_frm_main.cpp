// The main window offscreen: caption, status bar, printing, client mode, the
// small screen in every language and the Tab order.
#include "ui/UiTestSupport.h"

#include "app/ProgramInfo.h"
#include "core/DateText.h"
#include "ui/StatusPanel.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"

#include <QPrinter>

namespace {

class FrmMainTest : public MainWindowTest {
protected:
    // The window on screen with 56 tanks in language lng, activated.
    void open56(int lng, QSize size)
    {
        QByteArray ini = "[LngPtnr]\r\nLngId=" + QByteArray::number(lng) +
                         "\r\n[COM]\r\nSimulation=1\r\n[Common]\r\nActiveNet=1\r\n[Ger\xE4te]\r\nAnzahl=56\r\n";
        for (int n = 1; n <= 56; ++n) {
            // A long name, a fault, an alarm and an old reading among them.
            const QByteArray name = n % 7 == 3 ? QByteArray(40, 'W') : "Heiz\xF6l " + QByteArray::number(n);
            ini += "[Ger\xE4t" + QByteArray::number(n) + "]\r\nSN=" + QByteArray::number(1000 + n) +
                   "\r\nGer\xE4tetyp=9\r\nTemperatur=12\r\nVolumen=" + (n == 6 ? "-57352" : QByteArray::number(40 * n)) +
                   "\r\nTankvolumen=5000\r\nTankbezeichnung=" + name + "\r\nAlarm=" + (n == 9 ? "1" : "0") +
                   "\r\nUhrzeit=" + FormatDateText(now.addSecs(n == 5 ? -200000 : -60)).toLatin1() + "\r\n";
        }
        writeBytes(iniPath(), ini);
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
        win->setWindowState(Qt::WindowNoState);
        win->resize(size);
        app->tanks().ComboSN_Click(6);
        settle();
    }
    // Layout requests beget resizes that beget layout requests.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    QMenu *menu(const char *name) const { return Part<QMenu>(win.get(), name); }
};

// The caption and the status panels follow; the window prints; in client
// mode the client set-up takes the place of the settings.
TEST_F(FrmMainTest, CaptionPanelsPrintAndClientMode)
{
    ui.setPanelText(2, "vorher"); // before the window exists
    open();
    ui.setPanelText(3, "COM1");
    EXPECT_EQ(win->panel(2)->text() + "|" + win->panel(3)->text(), "vorher|COM1");
    now = QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC);
    ASSERT_TRUE(app->tanks().EvalTelegramm(Telegram{.levelWord = 0x0800}.bytes(), QString()));
    EXPECT_EQ(win->windowTitle(), "800 Liter / 12 °C  " + ProgramTitle(config, false));
    EXPECT_FALSE(action("mnuClientSetup")->isVisible());
    EXPECT_TRUE(menu("mnuEinstellen")->menuAction()->isEnabled());
    EXPECT_TRUE(action("mnuSprache1")->isChecked()) << "the current language is ticked";

    const QString pdf = dataDir() + "main.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    win->printWindow(printer);
    const QByteArray bytes = readBytes(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 2000);
    // The about box's version: the revision shows only when it is not zero.
    EXPECT_EQ(VersionText(3, 2, 0), "V3.02");
    EXPECT_EQ(VersionText(4, 12, 15), "V4.12.15");

    config.clientMode = true;
    settings.write(Cfg::ClientPath, dataDir());
    open();
    EXPECT_TRUE(action("mnuClientSetup")->isVisible());
    EXPECT_FALSE(menu("mnuEinstellen")->menuAction()->isEnabled());
    EXPECT_TRUE(win->windowTitle().endsWith("   Client-Version"));
    EXPECT_EQ(win->findChild<QLabel *>("LabelPgmName")->text(), "Tankview");
}

// 800 x 600 in every language with 56 tanks: the window asks for no more and
// no tab caption is cut (the access letters: DialogTest); then the Tab key.
// TANKMON_SHOT_DIR=folder keeps pictures of German and Polish at both sizes.
TEST_F(FrmMainTest, SmallScreenInEveryLanguageAndTheTabOrder)
{
    const QString shots = qEnvironmentVariable("TANKMON_SHOT_DIR");
    for (int lng = 1; lng <= 10; ++lng) {
        SCOPED_TRACE(lng);
        for (QSize size : {QSize(800, 600), QSize(1024, 768)}) {
            open56(lng, size);
            const QSize min = win->minimumSizeHint().expandedTo(win->minimumSize());
            EXPECT_LE(min.width(), 800);
            EXPECT_LE(min.height(), 600);
            TabRows *rows = win->display()->tabRows();
            ASSERT_EQ(rows->buttons().size(), 15);
            for (QToolButton *b : rows->buttons()) {
                EXPECT_GE(b->width(), b->sizeHint().width()) << qPrintable(b->text());
                EXPECT_TRUE(rows->rect().contains(b->geometry())) << qPrintable(b->text());
            }
            // The mark as shown: the caption's colour and its sign.
            const auto marked = [&](int tab) {
                return rows->buttons()[tab]->property("attention").toBool() && !rows->buttons()[tab]->icon().isNull();
            };
            EXPECT_TRUE(marked(2) && marked(3) && !marked(1));
            if (!shots.isEmpty() && (lng == 1 || lng == 10))
                win->grab().save(QStringLiteral("%1/main_%2_%3.png").arg(shots).arg(lng).arg(size.width()));
        }
    }

    // Tab goes through the controls as they stand on screen and never sticks.
    TankDisplay *d = win->display();
    QWidget *const selector = Part<QComboBox>(d, "ComboSN");
    ASSERT_NE(selector, nullptr);
    // The stops of the Tab key from the selector on, once round.
    auto chain = [&] {
        QStringList stops;
        QWidget *w = selector;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(win.get()) && w->isEnabled())
                stops << w->objectName();
            w = w->nextInFocusChain();
        } while (w != selector && stops.size() < 100);
        return stops.join(' ');
    };
    EXPECT_EQ(chain(), "ComboSN cmdGrafik cmdTabelle Tab0 txbxTankbezeichnung ComboEinheit");
    // The tab captions as a tab bar: the arrow keys go on to the next page,
    // and Tab then reaches its four entries.
    QApplication::setActiveWindow(win.get());
    d->tabRows()->buttons()[0]->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == d->tabRows()->buttons()[0]; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(Part<QTabWidget>(d, "SSTab1")->currentIndex(), 2);
    EXPECT_EQ(chain(), "ComboSN cmdGrafik cmdTabelle Tab2 FrameTank5 FrameTank6 FrameTank7 FrameTank8");
}

} // namespace
