// The sequence that follows an accepted telegram: record update, registration,
// the device limit, lookup by serial number and type, alarm indication, and
// telegrams that arrive while an earlier evaluation is still running.
#include "ControllerFixture.h"

#include "core/RunState.h"
#include "model/Telegram.h"

#include <QFile>
#include <gtest/gtest.h>

using EvaluationTest = ControllerTest;
using DeviceLookupTest = ControllerTest;
using AlarmIndicationTest = ControllerTest;
using ReentrancyTest = ControllerTest;

TEST_F(EvaluationTest, KnownDeviceGetsEveryFieldButUnitAndName)
{
    ASSERT_TRUE(feed(dev(4711)));
    tanks.setTankName(QStringLiteral("Keller"));
    events.clear();

    TelegramBytes t = dev(4711);
    t.status = 0x60;    // unit bits say metres: ignored for a known device
    t.temp = 0;         // no temperature
    t.levelHigh = 0xE0; // error word
    t.levelLow = 0x08;
    t.scale = 0x07;
    t.shape = 0x12;
    t.capacity = 40000;
    t.height = 2345;
    now = now.addSecs(90);
    ASSERT_TRUE(feed(t, QStringLiteral("192.168.1.7")));

    const DeviceRecord &r = tanks.device(1);
    EXPECT_EQ(tanks.DeviceCount(), 1);
    EXPECT_EQ(r.SN, 4711);
    EXPECT_EQ(r.Geraetetyp, 5);
    EXPECT_EQ(r.Temperatur, -9999);
    EXPECT_EQ(r.Volumen, -0xE008);
    EXPECT_EQ(r.DezPunkt, 3);
    EXPECT_EQ(r.Tanktyp, 2);
    EXPECT_EQ(r.Tankvolumen, 40000);
    EXPECT_EQ(r.Tankhoehe, 2345);
    EXPECT_EQ(r.Uhrzeit, now);
    EXPECT_EQ(r.ClientIP, QStringLiteral("192.168.1.7"));
    EXPECT_EQ(r.Einheit, 0);
    EXPECT_EQ(r.Tankbezeichnung, QStringLiteral("Keller"));
    EXPECT_EQ(events, (QStringList{"detailChanged(1)", "deviceChanged(1)", "telegramAccepted"}));
    EXPECT_EQ(hooks.recorded, (QList<int>{1, 1}));
    EXPECT_EQ(hooks.emailed, (QList<int>{1, 1}));
    EXPECT_EQ(ui.count(QStringLiteral("beep")), 1) << "only the registration beeps";
}

TEST_F(EvaluationTest, TraceLineAndLengthCheck)
{
    State().tracePath = dataDir() + QStringLiteral("trace.log");
    TelegramBytes shortOne = dev(1);
    shortOne.length = 18;
    EXPECT_FALSE(feed(shortOne));
    TelegramBytes longOne = dev(1);
    longOne.length = 20;
    EXPECT_FALSE(feed(longOne, QStringLiteral("10.0.0.9")));
    EXPECT_EQ(tanks.DeviceCount(), 0);
    EXPECT_TRUE(events.isEmpty());
    TelegramBytes bad = dev(1);
    bad.checksum = 0;
    EXPECT_FALSE(feed(bad));
    EXPECT_EQ(tanks.DeviceCount(), 0);
    EXPECT_TRUE(feed(dev(2), QStringLiteral("10.0.0.9")));

    const QStringList lines =
        QString::fromLatin1(readBytes(State().tracePath)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    const QString hex18 = HexDump(shortOne.bytes());
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(",EvalTelegramm:") + hex18 + QLatin1Char(' ')))
        << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",EvalTelegramm:") + HexDump(longOne.bytes()) +
                                  QStringLiteral(" 10.0.0.9")));
    EXPECT_TRUE(lines[3].endsWith(HexDump(dev(2).bytes()) + QStringLiteral(" 10.0.0.9")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("14.03.2026 10:30:00 000,")));
}

TEST_F(EvaluationTest, RegistrationSequence)
{
    // A slot left over from a removed device must not leak into the new one.
    tanks.device(1).Tankbezeichnung = QStringLiteral("stale");
    tanks.device(1).TempKorr = 7;
    tanks.device(1).History.append(now, 1, 2);
    bool savedBeforeHistory = false;
    hooks.insideRecord = [&](int) {
        savedBeforeHistory =
            iniValue(QStringLiteral("Gerät1"), QStringLiteral("SN")) == QStringLiteral("4711");
    };

    TelegramBytes t = dev(4711);
    t.status = 0x40; // percent
    ASSERT_TRUE(feed(t));

    const DeviceRecord &r = tanks.device(1);
    EXPECT_EQ(tanks.DeviceCount(), 1);
    EXPECT_EQ(r.Einheit, 3);
    EXPECT_EQ(r.Tankbezeichnung, QString());
    EXPECT_EQ(r.History.count(), 0);
    EXPECT_EQ(r.TempKorr, 1);
    EXPECT_EQ(tanks.currentDevice(), 1);
    EXPECT_EQ(events, (QStringList{"deviceAdded(1)", "deviceChanged(1)", "selectDevice(1)",
                                   "detailChanged(1)", "telegramAccepted"}));
    EXPECT_EQ(ui.count(QStringLiteral("beep")), 1);
    EXPECT_EQ(hooks.unloads, 1);
    EXPECT_TRUE(savedBeforeHistory);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("1"));
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Aktuell")), QStringLiteral("1"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät1"), QStringLiteral("Einheit")), QStringLiteral("3"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät1"), QStringLiteral("VolumenAnzeige")), QStringLiteral("1234 %"));
    EXPECT_EQ(hooks.emailed, QList<int>{1});
    EXPECT_EQ(hooks.emailAlarmChanged, QList<bool>{false});

    // A second device is selected in turn, and the first one's unit stays.
    events.clear();
    TelegramBytes u = dev(815);
    u.status = 0x60;
    ASSERT_TRUE(feed(u));
    EXPECT_EQ(tanks.device(2).Einheit, 2);
    EXPECT_EQ(tanks.device(1).Einheit, 3);
    EXPECT_EQ(tanks.currentDevice(), 2);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Aktuell")), QStringLiteral("2"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät2"), QStringLiteral("SN")), QStringLiteral("815"));
}

TEST_F(EvaluationTest, FiftySixthAcceptedFiftySeventhRefused)
{
    for (int sn = 1; sn <= 55; ++sn)
        ASSERT_TRUE(feed(dev(sn)));
    EXPECT_TRUE(feed(dev(56)));
    EXPECT_EQ(tanks.DeviceCount(), 56);
    EXPECT_EQ(tanks.device(56).SN, 56);
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);

    TelegramBytes t57 = dev(57);
    t57.level(999);
    EXPECT_FALSE(feed(t57));
    EXPECT_EQ(tanks.DeviceCount(), 56);
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.shown.last().text, QStringLiteral("Es können max. 56 Geräte angeschlossen werden."));
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Stop);
    for (int n = 1; n <= 56; ++n)
        ASSERT_NE(tanks.device(n).Volumen, 999);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("56"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät57"), QStringLiteral("SN")), QStringLiteral("<absent>"));

    // Every further telegram of such a device is told again; known ones still pass.
    EXPECT_FALSE(feed(t57));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 2);
    TelegramBytes known = dev(30);
    known.level(4321);
    EXPECT_TRUE(feed(known));
    EXPECT_EQ(tanks.device(30).Volumen, 4321);
}

TEST_F(DeviceLookupTest, SameSerialNumberWithTwoTypesGivesTwoRecords)
{
    ASSERT_TRUE(feed(dev(4711, 5)));
    TelegramBytes other = dev(4711, 7);
    other.level(2222);
    ASSERT_TRUE(feed(other));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(1).Geraetetyp, 5);
    EXPECT_EQ(tanks.device(1).Volumen, 1234);
    EXPECT_EQ(tanks.device(2).Geraetetyp, 7);
    EXPECT_EQ(tanks.device(2).Volumen, 2222);
    // Each type finds its own record again.
    TelegramBytes again = dev(4711, 7);
    again.level(3333);
    ASSERT_TRUE(feed(again));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(2).Volumen, 3333);
    EXPECT_EQ(tanks.device(1).Volumen, 1234);
}

TEST_F(DeviceLookupTest, TypeZeroIsClaimedByTheFirstTelegram)
{
    // An older settings file knows the serial number but not the type.
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=2\r\n[Ger\xE4t1]\r\nSN=99\r\nGer\xE4tetyp=0\r\nEinheit=4\r\n"
                          "[Ger\xE4t2]\r\nSN=4711\r\nGer\xE4tetyp=0\r\nTankbezeichnung=Hof\r\n");
    tanks.LoadRegistry();
    ASSERT_EQ(tanks.DeviceCount(), 2);
    ASSERT_TRUE(feed(dev(4711, 9)));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(2).Geraetetyp, 9);
    EXPECT_EQ(tanks.device(2).Tankbezeichnung, QStringLiteral("Hof"));
    EXPECT_EQ(ui.count(QStringLiteral("beep")), 0);
    // Claimed once: another type with that number is a new device.
    ASSERT_TRUE(feed(dev(4711, 5)));
    EXPECT_EQ(tanks.DeviceCount(), 3);
    EXPECT_EQ(tanks.device(3).Geraetetyp, 5);
    EXPECT_EQ(tanks.device(1).Geraetetyp, 0);
}

TEST_F(AlarmIndicationTest, BoxOncePerRisingEdgePanelOnEveryTelegram)
{
    const QString text = QStringLiteral("ALARM-Signal am Störeingang von Tank 1 / SN4711");
    TelegramBytes on = dev(4711);
    on.status = 0x01;
    TelegramBytes off = dev(4711);

    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.texts(), QStringList{text});
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui.panelText(1), text);
    EXPECT_EQ(hooks.emailAlarmChanged.last(), true);
    EXPECT_EQ(events.count(QStringLiteral("restoreWindow")), 1);

    ui.setPanelText(1, QStringLiteral("something else"));
    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.panelText(1), text) << "the panel is written on every alarm telegram";
    EXPECT_EQ(hooks.emailAlarmChanged.last(), false);

    ASSERT_TRUE(feed(off));
    EXPECT_EQ(ui.panelText(1), QString());
    EXPECT_EQ(hooks.emailAlarmChanged.last(), true);
    ui.setPanelText(1, QStringLiteral("other news"));
    ASSERT_TRUE(feed(off));
    EXPECT_EQ(ui.panelText(1), QStringLiteral("other news")) << "no change, the panel stays";

    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 2);
    EXPECT_EQ(events.count(QStringLiteral("restoreWindow")), 2);
}

TEST_F(EvaluationTest, ClientModeCallsNoEmailRulesAndWritesNothing)
{
    State().clientMode = true;
    ASSERT_TRUE(feed(dev(4711)));
    ASSERT_TRUE(feed(dev(4711)));
    EXPECT_EQ(tanks.DeviceCount(), 1);
    EXPECT_TRUE(hooks.emailed.isEmpty());
    EXPECT_EQ(hooks.recorded.size(), 2);
    EXPECT_FALSE(QFile::exists(iniPath()));
}

// --- Telegrams evaluated while an earlier evaluation is still running ------

TEST_F(ReentrancyTest, RegistrationIsCompleteBeforeTheFirstSignal)
{
    // A view that lets events run while it adds the device's entry.
    bool nestedOnce = false;
    int countSeen = -1, unitSeen = -1;
    QObject::connect(&tanks, &TankController::deviceAdded, [&](int n) {
        if (nestedOnce)
            return;
        nestedOnce = true;
        countSeen = tanks.DeviceCount();
        unitSeen = tanks.device(n).Einheit;
        TelegramBytes same = dev(4711);
        same.status = 0x40;
        same.level(2000);
        EXPECT_TRUE(feed(same));
        EXPECT_TRUE(feed(dev(815)));
    });
    TelegramBytes first = dev(4711);
    first.status = 0x40;
    ASSERT_TRUE(feed(first));
    EXPECT_EQ(countSeen, 1);
    EXPECT_EQ(unitSeen, 3);
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(1).SN, 4711);
    EXPECT_EQ(tanks.device(1).Volumen, 2000) << "the nested, later telegram is the latest value";
    EXPECT_EQ(tanks.device(2).SN, 815);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("2"));
}

TEST_F(ReentrancyTest, TelegramsDuringHistoryWaitDoNotRegisterTwice)
{
    // The tank-file retries wait 250 ms and let telegrams in meanwhile.
    int depth = 0;
    hooks.insideRecord = [&](int) {
        if (depth++ > 0)
            return;
        EXPECT_TRUE(feed(dev(4711)));
        EXPECT_TRUE(feed(dev(900)));
        EXPECT_TRUE(feed(dev(4711)));
    };
    ASSERT_TRUE(feed(dev(4711)));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(1).SN, 4711);
    EXPECT_EQ(tanks.device(2).SN, 900);
    EXPECT_EQ(ui.count(QStringLiteral("beep")), 2);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("2"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät3"), QStringLiteral("SN")), QStringLiteral("<absent>"));
}

TEST_F(ReentrancyTest, TelegramsWhileTheAlarmBoxIsOpen)
{
    TelegramBytes alarm = dev(4711);
    alarm.status = 0x01;
    alarm.level(1000);
    int opened = 0;
    ui.whileOpen = [&] {
        if (opened++ > 0)
            return;
        // Same device, alarm still on and a new value; then a new device
        // that also raises an alarm; then the first one again.
        TelegramBytes still = alarm;
        still.level(2000);
        EXPECT_TRUE(feed(still));
        TelegramBytes other = dev(815);
        other.status = 0x01;
        EXPECT_TRUE(feed(other));
        EXPECT_TRUE(feed(still));
    };
    ASSERT_TRUE(feed(alarm));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 1) << "one alarm box at a time";
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(1).Volumen, 2000);
    EXPECT_TRUE(tanks.device(1).Alarm);
    EXPECT_TRUE(tanks.device(2).Alarm);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("ALARM-Signal am Störeingang von Tank 1 / SN4711"));

    // The box is closed: the guard is clear again for the next rising edge.
    TelegramBytes off = dev(4711);
    ASSERT_TRUE(feed(off));
    ASSERT_TRUE(feed(alarm));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 2);
}

TEST_F(ReentrancyTest, AlarmClearedWhileItsBoxWasPending)
{
    // The alarm goes off again while an e-mail for its rising edge is sent:
    // the panel is cleared and no box reports an alarm that is already over.
    TelegramBytes on = dev(4711);
    on.status = 0x01;
    ASSERT_TRUE(feed(dev(4711)));
    bool nested = false;
    hooks.insideRecord = [&](int) {
        if (nested)
            return;
        nested = true;
        EXPECT_TRUE(feed(dev(4711)));
    };
    ASSERT_TRUE(feed(on));
    EXPECT_FALSE(tanks.device(1).Alarm);
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
    EXPECT_EQ(ui.panelText(1), QString());
}

TEST_F(ReentrancyTest, FullTableBoxIsNotStacked)
{
    for (int sn = 1; sn <= 56; ++sn)
        ASSERT_TRUE(feed(dev(sn)));
    int opened = 0;
    ui.whileOpen = [&] {
        if (opened++ > 0)
            return;
        EXPECT_FALSE(feed(dev(58)));
        EXPECT_FALSE(feed(dev(57)));
        TelegramBytes known = dev(7);
        known.level(77);
        EXPECT_TRUE(feed(known));
    };
    EXPECT_FALSE(feed(dev(57)));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(tanks.device(7).Volumen, 77);
    EXPECT_EQ(tanks.DeviceCount(), 56);
    ui.whileOpen = nullptr;
    EXPECT_FALSE(feed(dev(57)));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 2) << "after closing, the next one is told again";
}
