// The main window offscreen: menus, modes, status bar, caption, printing.
#include "support/Fixtures.h"

#include "app/AppController.h"
#include "app/ProgramInfo.h"
#include "ui/FrmInfo.h"
#include "ui/FrmMain.h"
#include "ui/StatusPanel.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QSignalSpy>
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
        EXPECT_EQ(action(name) ? action(name)->text() : "<missing>", LngText(id)) << name;
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
        EXPECT_EQ(entries[i]->text(), langs[i].name);
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

} // namespace
