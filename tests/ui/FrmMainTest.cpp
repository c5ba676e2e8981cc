#include "UiTestSupport.h"
#include "support/TestSupport.h"

#include "app/AppController.h"
#include "core/Clock.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "ui/FrmInfo.h"
#include "ui/FrmMain.h"
#include "ui/StatusPanel.h"
#include "ui/TankDisplay.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <memory>

namespace {

class FrmMainTest : public DataDirTest {
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui_);
    }
    void TearDown() override
    {
        win_.reset();
        app_.reset();
        DataDirTest::TearDown();
    }
    frmMain &open()
    {
        app_ = std::make_unique<AppController>();
        win_ = std::make_unique<frmMain>(*app_);
        return *win_;
    }
    QAction *action(const char *name) const { return win_->findChild<QAction *>(QLatin1String(name)); }
    QMenu *menu(const char *name) const { return win_->findChild<QMenu *>(QLatin1String(name)); }

    ScriptedUi ui_;
    std::unique_ptr<AppController> app_;
    std::unique_ptr<frmMain> win_;
};

TEST_F(FrmMainTest, MenusCarryTheirTexts)
{
    open();
    ASSERT_FALSE(win_->refused());
    const std::pair<const char *, int> menus[] = {
        {"mnuDatei", 314}, {"mnuEinstellen", 317}, {"mnuSprachen", 321}, {"mnuHilfe", 322}};
    for (const auto &[name, id] : menus) {
        ASSERT_NE(menu(name), nullptr) << name;
        EXPECT_EQ(menu(name)->title(), LngText(id)) << name;
    }
    const std::pair<const char *, int> actions[] = {
        {"mnuDrucken", 315},        {"mnuEnde", 316},        {"mnuSchnittstelle", 318},
        {"mnuLog", 319},            {"mnuEmail", 320},       {"mnuHilfeInhalt", 323},
        {"mnuHilfeSuchen", 324},    {"mnuHilfeInfo", 325},   {"mnuLoeschen", 330},
        {"mnuTemperaturkorrektur", 336}, {"mnuKonfigurationLoeschen", 337}};
    for (const auto &[name, id] : actions) {
        ASSERT_NE(action(name), nullptr) << name;
        EXPECT_EQ(action(name)->text(), LngText(id)) << name;
    }
    EXPECT_TRUE(action("mnuTemperaturkorrektur")->isCheckable());
    // The menus hang on the menu bar in this order.
    QStringList bar;
    for (QAction *a : win_->menuBar()->actions())
        bar << a->text();
    EXPECT_EQ(bar, (QStringList{LngText(314), LngText(317), LngText(321), LngText(322)}));
    EXPECT_EQ(win_->windowTitle(), AppController::ProgramTitle(false));
}

TEST_F(FrmMainTest, LanguageMenuListsTheTenLanguagesAndTicksTheCurrentOne)
{
    open();
    const QList<QAction *> entries = menu("mnuSprachen")->actions();
    const QList<LanguageEntry> langs = LanguageList();
    ASSERT_EQ(entries.size(), 10);
    int ticked = 0;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(entries[i]->text(), langs[i].name);
        EXPECT_EQ(entries[i]->isChecked(), langs[i].id == LngId()) << i;
        ticked += entries[i]->isChecked();
    }
    EXPECT_EQ(ticked, 1);
}

TEST_F(FrmMainTest, ServerModeHidesTheClientSetup)
{
    open();
    EXPECT_FALSE(action("mnuClientSetup")->isVisible());
    EXPECT_TRUE(menu("mnuEinstellen")->menuAction()->isEnabled());
}

TEST_F(FrmMainTest, ClientModeOffersTheClientSetupInsteadOfTheSettings)
{
    State().clientMode = true;
    State().clientPath = dataDir();
    open();
    ASSERT_FALSE(win_->refused());
    EXPECT_TRUE(action("mnuClientSetup")->isVisible());
    EXPECT_FALSE(menu("mnuEinstellen")->menuAction()->isEnabled());
    EXPECT_TRUE(win_->windowTitle().endsWith(LngText(44)));
    auto *name = win_->findChild<QLabel *>(QStringLiteral("LabelPgmName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Tankview"));
}

TEST_F(FrmMainTest, StatusPanelsFollowTheUiServices)
{
    ui_.setPanelText(2, QStringLiteral("vorher"));
    open();
    EXPECT_EQ(win_->panel(2)->text(), QStringLiteral("vorher"));
    Ui().setPanelText(1, QStringLiteral("Empfang von COM1"));
    Ui().setPanelText(3, QStringLiteral("COM1"));
    EXPECT_EQ(win_->panel(1)->text(), QStringLiteral("Empfang von COM1"));
    EXPECT_EQ(win_->panel(3)->text(), QStringLiteral("COM1"));
}

TEST_F(FrmMainTest, PanelTwoAsksForTheEmailSettings)
{
    open();
    win_->resize(1100, 700);
    QSignalSpy email(win_.get(), &frmMain::emailSettingsRequested);
    QTest::mouseClick(win_->panel(1), Qt::LeftButton);
    EXPECT_EQ(email.count(), 0);
    QTest::mouseClick(win_->panel(2), Qt::LeftButton);
    EXPECT_EQ(email.count(), 1);
}

TEST_F(FrmMainTest, ReceptionProgressLiesOverPanelThree)
{
    open();
    win_->resize(1100, 700);
    win_->receptionProgress(42, 180);
    QProgressBar *bar = win_->panel(3)->progressBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->maximum(), 180);
    EXPECT_EQ(bar->value(), 42);
    EXPECT_EQ(bar->parentWidget(), win_->panel(3));
    win_->receptionProgress(200, 180); // past the limit: full, not beyond
    EXPECT_EQ(bar->value(), 180);
    win_->hideProgress();
    EXPECT_TRUE(bar->isHidden());
}

TEST_F(FrmMainTest, CaptionFollowsTheSelectedTank)
{
    open();
    TankController &t = app_->tanks();
    Clock::SetOverride([] { return QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC); });
    TelegramSpec s;
    s.levelWord = 0x0800;
    ASSERT_TRUE(t.ProcessTelegram(MakeTelegram(s), QString(), Clock::Now()));
    EXPECT_EQ(win_->windowTitle(),
              QStringLiteral("800 Liter / 12 °C  ") + AppController::ProgramTitle(false));
}

TEST_F(FrmMainTest, PrintsTheWindowToPdf)
{
    open();
    win_->resize(1000, 700);
    const QString pdf = dataDir() + QStringLiteral("main.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    win_->printWindow(printer);
    const QByteArray bytes = readBytes(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 2000);
}

TEST_F(FrmMainTest, InfoOpensTheAboutBox)
{
    open();
    action("mnuHilfeInfo")->trigger();
    auto *about = win_->findChild<FrmInfo *>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), LngText(198));
    EXPECT_EQ(about->lblTitel->text(), AppController::ProgramTitle(false));
    // A second click brings the same box forward.
    action("mnuHilfeInfo")->trigger();
    EXPECT_EQ(win_->findChildren<FrmInfo *>().size(), 1);
}

TEST(AboutVersion, RevisionOnlyWhenNotZero)
{
    EXPECT_EQ(FrmInfo::VersionText(3, 2, 0), QStringLiteral("V3.02"));
    EXPECT_EQ(FrmInfo::VersionText(3, 2, 1), QStringLiteral("V3.02.01"));
    EXPECT_EQ(FrmInfo::VersionText(4, 12, 15), QStringLiteral("V4.12.15"));
}

} // namespace
