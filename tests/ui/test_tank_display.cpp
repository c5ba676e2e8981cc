// The tank display as an offscreen widget driven by the controller: overview
// tabs, age colours, the detail view, the user's edits and telegrams.
#include "ui/UiTestSupport.h"

#include "ui/ElidedLabel.h"
#include "ui/OverviewEntry.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"
#include "ui/TankPicture.h"
#include "ui/UiLook.h"

#include "model/TankState.h"

namespace
{

class TankDisplayTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        display = std::make_unique<TankDisplay>(tanks, ui, texts, clock);
        display->setProgramTitle([] { return QStringLiteral("VALMOR Tankmon"); });
        display->resize(1100, 650);
    }
    // Devices from..to with a reading of the given age, registered the way start-up does.
    void addDevices(int from, int to, int volumen = 2500, int ageMinutes = 0)
    {
        for (int n = from; n <= to; ++n) {
            DeviceRecord &r = tanks.device(n);
            r.SN = 1000 + n;
            r.Volumen = volumen;
            r.Tankvolumen = 5000;
            r.Temperatur = 12;
            r.Uhrzeit = now.addSecs(-60 * ageMinutes);
            r.Tankbezeichnung = QStringLiteral("Tank %1").arg(n);
            tanks.AddDevice(n);
        }
    }
    // A widget of the display, or of overview entry n.
    template <typename W = QLabel> W *part(const char *name, int n = 0) const
    {
        return n ? Part<W>(display->entry(n), name) : Part<W>(display.get(), name);
    }
    // The captions of the visible tabs, "|" between them.
    QString visibleTabs() const
    {
        QTabWidget *tabs = part<QTabWidget>("SSTab1");
        QStringList out;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabVisible(i))
                out << tabs->tabText(i);
        return out.join('|');
    }
    // The detail view as "value | content | temperature | level | caption",
    // then whether the source address and the alarm show.
    QString detail() const
    {
        const QStringList parts{
            part("lblVolumen")->text(), part("LabelTankinhalt")->text(), part("txbxTemperatur")->text(),
            QString::number(part<TankPicture>("TankPicture")->level()), display->caption()};
        return parts.join(" | ") + (part("lblURL")->isHidden() ? "" : " +url") +
               (part("lblAlarmBigTank")->isHidden() ? "" : " +alarm");
    }
    // The value of overview entry n, then which of its parts show.
    QString entry(int n) const
    {
        return part("txbxLiter", n)->text() + (part("lblTemp", n)->isHidden() ? "" : " +temp") +
               (part("lblDate", n)->isHidden() ? "" : " +date") +
               (part<TankPicture>("TankShape", n)->liquidVisible() ? " +liquid" : "");
    }
    static QString colour(const QWidget *w)
    {
        const QString c = UiLook::TextColour(w).name();
        return c == "#000000" ? "black" : c == "#808080" ? "grey" : c == "#ff0000" ? "red" : c;
    }

    std::unique_ptr<TankDisplay> display;
};

TEST_F(TankDisplayTest, OverviewTabsFor1To56Devices)
{
    addDevices(1, 1);
    EXPECT_EQ(visibleTabs(), "Tank 1");

    addDevices(2, 5);
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5");
    // The captions are laid out in rows: k + 1 per row below five overview
    // tabs, then five, so all fifteen tabs of 56 tanks stay reachable.
    TabRows *rows = display->tabRows();
    EXPECT_EQ(rows->perRow(), 3);
    QTest::mouseClick(Part<QToolButton>(rows, "Tab2"), Qt::LeftButton);
    EXPECT_EQ(part<QTabWidget>("SSTab1")->currentIndex(), 2);

    addDevices(6, 56);
    EXPECT_TRUE(visibleTabs().endsWith("|Tank 49-52|Tank 53-56")) << qPrintable(visibleTabs());
    EXPECT_EQ(rows->perRow(), 5);
    // The page shown stays the one chosen.
    EXPECT_EQ(part<QTabWidget>("SSTab1")->currentIndex(), 2);
    EXPECT_TRUE(rows->findChild<QToolButton *>("Tab2")->isChecked());
}

// A window opened on tanks already known shows their cards, not the first
// tank's settings; a single tank its own page.
TEST_F(TankDisplayTest, OpensOnTheCards)
{
    addDevices(1, 1);
    EXPECT_EQ(Part<QTabWidget>(std::make_unique<TankDisplay>(tanks, ui, texts, clock).get(), "SSTab1")
                  ->currentIndex(),
              0);
    addDevices(2, 3);
    TankDisplay opened(tanks, ui, texts, clock);
    EXPECT_EQ(Part<QTabWidget>(&opened, "SSTab1")->currentIndex(), 1);
}

// Old, stale and faulty readings (the limits of 60 and 1440 minutes:
// DisplayRules.AgeCountsMinuteBoundariesOldAndStaleLimitsTexts).
TEST_F(TankDisplayTest, GreyAndRedTimeWhenOldWarningWhenStaleErrorTextOnAFault)
{
    for (auto [n, age] : {std::pair{1, 0}, {2, 61}, {3, 1441}})
        addDevices(n, n, 2500, age);
    addDevices(4, 4, -0xE008);
    // Per tank: its overview entry with the colours of its value and date;
    // the detail view's value with the colours of the value and the time.
    const auto shown = [&](int n) {
        tanks.ComboSN_Click(n);
        return entry(n) + " " + colour(part("txbxLiter", n)) + " " + colour(part("lblDate", n)) + " | " +
               part("lblVolumen")->text() + " " + colour(part("lblVolumen")) + " " + colour(part("txbxZeit"));
    };
    // Grey when old, but still the figures until they are stale; the detail
    // view keeps showing the figures, grey with a red time.
    const QString figures = "2.500 Liter +temp +date +liquid";
    EXPECT_EQ(QStringList({shown(1), shown(2), shown(3)}),
              QStringList({figures + " black black | 2.500 Liter black black",
                           figures + " grey grey | 2.500 Liter grey red",
                           "Achtung: \r\nkeine aktuellen Werte grey grey | 2.500 Liter grey red"}));
    EXPECT_EQ(colour(part("lblProzent", 2)), "grey");
    // The next valid reading makes it black and brings the figures back.
    tanks.device(3).Uhrzeit = now;
    tanks.refreshDevice(3);
    EXPECT_EQ(shown(3), figures + " black black | 2.500 Liter black black");

    // A device error: its text in place of the figures and an empty tank; the
    // overview entry keeps it as a fault, no percentage of an earlier reading beside it.
    tanks.ComboSN_Click(4);
    const QString error = "Fehler E008  (Sonde kurzgeschlossen?!)";
    EXPECT_EQ(detail(), error + " | Tankinhalt:  | 12 °C | 0 | VALMOR Tankmon");
    EXPECT_EQ(part("lblVolumen")->toolTip(), error);
    EXPECT_EQ(entry(4).remove(" +temp"), error);
    EXPECT_EQ(display->entry(4)->notice(), OverviewEntry::Notice::Fault);
    EXPECT_TRUE(part("lblProzent", 4)->isHidden());
}

// Every state but ok marks its tab, the worst of the tab's tanks; a fault or a silent tank never draws as a
// level, not even as the empty tank an empty one draws.
TEST_F(TankDisplayTest, EveryStateMarksItsTabAndNoLevelNeverLooksEmpty)
{
    addDevices(1, 12);
    TabRows *rows = display->tabRows();
    const auto set = [&](int n, int volumen, int ageMinutes = 0, bool alarm = false) {
        DeviceRecord &r = tanks.device(n);
        r.Volumen = volumen, r.Uhrzeit = now.addSecs(-60 * ageMinutes), r.Alarm = alarm;
        tanks.refreshDevice(n);
    };
    const auto marks = [&] {
        QStringList out;
        for (int tab = 1; tab <= 3; ++tab)
            out << TankConditionName(rows->mark(tab));
        return out.join(' ');
    };
    set(2, 400); // 8 %
    set(7, 0);   // empty: below half of the 10 %
    EXPECT_EQ(marks(), "low very_low ok");
    set(5, 2500, 25 * 60);
    set(10, -0xE008);
    EXPECT_EQ(marks(), "low silent fault");
    set(12, 2500, 0, true);
    set(1, -0xE002);
    EXPECT_EQ(marks(), "fault silent alarm");

    // The pictures: the empty tank, the faulty one, the silent one, each its own.
    set(5, 2500, 25 * 60 + 24 * 60); // stale
    const auto picture = [&](int n) { return part<TankPicture>("TankShape", n)->grab().toImage(); };
    const QImage empty = picture(7), fault = picture(10), silent = picture(5);
    EXPECT_NE(fault, empty);
    EXPECT_NE(silent, empty);
    EXPECT_NE(fault, silent);
    set(10, 0);
    EXPECT_EQ(picture(10), empty) << "a fault over leaves no mark";
}

// What must not be missed: a fault marks its tab until it is gone (an alarm's
// mark as shown: FrmMainTest.SmallScreenAndAccessLettersInEveryLanguage); the
// detail view names the tank; a click on an entry (or Enter on it) selects its
// tank. The selector, the name field and the unit list reach the controller.
TEST_F(TankDisplayTest, TabMarksSelectionNameAndUnitEditsAndTheTableReset)
{
    addDevices(1, 9);
    TabRows *rows = display->tabRows();
    tanks.device(6).Volumen = -0xE008;
    tanks.refreshDevice(6);
    EXPECT_EQ(rows->mark(2), TankCondition::Fault);
    EXPECT_TRUE(rows->mark(1) == TankCondition::Ok && rows->mark(3) == TankCondition::Ok);
    tanks.device(6).Volumen = 2500;
    tanks.refreshDevice(6);
    EXPECT_EQ(rows->mark(2), TankCondition::Ok);

    QTest::mouseClick(display->entry(7), Qt::LeftButton);
    EXPECT_EQ(tanks.currentDevice(), 7);
    EXPECT_EQ(part<QComboBox>("ComboSN")->currentData().toInt(), 7);
    EXPECT_EQ(part<ElidedLabel>("lblDetailName")->text(), "Tank 7");
    QTest::keyClick(display->entry(2), Qt::Key_Return);
    EXPECT_EQ(tanks.currentDevice(), 2);

    part<QComboBox>("ComboSN")->setCurrentIndex(0);
    EXPECT_EQ(tanks.currentDevice(), 1);
    part<QLineEdit>("txbxTankbezeichnung")->clear();
    for (const QChar c : QStringLiteral("Keller łąś")) { // as a Polish keyboard sends it
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(part<QLineEdit>("txbxTankbezeichnung"), &press);
    }
    EXPECT_EQ(part("lblTankbezeichnung", 1)->text(), "Keller łąś");
    // Selecting another tank is no edit: tank 1 keeps its name.
    tanks.ComboSN_Click(2);
    EXPECT_EQ(part<QLineEdit>("txbxTankbezeichnung")->text(), "Tank 2");
    EXPECT_EQ(tanks.device(1).Tankbezeichnung + "|" + tanks.device(2).Tankbezeichnung, "Keller łąś|Tank 2");
    EXPECT_EQ(settings.read(Cfg::Device::Tankbezeichnung.at(1)), "Keller łąś");

    // The user picks m³ (code 1): the scale code now divides.
    tanks.device(2).Volumen = 1234;
    tanks.device(2).DezPunkt = 1;
    emit part<QComboBox>("ComboEinheit")->activated(1);
    EXPECT_EQ(tanks.device(2).Einheit, 1);
    EXPECT_EQ(part("lblVolumen")->text() + "|" + part("txbxLiter", 2)->text(), "1,234 m³|1,234 m³");

    // The view is built anew from the table as it stands (so is a view built
    // after its controller): the former device 5 is now device 3, with its
    // name; the current tank 6 is now tank 4, still shown.
    tanks.ComboSN_Click(6);
    ASSERT_TRUE(tanks.RemoveDevices(2, 3));
    EXPECT_EQ(visibleTabs(), "Details (Konfig)|Tank 1-4|Tank 5-7");
    QComboBox *selector = part<QComboBox>("ComboSN");
    EXPECT_EQ(QString("%1 %2").arg(selector->count()).arg(selector->currentData().toInt()), "7 4");
    EXPECT_EQ(part("lblTankbezeichnung", 3)->text(), "Tank 5");
    EXPECT_EQ(display->entry(8), nullptr);
    EXPECT_EQ(part<ElidedLabel>("lblDetailName")->text(), "Tank 6");
}

// A fresh installation waits for its first device: the detail view says for
// what and where; name and unit cannot be typed into the void.
TEST_F(TankDisplayTest, DetailViewWaitsForTheFirstDeviceThenFollowsTelegrams)
{
    display->setLinkDescription({"/dev/ttyUSB0", "TCP/IP Port 8000"});
    // Whether the waiting text shows, and the name and the unit can be typed.
    const auto typing = [&] {
        return QStringLiteral("%1 %2 %3")
            .arg(!part("lblWaiting")->isHidden())
            .arg(part<QLineEdit>("txbxTankbezeichnung")->isEnabled())
            .arg(part<QComboBox>("ComboEinheit")->isEnabled());
    };
    EXPECT_TRUE(part("lblWaiting")->text().contains("...\n/dev/ttyUSB0\nTCP/IP Port 8000\n"))
        << qPrintable(part("lblWaiting")->text());
    EXPECT_EQ(visibleTabs(), "Details (Konfig)") << "no tab named after a tank that is not there";
    EXPECT_EQ(typing(), "1 0 0");
    // A central installation's remote tanks get the empty card's room until
    // a device of its own comes.
    display->setRemoteTanks(true);
    EXPECT_TRUE(part<QWidget>("DetailCard")->isHidden());
    display->setUrlCaption("www.valmor.example");
    EXPECT_FALSE(part("lblURL")->isHidden());
    // The new device is registered, selected and shown; over the serial link
    // there is no source address to show.
    ASSERT_TRUE(feed({.levelWord = 0x1250})); // 1250 of 5000
    EXPECT_EQ(typing(), "0 1 1");
    EXPECT_FALSE(part<QWidget>("DetailCard")->isHidden());
    EXPECT_EQ(part<QComboBox>("ComboSN")->currentData().toInt(), 1);
    EXPECT_EQ(detail(), "1.250 Liter | Tankinhalt: 25% | 12 °C | 0.25 | 1.250 Liter / 12 °C  VALMOR Tankmon");
    EXPECT_TRUE(part("lblAlarm", 1)->isHidden());

    // A second device over TCP: its own entry; selected at once, its source
    // address is shown.
    ASSERT_TRUE(feed({.sn = 815, .levelWord = 0x4000}, "10.0.0.9"));
    EXPECT_EQ(entry(2), "4.000 Liter +temp +date +liquid");
    EXPECT_EQ(part<QComboBox>("ComboSN")->currentData().toInt(), 2);
    EXPECT_FALSE(part("lblURL")->isHidden());
    EXPECT_TRUE(part("lblURL")->text().contains("10.0.0.9"));

    // Back to tank 1: the next reading moves its level and its texts.
    part<QComboBox>("ComboSN")->setCurrentIndex(0);
    now = now.addSecs(30);
    ASSERT_TRUE(feed({.temp = 128 - 4, .status = 1, .levelWord = 0x3750}));
    // The alarm bit of the telegram shows.
    EXPECT_EQ(detail(),
              "3.750 Liter | Tankinhalt: 75% | -4 °C | 0.75 | 3.750 Liter / -4 °C  VALMOR Tankmon +alarm");
    EXPECT_FALSE(part("lblAlarm", 1)->isHidden());

    // Without a temperature the caption drops that part, the field is empty.
    // Over capacity: the detail tank is full, the overview one overflows.
    DeviceRecord &r = tanks.device(1);
    r.Temperatur = kNoTemperature;
    r.Volumen = 6000;
    tanks.refreshDevice(1);
    tanks.ComboSN_Click(1);
    EXPECT_EQ(detail(), "6.000 Liter | Tankinhalt: 120% |  | 1 | 6.000 Liter  VALMOR Tankmon +alarm");
    EXPECT_DOUBLE_EQ(part<TankPicture>("TankShape", 1)->level(), 1.2);
}

} // namespace
