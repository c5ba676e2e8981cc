// The main window offscreen: menus, modes, status bar, caption, printing.
#include "support/Fixtures.h"

#include "app/AppController.h"
#include "app/ProgramInfo.h"
#include "core/DateText.h"
#include "lang/AccessKeys.h"
#include "ui/FrmInfo.h"
#include "ui/FrmMain.h"
#include "ui/OverviewEntry.h"
#include "ui/StatusPanel.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QToolButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest/QTest>
#include <memory>

namespace {

class FrmMainTest : public UiTest {
protected:
    void TearDown() override
    {
        win.reset();
        app.reset();
    }
    void open()
    {
        win.reset();
        app = std::make_unique<AppController>(config, settings, ui, clock);
        ASSERT_EQ(app->start(), AppController::Start::Run);
        win = std::make_unique<frmMain>(*app);
        win->resize(1100, 700);
    }
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
        win->show();
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
    QAction *action(const char *name) const { return win->findChild<QAction *>(name); }
    QMenu *menu(const char *name) const { return win->findChild<QMenu *>(name); }

    std::unique_ptr<AppController> app;
    std::unique_ptr<frmMain> win;
};

TEST_F(FrmMainTest, MenusCarryTheirTexts)
{
    open();
    const std::pair<const char *, int> menus[] = {
        {"mnuDatei", 314}, {"mnuEinstellen", 317}, {"mnuSprachen", 321}, {"mnuHilfe", 322}};
    const std::pair<const char *, int> actions[] = {
        {"mnuDrucken", 315},        {"mnuEnde", 316},        {"mnuSchnittstelle", 318},
        {"mnuLog", 319},            {"mnuEmail", 320},       {"mnuHilfeInhalt", 323},
        {"mnuHilfeSuchen", 324},    {"mnuHilfeInfo", 325},   {"mnuLoeschen", 330},
        {"mnuTemperaturkorrektur", 336}, {"mnuKonfigurationLoeschen", 337}};
    QStringList bar;
    for (const auto &[name, id] : menus) {
        EXPECT_EQ(menu(name) ? menu(name)->title() : "<missing>", LngText(id)) << name;
        bar << LngText(id);
    }
    for (const auto &[name, id] : actions)
        EXPECT_EQ(action(name) ? WithoutAccessKey(action(name)->text()) : "<missing>", LngText(id)) << name;
    EXPECT_TRUE(action("mnuTemperaturkorrektur") && action("mnuTemperaturkorrektur")->isCheckable());
    // The menus hang on the menu bar in this order.
    QStringList onBar;
    for (QAction *a : win->menuBar()->actions())
        onBar << a->text();
    EXPECT_EQ(onBar, bar);
    EXPECT_EQ(win->windowTitle(), ProgramTitle(config, false));

    // The language menu lists the ten languages and ticks the current one.
    const QList<QAction *> entries = menu("mnuSprachen")->actions();
    const QList<LanguageEntry> langs = LanguageList();
    ASSERT_EQ(entries.size(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(WithoutAccessKey(entries[i]->text()), langs[i].name);
        EXPECT_EQ(entries[i]->isChecked(), langs[i].id == LngId()) << i;
    }
}

TEST_F(FrmMainTest, ClientModeOffersTheClientSetupInsteadOfTheSettings)
{
    open();
    EXPECT_FALSE(action("mnuClientSetup")->isVisible());
    EXPECT_TRUE(menu("mnuEinstellen")->menuAction()->isEnabled());

    config.clientMode = true;
    settings.write(Cfg::ClientPath, dataDir());
    app.reset(); // the instance lock goes with it
    open();
    EXPECT_TRUE(action("mnuClientSetup")->isVisible());
    EXPECT_FALSE(menu("mnuEinstellen")->menuAction()->isEnabled());
    EXPECT_TRUE(win->windowTitle().endsWith("   Client-Version"));
    EXPECT_EQ(win->findChild<QLabel *>("LabelPgmName")->text(), "Tankview");
}

TEST_F(FrmMainTest, StatusPanelsAndReceptionProgress)
{
    ui.setPanelText(2, "vorher");
    open();
    EXPECT_EQ(win->panel(2)->text(), "vorher");
    ui.setPanelText(1, "Empfang von COM1");
    ui.setPanelText(3, "COM1");
    EXPECT_EQ(win->panel(1)->text(), "Empfang von COM1");
    EXPECT_EQ(win->panel(3)->text(), "COM1");

    // Panel 2 asks for the e-mail settings, panel 1 does not.
    QSignalSpy email(win.get(), &frmMain::emailSettingsRequested);
    QTest::mouseClick(win->panel(1), Qt::LeftButton);
    EXPECT_EQ(email.count(), 0);
    QTest::mouseClick(win->panel(2), Qt::LeftButton);
    EXPECT_EQ(email.count(), 1);

    // The reception progress lies over panel 3.
    win->receptionProgress(42, 180);
    QProgressBar *bar = win->panel(3)->progressBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->parentWidget(), win->panel(3));
    EXPECT_EQ(bar->maximum(), 180);
    EXPECT_EQ(bar->value(), 42);
    win->receptionProgress(200, 180); // past the limit: full, not beyond
    EXPECT_EQ(bar->value(), 180);
    win->hideProgress();
    EXPECT_TRUE(bar->isHidden());
}

TEST_F(FrmMainTest, CaptionFollowsTheSelectedTankAndPrintsToPdf)
{
    open();
    now = QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC);
    ASSERT_TRUE(app->tanks().EvalTelegramm(Telegram{.levelWord = 0x0800}.bytes(), QString()));
    EXPECT_EQ(win->windowTitle(), "800 Liter / 12 °C  " + ProgramTitle(config, false));

    const QString pdf = dataDir() + "main.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    win->printWindow(printer);
    const QByteArray bytes = readBytes(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 2000);
}

TEST_F(FrmMainTest, InfoOpensTheAboutBox)
{
    open();
    action("mnuHilfeInfo")->trigger();
    auto *about = win->findChild<frmInfo *>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), "Informationen zum Programm");
    EXPECT_EQ(about->findChild<QLabel *>("lblTitel")->text(), ProgramTitle(config, false));
    // A second click brings the same box forward.
    action("mnuHilfeInfo")->trigger();
    EXPECT_EQ(win->findChildren<frmInfo *>().size(), 1);
    // The revision shows only when it is not zero.
    EXPECT_EQ(VersionText(3, 2, 0), "V3.02");
    EXPECT_EQ(VersionText(4, 12, 15), "V4.12.15");
}

TEST_F(FrmMainTest, EmailEntryAndPanelOpenOneSettingsDialog)
{
    open();
    action("mnuEmail")->trigger();
    auto *dlg = win->findChild<QDialog *>("frmEmail");
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isModal());
    // Loaded from the settings: a first start shows the default port.
    EXPECT_EQ(dlg->findChild<QLineEdit *>("txbxSMTPPort")->text(), "587");
    QTest::mouseClick(win->panel(2), Qt::LeftButton);
    EXPECT_EQ(win->findChildren<QDialog *>("frmEmail").size(), 1);
}

// 800 x 600 in every language with 56 tanks: the window asks for no more,
// no tab caption is cut, every menu entry has an access letter of its own.
// TANKMON_SHOT_DIR=folder keeps pictures of Polish and German at 800 x 600
// and 1024 x 768.
TEST_F(FrmMainTest, SmallScreenKeyboardAndAccessLettersInEveryLanguage)
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
            if (!shots.isEmpty() && (lng == 1 || lng == 10)) {
                const QString name = QStringLiteral("main_%1_%2x%3").arg(lng).arg(size.width()).arg(size.height());
                win->grab().save(QDir(shots).filePath(name + ".png"));
                QTest::mouseClick(rows->buttons()[2], Qt::LeftButton);
                settle();
                win->grab().save(QDir(shots).filePath(name + "_tab2.png"));
            }
        }
        QList<QList<QAction *>> scopes{win->menuBar()->actions()};
        for (QAction *m : win->menuBar()->actions())
            scopes << m->menu()->actions();
        for (const QList<QAction *> &scope : scopes) {
            QSet<QChar> keys;
            for (QAction *a : scope) {
                if (a->isSeparator())
                    continue;
                const QChar k = AccessKey(a->text());
                EXPECT_FALSE(k.isNull()) << qPrintable(a->text());
                EXPECT_FALSE(keys.contains(k)) << qPrintable(a->text());
                keys.insert(k);
            }
        }
    }
}

// Tab goes through the controls as they stand on screen and never sticks.
TEST_F(FrmMainTest, TabOrderFollowsTheScreen)
{
    open56(1, {1024, 768});
    TankDisplay *d = win->display();
    QWidget *const selector = d->findChild<QComboBox *>("ComboSN");
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
    EXPECT_EQ(d->findChild<QTabWidget *>("SSTab1")->currentIndex(), 2);
    EXPECT_EQ(chain(), "ComboSN cmdGrafik cmdTabelle Tab2 FrameTank5 FrameTank6 FrameTank7 FrameTank8");
}

} // namespace
