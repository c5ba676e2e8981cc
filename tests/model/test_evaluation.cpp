// The sequence that follows an accepted telegram: record update, registration,
// the device limit, lookup by serial number and type, alarm indication, and
// telegrams that arrive while a box is open.
#include "support/Fixtures.h"

#include "model/TankSnapshots.h"
#include "model/TankStateWatch.h"
#include "model/Telegram.h"

#include <set>

using EvaluationTest = ControllerTest;

// A new device is registered, saved before its history is recorded, and
// selected; a known one gets every field of the telegram but unit and name.
TEST_F(EvaluationTest, RegistrationSequenceThenEveryFieldButUnitAndName)
{
    // A slot left over from a removed device must not leak into the new one.
    tanks.device(1).Tankbezeichnung = "stale";
    tanks.device(1).TempKorr = 7;
    tanks.device(1).History.append(now, 1, 2);
    bool savedBeforeHistory = false;
    hooks.insideRecord = [&](int) { savedBeforeHistory = ini("Gerät1", "SN") == "4711"; };

    EXPECT_FALSE(feed(Telegram{.length = 18})); // rejected: changes nothing
    ASSERT_TRUE(feed({.status = 0x40}));        // percent
    EXPECT_EQ(Fields(tanks.device(1)),
              "SN=4711 Typ=5 Temp=12 Vol=1234 Einheit=3 Tanktyp=1 Dez=0 Cap=5000 H=1500 "
              "Alarm=0 K=1 Zeit=14.03.2026 10:30:00 Name= IP=");
    EXPECT_EQ(tanks.device(1).History.count(), 0);
    EXPECT_EQ(events, (QStringList{"deviceAdded(1)", "deviceChanged(1)", "selectDevice(1)",
                                   "detailChanged(1)", "telegramAccepted"}));
    EXPECT_EQ(ui.count("beep"), 1);
    EXPECT_EQ(hooks.unloads, 1);
    EXPECT_TRUE(savedBeforeHistory);
    EXPECT_EQ(ini({"Geräte/Anzahl", "Geräte/Aktuell", "Gerät1/Einheit", "Gerät1/VolumenAnzeige"}),
              (QStringList{"1", "1", "3", "1234 %"}));
    ASSERT_TRUE(feed({.sn = 815, .status = 0x60})); // a second device

    tanks.ComboSN_Click(1);
    tanks.setTankName("Keller");
    events.clear();
    now = now.addSecs(90);
    // Unit bits say metres (ignored for a known device), no temperature, an error word.
    Telegram t{.temp = 0, .status = 0x60, .levelWord = 0xE008, .scale = 0x07, .shape = 0x12};
    t.capacity = 40000, t.height = 2345;
    ASSERT_TRUE(feed(t, "192.168.1.7"));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(Fields(tanks.device(1)),
              "SN=4711 Typ=5 Temp=-9999 Vol=-57352 Einheit=3 Tanktyp=2 Dez=3 Cap=40000 "
              "H=2345 Alarm=0 K=1 Zeit=14.03.2026 10:31:30 Name=Keller IP=192.168.1.7");
    EXPECT_EQ(events, (QStringList{"detailChanged(1)", "deviceChanged(1)", "telegramAccepted"}));
    EXPECT_EQ(hooks.recorded, (QList<int>{1, 2, 1}));
    EXPECT_EQ(hooks.emailed, (QList<int>{1, 2, 1}));
    EXPECT_EQ(ui.count("beep"), 2) << "only the registrations beep";
}

TEST_F(EvaluationTest, FiftySixthAcceptedFiftySeventhRefused)
{
    for (int sn = 1; sn <= 56; ++sn)
        ASSERT_TRUE(feed(sn));
    EXPECT_EQ(tanks.DeviceCount(), 56);
    EXPECT_EQ(ui.count("message"), 0);
    const Telegram t57{.sn = 57, .levelWord = 0x0999};
    EXPECT_FALSE(feed(t57));
    EXPECT_EQ(tanks.DeviceCount(), 56);
    EXPECT_EQ(ui.texts(), QStringList{"Es können max. 56 Geräte angeschlossen werden."});
    for (int n = 1; n <= 56; ++n)
        ASSERT_NE(tanks.device(n).Volumen, 999);
    EXPECT_EQ(ini({"Geräte/Anzahl", "Gerät57/SN"}), (QStringList{"56", "<absent>"}));

    // Every further telegram of such a device is told again; known ones still pass.
    EXPECT_FALSE(feed(t57));
    EXPECT_EQ(ui.count("message"), 2);
    EXPECT_TRUE(feed({.sn = 30, .levelWord = 0x4321}));
    EXPECT_EQ(tanks.device(30).Volumen, 4321);
}

// One serial number with two types gives two records; type 0 is claimed by
// the first telegram.
TEST_F(EvaluationTest, TypeZeroIsClaimedByTheFirstTelegram)
{
    // An older settings file knows the serial number but not the type.
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=2\r\n[Ger\xE4t1]\r\nSN=99\r\nGer\xE4tetyp=0\r\nEinheit=4\r\n"
                          "[Ger\xE4t2]\r\nSN=4711\r\nGer\xE4tetyp=0\r\nTankbezeichnung=Hof\r\n");
    tanks.LoadRegistry();
    // The registered devices as "SN/type/level".
    const auto table = [this] {
        QStringList out;
        for (int n = 1; n <= tanks.DeviceCount(); ++n)
            out << QString::asprintf("%d/%d/%d", tanks.device(n).SN, tanks.device(n).Geraetetyp,
                                     tanks.device(n).Volumen);
        return out.join(' ');
    };
    ASSERT_TRUE(feed({.type = 9}));
    EXPECT_EQ(table(), "99/0/0 4711/9/1234");
    EXPECT_EQ(tanks.device(2).Tankbezeichnung, "Hof");
    EXPECT_EQ(ui.count("beep"), 0);
    // Claimed once: another type with that number is a new device.
    ASSERT_TRUE(feed({.type = 5}));
    ASSERT_TRUE(feed({.type = 5, .levelWord = 0x3333})); // each type finds its own record again
    EXPECT_EQ(table(), "99/0/0 4711/9/1234 4711/5/3333");
}

// The alarm box once per rising edge and one at a time; the panel on every telegram.
TEST_F(EvaluationTest, AlarmBoxOncePerRisingEdgePanelOnEveryTelegram)
{
    const QString text = "ALARM-Signal am Störeingang von Tank 1 / SN4711";
    const Telegram on{.status = 0x01}, off;
    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.texts(), QStringList{text});
    EXPECT_EQ(ui.panelText(1), text);
    EXPECT_EQ(events.count("restoreWindow"), 1);

    ui.setPanelText(1, "something else");
    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.count("message"), 1);
    EXPECT_EQ(ui.panelText(1), text) << "the panel is written on every alarm telegram";

    ASSERT_TRUE(feed(off));
    EXPECT_EQ(ui.panelText(1), QString());
    ui.setPanelText(1, "other news");
    ASSERT_TRUE(feed(off));
    EXPECT_EQ(ui.panelText(1), "other news") << "no change, the panel stays";
    EXPECT_EQ(hooks.emailAlarmChanged, (QList<bool>{true, false, true, false}));

    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.count("message"), 2);
    EXPECT_EQ(events.count("restoreWindow"), 2);

    // A box held open until it is answered; the next rising edge opens one
    // again. (A second device's alarm while it is open: BoxHeldOpen.)
    ui.holdBoxes = true;
    ASSERT_TRUE(feed(off));
    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.openBoxes(), 1);
    ui.answerOpenBox();
    ASSERT_TRUE(feed(off));
    ASSERT_TRUE(feed(on));
    EXPECT_EQ(ui.openBoxes(), 1);
    EXPECT_EQ(ui.count("message"), 4);
}

// The steps after the record and the history: the loss is known first, then
// the state is judged once and the snapshot published once, then the rules
// run. What changes the tank inside (its forecast) waits for that step; a
// device in fault has no forecast in its snapshot.
TEST_F(EvaluationTest, LossThenOneStateOneSnapshotThenRulesNoForecastInAFault)
{
    NotificationLog log;
    TankStateWatch states{tanks, [](int) { return TankStateRules{10, 24}; }, clock, log, texts};
    std::set<int> losses;
    states.setLossSource([&](int n) { return losses.contains(n); });
    TankSnapshots::Sources sources;
    sources.forecast = [&](int) { return std::pair(now.addDays(30), 40.0); };
    sources.loss = [&](int n) { return losses.contains(n); };
    TankSnapshots snapshots{tanks, switches, &states, sources};
    // The loss step in front: it opens a loss for tank 1 at its second telegram.
    struct Loss : EmailHooks {
        std::function<void(int)> judge;
        EmailHooks *next = nullptr;
        void EvalEmail(int n, bool alarmChanged) override
        {
            judge(n);
            next->EvalEmail(n, alarmChanged);
        }
    } loss;
    int telegrams = 0;
    loss.judge = [&](int n) {
        if (++telegrams == 2)
            losses.insert(n);
    };
    loss.next = &snapshots;
    snapshots.setNext(&hooks);
    tanks.setEmailHooks(&loss);
    QStringList seen;
    QObject::connect(&states, &TankStateWatch::statusChanged, [&](int n) {
        seen << QStringLiteral("state %1 %2").arg(n).arg(TankConditionName(states.status(n).condition));
    });
    QObject::connect(&snapshots, &TankSnapshots::snapshotChanged, [&](int n) {
        const TankSnapshotPtr s = snapshots.at(n);
        seen << QStringLiteral("snapshot %1 %2 loss=%3 days=%4")
                    .arg(n)
                    .arg(TankConditionName(s->status.condition))
                    .arg(s->loss)
                    .arg(s->daysUntilEmpty(now).value_or(-1));
    });
    // Inside the history step the forecast changes: nothing is published yet.
    hooks.insideRecord = [&](int n) {
        snapshots.figureChanged(n);
        seen << QStringLiteral("history %1").arg(n);
    };
    const auto rulesSaw = [&] { return seen.join('|') + "|rules " + QString::number(hooks.emailed.size()); };

    ASSERT_TRUE(feed(4711));
    EXPECT_EQ(rulesSaw(), "history 1|state 1 ok|snapshot 1 ok loss=0 days=30|rules 1");
    seen.clear();
    now = now.addSecs(600);
    ASSERT_TRUE(feed(4711));
    EXPECT_EQ(rulesSaw(), "history 1|state 1 loss|snapshot 1 loss loss=1 days=30|rules 2");
    seen.clear();
    ASSERT_TRUE(feed(Telegram{.levelWord = 0xE008}));
    EXPECT_EQ(rulesSaw(), "history 1|state 1 fault|snapshot 1 fault loss=1 days=-1|rules 3");
    EXPECT_EQ(snapshots.at(1)->link, LinkKind::None);
}
