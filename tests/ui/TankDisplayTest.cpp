#include "UiTestSupport.h"
#include "support/TestSupport.h"

#include "core/Clock.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"
#include "model/TankController.h"
#include "ui/DisplayRules.h"
#include "ui/OverviewEntry.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"
#include "ui/TankPicture.h"
#include "ui/UiLook.h"
#include "ui/WindowPrint.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest/QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2024, 5, 14), QTime(12, 30, 15), Qt::UTC);
const QColor kBlack(0, 0, 0), kGrey(0x80, 0x80, 0x80), kRed(0xff, 0, 0);

class TankDisplayTest : public DataDirTest {
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetLngId(1);
        SetUi(&ui_);
        Clock::SetOverride([] { return kNow; });
        display_ = std::make_unique<TankDisplay>(tanks_);
        display_->setProgramTitle([] { return QStringLiteral("VALMOR Tankmon"); });
        display_->resize(1100, 650);
    }
    void TearDown() override
    {
        display_.reset();
        DataDirTest::TearDown();
    }

    // Device n with a fresh, valid reading, registered the way start-up does.
    void addDevice(int n, int volumen = 2500, const QDateTime &time = kNow)
    {
        DeviceRecord &r = tanks_.device(n);
        r.SN = 1000 + n;
        r.Geraetetyp = 7;
        r.Volumen = volumen;
        r.Tankvolumen = 5000;
        r.Tankhoehe = 1500;
        r.Einheit = 0;
        r.Temperatur = 12;
        r.Uhrzeit = time;
        r.Tankbezeichnung = QStringLiteral("Tank %1").arg(n);
        tanks_.AddDevice(n);
    }
    void addDevices(int count)
    {
        for (int n = 1; n <= count; ++n)
            addDevice(n);
    }

    QStringList visibleTabs() const
    {
        QStringList out;
        for (int i = 0; i < display_->SSTab1->count(); ++i)
            if (display_->SSTab1->isTabVisible(i))
                out << display_->SSTab1->tabText(i);
        return out;
    }
    // The tab whose page holds the entry of device n.
    int tabOfEntry(int n) const
    {
        OverviewEntry *e = display_->entry(n);
        for (int i = 0; i < display_->SSTab1->count(); ++i)
            if (e && display_->SSTab1->widget(i)->isAncestorOf(e))
                return i;
        return -1;
    }
    static QColor colour(const QWidget *w) { return UiLook::TextColour(w); }

    ScriptedUi ui_;
    TankController tanks_;
    std::unique_ptr<TankDisplay> display_;
};

// ---------------------------------------------------------------------------
// Overview tabs

TEST_F(TankDisplayTest, OneDeviceShowsOnlyTheDetailTab)
{
    addDevices(1);
    EXPECT_EQ(visibleTabs(), QStringList{QStringLiteral("Tank 1")});
    EXPECT_EQ(display_->ComboSN->count(), 1);
    EXPECT_EQ(display_->ComboSN->itemText(0), QStringLiteral("1 / SN1001"));
    EXPECT_EQ(display_->ComboSN->itemData(0).toInt(), 1);
    // Registered but not selected: adding a device selects nothing by itself.
    EXPECT_EQ(display_->ComboSN->currentIndex(), -1);
    EXPECT_EQ(tanks_.currentDevice(), 0);
    // Device 1 has its designed entry on tab 1, ready for when tab 1 shows.
    EXPECT_EQ(tabOfEntry(1), 1);
    EXPECT_EQ(display_->entry(1)->title(), LngText(327));
}

TEST_F(TankDisplayTest, TabCaptionsForFourFiveAndSevenDevices)
{
    addDevices(4);
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-4")}));
    addDevice(5);
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-4"),
                                          QStringLiteral("Tank 5")}));
    addDevice(6);
    addDevice(7);
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-4"),
                                          QStringLiteral("Tank 5-7")}));
    EXPECT_EQ(tabOfEntry(4), 1);
    EXPECT_EQ(tabOfEntry(5), 2);
    EXPECT_EQ(tabOfEntry(7), 2);
    EXPECT_EQ(display_->entry(7)->title(), QStringLiteral("Tank 7"));
    EXPECT_EQ(display_->ComboSN->count(), 7);
}

TEST_F(TankDisplayTest, FiftySixDevicesFillFourteenOverviewTabs)
{
    addDevices(56);
    const QStringList tabs = visibleTabs();
    ASSERT_EQ(tabs.size(), 15);
    EXPECT_EQ(tabs[0], QStringLiteral("Details (Konfig)"));
    for (int k = 1; k <= 14; ++k)
        EXPECT_EQ(tabs[k], QStringLiteral("Tank %1-%2").arg(4 * k - 3).arg(4 * k));
    for (int n = 1; n <= 56; ++n) {
        ASSERT_NE(display_->entry(n), nullptr) << n;
        EXPECT_EQ(tabOfEntry(n), (n - 1) / 4 + 1) << n;
    }
    EXPECT_EQ(display_->ComboSN->itemText(55), QStringLiteral("56 / SN1056"));
}

// The captions are laid out in rows: k + 1 per row below five overview tabs,
// then five, so all fifteen tabs of 56 tanks stay reachable.
TEST_F(TankDisplayTest, TabRowsHoldEveryVisibleTab)
{
    addDevices(7);
    TabRows *rows = display_->tabRows();
    EXPECT_EQ(rows->perRow(), 3);
    QList<QToolButton *> buttons = rows->findChildren<QToolButton *>();
    ASSERT_EQ(buttons.size(), 3);
    QToolButton *second = rows->findChild<QToolButton *>(QStringLiteral("Tab2"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), QStringLiteral("Tank 5-7"));
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(display_->SSTab1->currentIndex(), 2);
    EXPECT_TRUE(second->isChecked());

    for (int n = 8; n <= 56; ++n)
        addDevice(n);
    EXPECT_EQ(rows->perRow(), 5);
    EXPECT_EQ(rows->findChildren<QToolButton *>().size(), 15);
    // The page shown stays the one chosen.
    EXPECT_EQ(display_->SSTab1->currentIndex(), 2);
    EXPECT_TRUE(rows->findChild<QToolButton *>(QStringLiteral("Tab2"))->isChecked());
}

TEST_F(TankDisplayTest, TableResetRebuildsTabsAndSelector)
{
    addDevices(6);
    tanks_.ComboSN_Click(6);
    ASSERT_TRUE(tanks_.RemoveDevices(2, 3));
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-4")}));
    EXPECT_EQ(display_->ComboSN->count(), 4);
    // The former device 5 is now device 3, with its name.
    EXPECT_EQ(display_->entry(3)->lblTankbezeichnung->text(), QStringLiteral("Tank 5"));
    EXPECT_EQ(display_->entry(5), nullptr);
}

// ---------------------------------------------------------------------------
// Age colours

TEST_F(TankDisplayTest, DetailViewGreyAndRedAfterSixtyMinutes)
{
    addDevice(1, 2500, kNow.addSecs(-60 * 60));
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(colour(display_->lblVolumen), kBlack);
    EXPECT_EQ(colour(display_->txbxZeit), kBlack);

    tanks_.device(1).Uhrzeit = kNow.addSecs(-61 * 60);
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(colour(display_->lblVolumen), kGrey);
    EXPECT_EQ(colour(display_->txbxZeit), kRed);
    // Still figures, not the warning, in the overview entry.
    tanks_.refreshDevice(1);
    OverviewEntry *e = display_->entry(1);
    EXPECT_EQ(e->txbxLiter->text(), FormatValue(2500, tanks_.device(1)));
    EXPECT_EQ(colour(e->txbxLiter), kGrey);
    EXPECT_EQ(colour(e->lblProzent), kGrey);
    EXPECT_EQ(colour(e->lblDate), kGrey);
    EXPECT_FALSE(e->lblTemp->isHidden());
    EXPECT_TRUE(e->tank->liquidVisible());

    // A fresh telegram-time makes it black again.
    tanks_.device(1).Uhrzeit = kNow;
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(colour(display_->lblVolumen), kBlack);
    EXPECT_EQ(colour(display_->txbxZeit), kBlack);
}

TEST_F(TankDisplayTest, OverviewEntryWarnsAfterOneDay)
{
    addDevice(1);
    addDevice(2, 2500, kNow.addSecs(-1440 * 60));
    OverviewEntry *e = display_->entry(2);
    EXPECT_EQ(e->txbxLiter->text(), FormatValue(2500, tanks_.device(2)));
    EXPECT_FALSE(e->lblDate->isHidden());

    tanks_.device(2).Uhrzeit = kNow.addSecs(-1441 * 60);
    tanks_.refreshDevice(2);
    EXPECT_EQ(e->txbxLiter->text(), LngText(283) + QStringLiteral("\r\n") + LngText(284));
    EXPECT_TRUE(e->lblTemp->isHidden());
    EXPECT_TRUE(e->lblDate->isHidden());
    EXPECT_FALSE(e->tank->liquidVisible());
    EXPECT_EQ(colour(e->txbxLiter), kGrey);
    // The detail view keeps showing the figures, grey with a red time.
    tanks_.ComboSN_Click(2);
    EXPECT_EQ(display_->lblVolumen->text(), FormatValue(2500, tanks_.device(2)));
    EXPECT_EQ(colour(display_->txbxZeit), kRed);

    // The next valid reading brings the figures back.
    tanks_.device(2).Uhrzeit = kNow;
    tanks_.refreshDevice(2);
    EXPECT_EQ(e->txbxLiter->text(), FormatValue(2500, tanks_.device(2)));
    EXPECT_FALSE(e->lblDate->isHidden());
    EXPECT_TRUE(e->tank->liquidVisible());
    EXPECT_EQ(colour(e->txbxLiter), kBlack);
}

// ---------------------------------------------------------------------------
// Detail view

TEST_F(TankDisplayTest, DetailViewShowsTheSelectedTank)
{
    addDevice(1, 1234);
    DeviceRecord &r = tanks_.device(1);
    r.DezPunkt = 2; // litres x 10
    r.Tanktyp = 2;
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("12340 Liter"));
    EXPECT_EQ(display_->caption(), QStringLiteral("12340 Liter / 12 °C  VALMOR Tankmon"));
    EXPECT_EQ(display_->LabelTankinhalt->text(), LngText(258) + QStringLiteral("25%"));
    EXPECT_TRUE(display_->lblVolumen->toolTip().isEmpty());
    EXPECT_EQ(display_->txbxTankbezeichnung->text(), QStringLiteral("Tank 1"));
    EXPECT_EQ(display_->txbxTanktyp->text(), TankTypeName(r));
    EXPECT_EQ(display_->txbxTankVolumen->text(), QStringLiteral("50000 Liter"));
    EXPECT_EQ(display_->txbxTankhoehe->text(), QStringLiteral("1500 mm"));
    EXPECT_EQ(display_->txbxTemperatur->text(), QStringLiteral("12 °C"));
    EXPECT_EQ(display_->txbxZeit->text(), DisplayRules::GeneralDateTimeText(kNow));
    EXPECT_EQ(display_->ComboEinheit->currentData().toInt(), 0);
    EXPECT_DOUBLE_EQ(display_->tankPicture->level(), 1234.0 / 5000.0);
    EXPECT_EQ(display_->ComboSN->currentData().toInt(), 1);

    // Without a temperature the caption drops that part, the field is empty.
    r.Temperatur = kNoTemperature;
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(display_->caption(), QStringLiteral("12340 Liter  VALMOR Tankmon"));
    EXPECT_TRUE(display_->txbxTemperatur->text().isEmpty());
}

TEST_F(TankDisplayTest, DeviceErrorShowsErrorTextAndEmptyTank)
{
    addDevice(1, 2500);
    tanks_.ComboSN_Click(1);
    ASSERT_GT(display_->tankPicture->level(), 0.4);

    tanks_.device(1).Volumen = -0xE008;
    tanks_.ComboSN_Click(1);
    const QString error = LngText(29) + QStringLiteral("E008") + LngText(31);
    EXPECT_EQ(display_->lblVolumen->text(), error);
    EXPECT_EQ(display_->lblVolumen->toolTip(), error);
    EXPECT_EQ(display_->tankPicture->level(), 0.0);
    EXPECT_EQ(display_->caption(), QStringLiteral("VALMOR Tankmon"));
    EXPECT_EQ(display_->LabelTankinhalt->text(), LngText(259));

    // The overview entry keeps the error text in place of the figures.
    tanks_.refreshDevice(1);
    OverviewEntry *e = display_->entry(1);
    EXPECT_EQ(e->txbxLiter->text(), error);
    EXPECT_FALSE(e->tank->liquidVisible());
    EXPECT_TRUE(e->lblDate->isHidden());
}

TEST_F(TankDisplayTest, OverfullTankFillsDetailButOverflowsOverview)
{
    addDevice(1, 6000); // capacity 5000
    tanks_.ComboSN_Click(1);
    EXPECT_DOUBLE_EQ(display_->tankPicture->level(), 1.0);
    EXPECT_DOUBLE_EQ(display_->entry(1)->tank->level(), 1.2);
}

TEST_F(TankDisplayTest, AlarmAndSourceAddress)
{
    display_->setUrlCaption(QStringLiteral("www.valmor.example"));
    addDevice(1);
    EXPECT_FALSE(display_->lblURL->isHidden());
    tanks_.ComboSN_Click(1);
    // Over the serial link there is no source address to show.
    EXPECT_TRUE(display_->lblURL->isHidden());
    EXPECT_TRUE(display_->lblAlarmBigTank->isHidden());
    EXPECT_TRUE(display_->entry(1)->lblAlarm->isHidden());

    tanks_.device(1).Alarm = true;
    tanks_.device(1).ClientIP = QStringLiteral("192.168.7.20");
    tanks_.ComboSN_Click(1);
    tanks_.refreshDevice(1);
    EXPECT_FALSE(display_->lblAlarmBigTank->isHidden());
    EXPECT_FALSE(display_->entry(1)->lblAlarm->isHidden());
    EXPECT_FALSE(display_->lblURL->isHidden());
    EXPECT_TRUE(display_->lblURL->text().contains(QStringLiteral("192.168.7.20")));
}

TEST_F(TankDisplayTest, ChartAndTableButtonsAreHidden)
{
    addDevice(1);
    EXPECT_TRUE(display_->cmdGrafik->isHidden());
    EXPECT_TRUE(display_->cmdTabelle->isHidden());
}

// ---------------------------------------------------------------------------
// The user's edits and the selector, through the controller

TEST_F(TankDisplayTest, ChoosingInTheSelectorSelectsAndPersists)
{
    addDevices(3);
    display_->ComboSN->setCurrentIndex(1);
    EXPECT_EQ(tanks_.currentDevice(), 2);
    EXPECT_EQ(ReadIniValue(QStringLiteral("Geräte"), QStringLiteral("Aktuell")), QStringLiteral("2"));
    EXPECT_EQ(display_->txbxTankbezeichnung->text(), QStringLiteral("Tank 2"));
}

TEST_F(TankDisplayTest, TypingTheTankNameUpdatesRecordEntryAndFile)
{
    addDevices(2);
    tanks_.ComboSN_Click(2);
    display_->txbxTankbezeichnung->clear();
    QTest::keyClicks(display_->txbxTankbezeichnung, QStringLiteral("Keller Ost"));
    EXPECT_EQ(tanks_.device(2).Tankbezeichnung, QStringLiteral("Keller Ost"));
    EXPECT_EQ(display_->entry(2)->lblTankbezeichnung->text(), QStringLiteral("Keller Ost"));
    EXPECT_EQ(ReadIniValue(QStringLiteral("Gerät2"), QStringLiteral("Tankbezeichnung")),
              QStringLiteral("Keller Ost"));
    // Selecting another tank is no edit: tank 2 keeps its name.
    tanks_.ComboSN_Click(1);
    EXPECT_EQ(display_->txbxTankbezeichnung->text(), QStringLiteral("Tank 1"));
    EXPECT_EQ(tanks_.device(2).Tankbezeichnung, QStringLiteral("Keller Ost"));
    EXPECT_EQ(tanks_.device(1).Tankbezeichnung, QStringLiteral("Tank 1"));
}

TEST_F(TankDisplayTest, ChoosingAUnitRelabelsTheValue)
{
    addDevice(1, 1234);
    tanks_.ComboSN_Click(1);
    ASSERT_EQ(display_->ComboEinheit->count(), 9);
    EXPECT_EQ(display_->ComboEinheit->itemText(0), LngText(26));
    EXPECT_EQ(display_->ComboEinheit->itemText(8), QString());
    // The user picks m³ (code 1): the scale code now divides.
    tanks_.device(1).DezPunkt = 1;
    emit display_->ComboEinheit->activated(1);
    EXPECT_EQ(tanks_.device(1).Einheit, 1);
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("1.234 m³"));
    EXPECT_EQ(display_->entry(1)->txbxLiter->text(), QStringLiteral("1.234 m³"));
    EXPECT_EQ(ReadIniValue(QStringLiteral("Gerät1"), QStringLiteral("Einheit")), QStringLiteral("1"));
    EXPECT_EQ(display_->ComboEinheit->currentIndex(), 1);
}

TEST_F(TankDisplayTest, ClientModeLeavesTheEditsAsTheyAre)
{
    State().clientMode = true;
    addDevice(1);
    display_->txbxTankbezeichnung->setEnabled(false);
    tanks_.ComboSN_Click(1);
    EXPECT_FALSE(display_->txbxTankbezeichnung->isEnabled());
    EXPECT_TRUE(display_->ComboSN->isEnabled());
    State().clientMode = false;
    tanks_.ComboSN_Click(1);
    EXPECT_TRUE(display_->txbxTankbezeichnung->isEnabled());
}

// ---------------------------------------------------------------------------
// Telegrams through the controller

TEST_F(TankDisplayTest, DetailViewFollowsTelegrams)
{
    TelegramSpec s;
    s.levelWord = 0x1250; // 1250 of 5000
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s), QString(), kNow));
    // The new device is registered, selected and shown.
    EXPECT_EQ(display_->ComboSN->count(), 1);
    EXPECT_EQ(display_->ComboSN->itemText(0), QStringLiteral("1 / SN4711"));
    EXPECT_EQ(display_->ComboSN->currentData().toInt(), 1);
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("1250 Liter"));
    EXPECT_EQ(display_->caption(), QStringLiteral("1250 Liter / 12 °C  VALMOR Tankmon"));
    EXPECT_DOUBLE_EQ(display_->tankPicture->level(), 0.25);
    EXPECT_TRUE(display_->lblURL->isHidden());

    // A second device over TCP: its own entry and tab, the detail view stays.
    TelegramSpec s2;
    s2.sn = 815;
    s2.levelWord = 0x4000;
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s2), QStringLiteral("10.0.0.9"), kNow));
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-2")}));
    EXPECT_EQ(display_->entry(2)->txbxLiter->text(), QStringLiteral("4000 Liter"));
    EXPECT_EQ(display_->entry(2)->lblProzent->text(), QStringLiteral("80%"));
    // A new device is selected at once; its source address is shown.
    EXPECT_EQ(display_->ComboSN->currentData().toInt(), 2);
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("4000 Liter"));
    EXPECT_FALSE(display_->lblURL->isHidden());
    EXPECT_TRUE(display_->lblURL->text().contains(QStringLiteral("10.0.0.9")));

    // Back to tank 1: the next reading moves its level and its texts.
    display_->ComboSN->setCurrentIndex(0);
    EXPECT_TRUE(display_->lblURL->isHidden());
    s.levelWord = 0x3750;
    s.tempByte = 128 - 4;
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s), QString(), kNow.addSecs(30)));
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("3750 Liter"));
    EXPECT_EQ(display_->LabelTankinhalt->text(), LngText(258) + QStringLiteral("75%"));
    EXPECT_EQ(display_->txbxTemperatur->text(), QStringLiteral("-4 °C"));
    EXPECT_DOUBLE_EQ(display_->tankPicture->level(), 0.75);
    EXPECT_EQ(display_->entry(1)->lblProzent->text(), QStringLiteral("75%"));

    // An error word from the device.
    s.levelWord = 0xE002;
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s), QString(), kNow.addSecs(60)));
    EXPECT_EQ(display_->lblVolumen->text(), LngText(29) + QStringLiteral("E002") + LngText(30));
    EXPECT_EQ(display_->caption(), QStringLiteral("VALMOR Tankmon"));
    EXPECT_EQ(display_->tankPicture->level(), 0.0);
}

TEST_F(TankDisplayTest, TelegramWithAlarmRaisesTheBigLabel)
{
    TelegramSpec s;
    s.status = 1;
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s), QString(), kNow));
    EXPECT_FALSE(display_->lblAlarmBigTank->isHidden());
    EXPECT_FALSE(display_->entry(1)->lblAlarm->isHidden());
    s.status = 0;
    ASSERT_TRUE(tanks_.ProcessTelegram(MakeTelegram(s), QString(), kNow));
    EXPECT_TRUE(display_->lblAlarmBigTank->isHidden());
    EXPECT_TRUE(display_->entry(1)->lblAlarm->isHidden());
}

TEST_F(TankDisplayTest, ViewBuiltAfterStartUpShowsTheTable)
{
    // Devices loaded before the view exists (the controller starts first).
    display_.reset();
    for (int n = 1; n <= 5; ++n) {
        tanks_.device(n).SN = 70 + n;
        tanks_.device(n).Tankvolumen = 100;
        tanks_.device(n).Volumen = 10 * n;
        tanks_.device(n).Uhrzeit = kNow;
    }
    tanks_.table().DeviceCount = 5;
    tanks_.ComboSN_Click(3);
    display_ = std::make_unique<TankDisplay>(tanks_);
    EXPECT_EQ(visibleTabs(), (QStringList{QStringLiteral("Details (Konfig)"), QStringLiteral("Tank 1-4"),
                                          QStringLiteral("Tank 5")}));
    EXPECT_EQ(display_->ComboSN->currentData().toInt(), 3);
    EXPECT_EQ(display_->lblVolumen->text(), QStringLiteral("30 Liter"));
    EXPECT_EQ(display_->entry(5)->lblProzent->text(), QStringLiteral("50%"));
}

// ---------------------------------------------------------------------------
// Printing

TEST_F(TankDisplayTest, PrintsToPdf)
{
    addDevices(2);
    tanks_.ComboSN_Click(1);
    display_->show();
    const QString pdf = dataDir() + QStringLiteral("window.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(PrintWidget(*display_, printer));
    const QByteArray bytes = readBytes(pdf);
    ASSERT_GT(bytes.size(), 2000);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
}

} // namespace
