// The tank display as an offscreen widget driven by the controller: overview
// tabs, age colours, the detail view, the user's edits and telegrams.
#include "support/Fixtures.h"

#include "core/Settings.h"
#include "model/Figures.h"
#include "ui/DisplayRules.h"
#include "ui/ElidedLabel.h"
#include "ui/OverviewEntry.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"
#include "ui/TankPicture.h"
#include "ui/UiLook.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest/QTest>
#include <memory>

namespace
{

// A child widget by its object name.
template <typename W>
W *Part(const QObject *parent, const char *name)
{
    W *w = parent ? parent->findChild<W *>(QLatin1String(name)) : nullptr;
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class TankDisplayTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        makeDisplay();
    }
    void TearDown() override { display.reset(); }
    void makeDisplay()
    {
        display = std::make_unique<TankDisplay>(tanks, ui, clock);
        display->setProgramTitle([] { return QStringLiteral("VALMOR Tankmon"); });
        display->resize(1100, 650);
    }
    // Devices from..to with a reading of the given age, registered the way start-up does.
    void addDevices(int from, int to, int volumen = 2500, int ageMinutes = 0)
    {
        for (int n = from; n <= to; ++n)
            addDevice(n, volumen, ageMinutes);
    }
    void addDevice(int n, int volumen = 2500, int ageMinutes = 0)
    {
        DeviceRecord &r = tanks.device(n);
        r.SN = 1000 + n;
        r.Geraetetyp = 7;
        r.Volumen = volumen;
        r.Tankvolumen = 5000;
        r.Tankhoehe = 1500;
        r.Temperatur = 12;
        r.Uhrzeit = now.addSecs(-60 * ageMinutes);
        r.Tankbezeichnung = QStringLiteral("Tank %1").arg(n);
        tanks.AddDevice(n);
    }
    // A widget of the display by its object name.
    template <typename W>
    W *child(const char *name) const
    {
        return Part<W>(display.get(), name);
    }
    // The captions of the visible tabs, "|" between them.
    QString visibleTabs() const
    {
        QStringList out;
        for (int i = 0; i < child<QTabWidget>("SSTab1")->count(); ++i)
            if (child<QTabWidget>("SSTab1")->isTabVisible(i))
                out << child<QTabWidget>("SSTab1")->tabText(i);
        return out.join('|');
    }
    // The tab whose page holds the entry of device n.
    int tabOfEntry(int n) const
    {
        for (int i = 0; i < child<QTabWidget>("SSTab1")->count(); ++i)
            if (display->entry(n) && child<QTabWidget>("SSTab1")->widget(i)->isAncestorOf(display->entry(n)))
                return i;
        return -1;
    }
    // The detail view as "value | content | temperature | level | caption".
    QString detail() const
    {
        return QStringList{child<QLabel>("lblVolumen")->text(), child<QLabel>("LabelTankinhalt")->text(),
                           child<QLabel>("txbxTemperatur")->text(), QString::number(child<TankPicture>("TankPicture")->level()),
                           display->caption()}
            .join(" | ");
    }
    // The value of overview entry n, then which of its parts show.
    QString entry(int n) const
    {
        const OverviewEntry *e = display->entry(n);
        return Part<QLabel>(e, "txbxLiter")->text() + (Part<QLabel>(e, "lblTemp")->isHidden() ? "" : " +temp") +
               (Part<QLabel>(e, "lblDate")->isHidden() ? "" : " +date") + (Part<TankPicture>(e, "TankShape")->liquidVisible() ? " +liquid" : "");
    }
    static QString colour(const QWidget *w)
    {
        const QColor c = UiLook::TextColour(w);
        return c == Qt::black ? "black" : c == QColor(0x80, 0x80, 0x80) ? "grey" : c == Qt::red ? "red" : c.name();
    }

    std::unique_ptr<TankDisplay> display;
};

TEST_F(TankDisplayTest, OverviewTabsFor1To56Devices)
{
    addDevice(1);
    EXPECT_EQ(visibleTabs(), "Tank 1");
    EXPECT_EQ(child<QComboBox>("ComboSN")->itemText(0) + " " + child<QComboBox>("ComboSN")->itemData(0).toString(), "1 / SN1001 1");
    // Registered but not selected: adding a device selects nothing by itself.
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentIndex(), -1);
    EXPECT_EQ(tanks.currentDevice(), 0);
    // Device 1 has its designed entry on tab 1, ready for when tab 1 shows.
    EXPECT_EQ(tabOfEntry(1), 1);
    EXPECT_EQ(display->entry(1)->title(), "Tank 1");

    addDevices(2, 4);
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4");
    addDevice(5);
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5");
    addDevices(6, 7);
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5-7");
    EXPECT_EQ(display->entry(7)->title(), "Tank 7");
    EXPECT_EQ(child<QComboBox>("ComboSN")->count(), 7);

    // The captions are laid out in rows: k + 1 per row below five overview
    // tabs, then five, so all fifteen tabs of 56 tanks stay reachable.
    TabRows *rows = display->tabRows();
    EXPECT_EQ(rows->perRow(), 3);
    EXPECT_EQ(rows->findChildren<QToolButton *>().size(), 3);
    QToolButton *second = rows->findChild<QToolButton *>("Tab2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), "Tank 5-7");
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(child<QTabWidget>("SSTab1")->currentIndex(), 2);

    addDevices(8, 56);
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5-8|Tank 9-12|Tank 13-16|Tank 17-20|Tank 21-24|"
                             "Tank 25-28|Tank 29-32|Tank 33-36|Tank 37-40|Tank 41-44|Tank 45-48|Tank 49-52|Tank 53-56");
    for (auto [n, tab] : {std::pair{4, 1}, {5, 2}, {7, 2}, {52, 13}, {53, 14}, {56, 14}})
        EXPECT_EQ(tabOfEntry(n), tab) << n;
    EXPECT_EQ(child<QComboBox>("ComboSN")->itemText(55), "56 / SN1056");
    EXPECT_EQ(rows->perRow(), 5);
    EXPECT_EQ(rows->findChildren<QToolButton *>().size(), 15);
    // The page shown stays the one chosen.
    EXPECT_EQ(child<QTabWidget>("SSTab1")->currentIndex(), 2);
    EXPECT_TRUE(rows->findChild<QToolButton *>("Tab2")->isChecked());
}

TEST_F(TankDisplayTest, TableResetRebuildsTabsAndSelector)
{
    addDevices(1, 6);
    tanks.ComboSN_Click(6);
    ASSERT_TRUE(tanks.RemoveDevices(2, 3));
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4");
    EXPECT_EQ(child<QComboBox>("ComboSN")->count(), 4);
    // The former device 5 is now device 3, with its name.
    EXPECT_EQ(Part<QLabel>(display->entry(3), "lblTankbezeichnung")->text(), "Tank 5");
    EXPECT_EQ(display->entry(5), nullptr);
}

TEST_F(TankDisplayTest, GreyAndRedTimeAfter60MinutesWarningAfter1440)
{
    const int ages[] = {60, 61, 1440, 1441};
    for (int n = 1; n <= 4; ++n)
        addDevice(n, 2500, ages[n - 1]);
    // Grey after 60 minutes, but still the figures up to 1440.
    const QString figures = "2500 Liter +temp +date +liquid";
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(entry(n), figures) << n;
    EXPECT_EQ(entry(4), "Achtung: \r\nkeine aktuellen Werte");
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(colour(Part<QLabel>(display->entry(n), "txbxLiter")), n == 1 ? "black" : "grey") << n;
    EXPECT_EQ(colour(Part<QLabel>(display->entry(2), "lblProzent")), "grey");
    EXPECT_EQ(colour(Part<QLabel>(display->entry(2), "lblDate")), "grey");

    // The detail view keeps showing the figures, grey with a red time.
    const std::pair<int, const char *> details[] = {{1, "black black"}, {2, "grey red"}, {4, "grey red"}};
    for (const auto &[n, colours] : details) {
        tanks.ComboSN_Click(n);
        EXPECT_EQ(child<QLabel>("lblVolumen")->text(), "2500 Liter");
        EXPECT_EQ(colour(child<QLabel>("lblVolumen")) + " " + colour(child<QLabel>("txbxZeit")), colours) << n;
    }

    // The next valid reading makes it black and brings the figures back.
    tanks.device(4).Uhrzeit = now;
    tanks.ComboSN_Click(4);
    tanks.refreshDevice(4);
    EXPECT_EQ(entry(4), figures);
    EXPECT_EQ(colour(Part<QLabel>(display->entry(4), "txbxLiter")), "black");
    EXPECT_EQ(colour(child<QLabel>("lblVolumen")) + " " + colour(child<QLabel>("txbxZeit")), "black black");
}

TEST_F(TankDisplayTest, DetailViewShowsTheSelectedTank)
{
    addDevice(1, 1234);
    DeviceRecord &r = tanks.device(1);
    r.DezPunkt = 2; // litres x 10
    r.Tanktyp = 2;
    tanks.ComboSN_Click(1);
    EXPECT_EQ(detail(), "12340 Liter | Tankinhalt: 25% | 12 °C | 0.2468 | 12340 Liter / 12 °C  VALMOR Tankmon");
    EXPECT_TRUE(child<QLabel>("lblVolumen")->toolTip().isEmpty());
    const QStringList fields = {child<QLineEdit>("txbxTankbezeichnung")->text(), child<QLabel>("txbxTanktyp")->text(),
                                child<QLabel>("txbxTankVolumen")->text(), child<QLabel>("txbxTankhoehe")->text()};
    EXPECT_EQ(fields, (QStringList{"Tank 1", TankTypeName(r), "50000 Liter", "1500 mm"}));
    EXPECT_EQ(child<QLabel>("txbxZeit")->text(), DisplayRules::GeneralDateTimeText(now));
    EXPECT_EQ(child<QComboBox>("ComboEinheit")->currentData().toInt(), 0);
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentData().toInt(), 1);
    EXPECT_FALSE(child<QPushButton>("cmdTabelle")->isHidden()) << "the consumption table opens";

    // Without a temperature the caption drops that part, the field is empty.
    r.Temperatur = kNoTemperature;
    tanks.ComboSN_Click(1);
    EXPECT_EQ(detail(), "12340 Liter | Tankinhalt: 25% |  | 0.2468 | 12340 Liter  VALMOR Tankmon");

    // Over capacity: the detail tank is full, the overview one overflows.
    r.Volumen = 6000;
    tanks.ComboSN_Click(1);
    tanks.refreshDevice(1);
    EXPECT_DOUBLE_EQ(child<TankPicture>("TankPicture")->level(), 1.0);
    EXPECT_DOUBLE_EQ(Part<TankPicture>(display->entry(1), "TankShape")->level(), 1.2);
}

TEST_F(TankDisplayTest, DeviceErrorShowsErrorTextAndEmptyTank)
{
    addDevice(1, -0xE008);
    tanks.ComboSN_Click(1);
    const QString error = "Fehler E008  (Sonde kurzgeschlossen?!)";
    EXPECT_EQ(detail(), error + " | Tankinhalt:  | 12 °C | 0 | VALMOR Tankmon");
    EXPECT_EQ(child<QLabel>("lblVolumen")->toolTip(), error);
    // The overview entry keeps the error text in place of the figures, as a
    // fault; no percentage of an earlier reading stays beside it.
    EXPECT_EQ(entry(1).remove(" +temp"), error);
    EXPECT_EQ(display->entry(1)->notice(), OverviewEntry::Notice::Fault);
    EXPECT_TRUE(Part<QLabel>(display->entry(1), "lblProzent")->isHidden());
}

// What must not be missed: a fault or an alarm marks its tab; the detail view
// names the tank; a click on an entry (or Enter on it) selects its tank.
TEST_F(TankDisplayTest, TabMarksCardSelectionAndTheTanksName)
{
    addDevices(1, 9);
    TabRows *rows = display->tabRows();
    for (int k = 1; k <= 3; ++k)
        EXPECT_FALSE(rows->isMarked(k)) << k;
    tanks.device(6).Volumen = -0xE008;
    tanks.refreshDevice(6);
    tanks.device(9).Alarm = true;
    tanks.refreshDevice(9);
    EXPECT_EQ(QString("%1%2%3").arg(rows->isMarked(1)).arg(rows->isMarked(2)).arg(rows->isMarked(3)), "011");
    tanks.device(6).Volumen = 100;
    tanks.refreshDevice(6);
    EXPECT_FALSE(rows->isMarked(2));
    EXPECT_TRUE(rows->isMarked(3));

    QTest::mouseClick(display->entry(7), Qt::LeftButton);
    EXPECT_EQ(tanks.currentDevice(), 7);
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentData().toInt(), 7);
    EXPECT_EQ(child<ElidedLabel>("lblDetailName")->text(), "Tank 7");
    QTest::keyClick(display->entry(2), Qt::Key_Return);
    EXPECT_EQ(tanks.currentDevice(), 2);
}

// A fresh installation: no device yet. The detail view says what the program
// waits for and where; name and unit cannot be typed into the void.
TEST_F(TankDisplayTest, FreshInstallationWaitsWithTheEditsDisabled)
{
    display->setLinkDescription({"/dev/ttyUSB0", "TCP/IP Port 8000"});
    EXPECT_FALSE(child<QLabel>("lblWaiting")->isHidden());
    EXPECT_EQ(child<QLabel>("lblWaiting")->text(),
              "Programm wartet auf Messwerte vom Tankmessgerät ...\n/dev/ttyUSB0\nTCP/IP Port 8000");
    EXPECT_FALSE(child<QLineEdit>("txbxTankbezeichnung")->isEnabled());
    EXPECT_FALSE(child<QComboBox>("ComboEinheit")->isEnabled());
    ASSERT_TRUE(feed({.levelWord = 0x1250}));
    EXPECT_TRUE(child<QLabel>("lblWaiting")->isHidden());
    EXPECT_TRUE(child<QLineEdit>("txbxTankbezeichnung")->isEnabled());
    EXPECT_TRUE(child<QComboBox>("ComboEinheit")->isEnabled());
}

// The selector, the name field and the unit list reach the controller; in
// client mode selecting a tank leaves the edits as they are.
TEST_F(TankDisplayTest, SelectorNameAndUnitEdits)
{
    addDevices(1, 2);
    child<QComboBox>("ComboSN")->setCurrentIndex(1);
    EXPECT_EQ(tanks.currentDevice(), 2);
    child<QLineEdit>("txbxTankbezeichnung")->clear();
    QTest::keyClicks(child<QLineEdit>("txbxTankbezeichnung"), "Keller Ost");
    EXPECT_EQ(tanks.device(2).Tankbezeichnung, "Keller Ost");
    EXPECT_EQ(Part<QLabel>(display->entry(2), "lblTankbezeichnung")->text(), "Keller Ost");
    // Selecting another tank is no edit: tank 2 keeps its name.
    tanks.ComboSN_Click(1);
    EXPECT_EQ(child<QLineEdit>("txbxTankbezeichnung")->text(), "Tank 1");
    EXPECT_EQ(tanks.device(2).Tankbezeichnung, "Keller Ost");
    EXPECT_EQ(tanks.device(1).Tankbezeichnung, "Tank 1");

    ASSERT_EQ(child<QComboBox>("ComboEinheit")->count(), 9);
    // The user picks m³ (code 1): the scale code now divides.
    tanks.device(1).Volumen = 1234;
    tanks.device(1).DezPunkt = 1;
    emit child<QComboBox>("ComboEinheit")->activated(1);
    EXPECT_EQ(tanks.device(1).Einheit, 1);
    EXPECT_EQ(child<QLabel>("lblVolumen")->text(), "1.234 m³");
    EXPECT_EQ(Part<QLabel>(display->entry(1), "txbxLiter")->text(), "1.234 m³");
    EXPECT_EQ(child<QComboBox>("ComboEinheit")->currentIndex(), 1);

    config.clientMode = true;
    child<QLineEdit>("txbxTankbezeichnung")->setEnabled(false);
    tanks.ComboSN_Click(2);
    EXPECT_FALSE(child<QLineEdit>("txbxTankbezeichnung")->isEnabled());
    EXPECT_TRUE(child<QComboBox>("ComboSN")->isEnabled());
    config.clientMode = false;
    tanks.ComboSN_Click(1);
    EXPECT_TRUE(child<QLineEdit>("txbxTankbezeichnung")->isEnabled());
}

TEST_F(TankDisplayTest, DetailViewFollowsTelegrams)
{
    display->setUrlCaption("www.valmor.example");
    EXPECT_FALSE(child<QLabel>("lblURL")->isHidden());
    // The new device is registered, selected and shown; over the serial link
    // there is no source address to show.
    ASSERT_TRUE(feed({.levelWord = 0x1250})); // 1250 of 5000
    EXPECT_EQ(child<QComboBox>("ComboSN")->count(), 1);
    EXPECT_EQ(child<QComboBox>("ComboSN")->itemText(0), "1 / SN4711");
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentData().toInt(), 1);
    EXPECT_EQ(detail(), "1250 Liter | Tankinhalt: 25% | 12 °C | 0.25 | 1250 Liter / 12 °C  VALMOR Tankmon");
    EXPECT_TRUE(child<QLabel>("lblURL")->isHidden());
    EXPECT_TRUE(child<QLabel>("lblAlarmBigTank")->isHidden());
    EXPECT_TRUE(Part<QLabel>(display->entry(1), "lblAlarm")->isHidden());

    // A second device over TCP: its own entry and tab; selected at once, its
    // source address is shown.
    ASSERT_TRUE(feed({.sn = 815, .levelWord = 0x4000}, "10.0.0.9"));
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-2");
    EXPECT_EQ(entry(2), "4000 Liter +temp +date +liquid");
    EXPECT_EQ(Part<QLabel>(display->entry(2), "lblProzent")->text(), "80%");
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentData().toInt(), 2);
    EXPECT_EQ(child<QLabel>("lblVolumen")->text(), "4000 Liter");
    EXPECT_FALSE(child<QLabel>("lblURL")->isHidden());
    EXPECT_TRUE(child<QLabel>("lblURL")->text().contains("10.0.0.9"));

    // Back to tank 1: the next reading moves its level and its texts.
    child<QComboBox>("ComboSN")->setCurrentIndex(0);
    EXPECT_TRUE(child<QLabel>("lblURL")->isHidden());
    now = now.addSecs(30);
    ASSERT_TRUE(feed({.temp = 128 - 4, .status = 1, .levelWord = 0x3750}));
    EXPECT_EQ(detail(), "3750 Liter | Tankinhalt: 75% | -4 °C | 0.75 | 3750 Liter / -4 °C  VALMOR Tankmon");
    EXPECT_EQ(Part<QLabel>(display->entry(1), "lblProzent")->text(), "75%");
    EXPECT_FALSE(child<QLabel>("lblAlarmBigTank")->isHidden()) << "the alarm bit of the telegram";
    EXPECT_FALSE(Part<QLabel>(display->entry(1), "lblAlarm")->isHidden());
    // Cleared again.
    ASSERT_TRUE(feed({.levelWord = 0x3750}));
    EXPECT_TRUE(child<QLabel>("lblAlarmBigTank")->isHidden());
    EXPECT_TRUE(Part<QLabel>(display->entry(1), "lblAlarm")->isHidden());
}

TEST_F(TankDisplayTest, ViewBuiltAfterStartUpShowsTheTable)
{
    // Devices loaded before the view exists (the controller starts first).
    display.reset();
    for (int n = 1; n <= 5; ++n) {
        tanks.device(n).SN = 70 + n;
        tanks.device(n).Tankvolumen = 100;
        tanks.device(n).Volumen = 10 * n;
        tanks.device(n).Uhrzeit = now;
    }
    tanks.table().DeviceCount = 5;
    tanks.ComboSN_Click(3);
    makeDisplay();
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5");
    EXPECT_EQ(child<QComboBox>("ComboSN")->currentData().toInt(), 3);
    EXPECT_EQ(child<QLabel>("lblVolumen")->text(), "30 Liter");
    EXPECT_EQ(Part<QLabel>(display->entry(5), "lblProzent")->text(), "50%");
}

} // namespace
