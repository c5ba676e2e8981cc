// The notification rules and the sending steps with a settable clock and a
// mail function that answers from the event loop, as the real sender does.
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"
#include "email/SilenceAlarm.h"

#include <QTimer>

namespace
{

struct Snapshots : HistoryHooks {
    const DeviceTable *devices = nullptr;
    QList<qint32> volumes; // tank 1's content at each snapshot, as its line reports it
    QList<qint32> inTable; // and as the device table has it meanwhile
    void AppendHistorySnapshot(const QDateTime &, const ReportedLevel &r) override
    {
        volumes << (r.tank == 1 ? r.volumen : (*devices)[1].Volumen);
        inTable << (*devices)[1].Volumen;
    }
};

class EmailRulesTest : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        start = now;
        devices.DeviceCount = 2;
        for (int n = 1; n <= 2; ++n) {
            devices[n].SN = 100 + n;
            devices[n].Tankvolumen = 1000;
            devices[n].Volumen = 500 + 200 * (n - 1);
            devices[n].Uhrzeit = now;
        }
        snapshots.devices = &devices;
        storeOnly({});
    }

    // Tank 1 reads volumen (per mille of its capacity) at start + minute;
    // alarm: -1 as before, 0/1 a changed alarm bit. The reasons it mailed.
    // Without wait, the message may still be out on return.
    QList<int> reading(double minute, int volumen, int ageMinutes = 0, int alarm = -1, bool wait = true)
    {
        now = start.addSecs(qint64(minute * 60));
        DeviceRecord &r = devices[1];
        r.Volumen = volumen;
        r.Uhrzeit = now.addSecs(-ageMinutes * 60);
        if (alarm >= 0)
            r.Alarm = alarm;
        const qsizetype before = sent.size();
        email.EvalEmail(1, alarm >= 0);
        EXPECT_TRUE(!wait || WaitFor([&] { return !email.busy(); }));
        return reasonsFrom(before);
    }
    // The reasons of the mails sent from the first-th on.
    QList<int> reasonsFrom(qsizetype first) const
    {
        QList<int> reasons;
        for (qsizetype i = first; i < sent.size(); ++i)
            for (int reason = 0; reason <= 6; ++reason)
                if (sent[i].second.startsWith(ReasonText(reason, texts) + QStringLiteral(" : ")))
                    reasons << reason;
        return reasons;
    }
    // A settings file with the function on for one recipient, and stored
    // ("now": the start); nothing of the last case in memory.
    void storeOnly(const QList<std::pair<IniKey, QString>> &stored)
    {
        QFile::remove(iniPath());
        settings.write(Cfg::Email::Aktiv, 1);
        settings.write(Cfg::Email::Empfaenger1, QStringLiteral("service@example.org"));
        for (const auto &[key, value] : stored)
            settings.write(key, value == "now" ? FormatDateText(start) : value);
        values.unload();
        devices[1].Alarm = false;
    }

    QDateTime start;
    DeviceTable devices;
    EmailSettings values{settings, devices};
    Snapshots snapshots;
    QList<QPair<QString, QString>> sent; // recipient and subject of each mail
    QList<int> failures;                 // error codes of the next exchanges, 0 = accepted
    // Answers from the event loop, as the real sender does.
    void mail(const SmtpServer &, const QString &to, const QString &subject, const QString &,
              SmtpSender::Done done)
    {
        sent.append({to, subject});
        const int code = failures.isEmpty() ? 0 : failures.takeFirst();
        QTimer::singleShot(0, [done, code] { done(SmtpResult{code == 0, code, {}, {}}); });
    }
    EmailNotifier email = EmailNotifier(
        devices, values, settings, ui, texts, clock, snapshots, std::bind_front(&EmailRulesTest::mail, this),
        [] { return MessageContext(); }, [this] { return settings.readSwitch(Cfg::Simulation); });
};

TEST_F(EmailRulesTest, EdgeCases)
{
    struct Step {
        double minute;
        int volumen;
        QList<int> reasons;
        int age = 0, alarm = -1;
    };
    struct Case {
        const char *name;
        QList<std::pair<IniKey, QString>> stored;
        QList<Step> steps;
        QList<std::pair<IniKey, const char *>> after = {};
    };
    using namespace Cfg::Email;
    const Case cases[] = {
        {"refuelling: more than the delta above the minimum, ends 10 minutes after the last rise",
         {{LetzteEmail, "now"}, {MelderasterLast.at(1), "20"}},
         {{0, 200, {}},
          {1, 220, {}},
          {2, 225, {5}},
          {4, 300, {}},
          {13, 300, {}},
          {14, 300, {6}},
          {15, 290, {}}},
         // Stored as computed (290 of 1000 times 100), so that it reads back the same.
         {{MinProzent.at(1), "28.999999999999996"}, {Betankungsfall.at(1), "0"}}},
        {"alarm mode 1: a clearing alarm mails nothing but stores every tank's level",
         {{LetzteEmail, "now"}, {Alarmmode, "1"}, {MelderasterLast.at(1), "50"}},
         {{0, 500, {}, 0, 0}},
         {{MelderasterLast.at(2), "70"}}},
        {"alarm start and end: the level rules wait for the message and see it sent",
         {{MelderasterLast.at(1), "50"}},
         {{0, 500, {1}, 0, 1}, {1, 500, {2}, 0, 0}}},
        {"threshold 20: from 25% to 19% is low at once; 18% then is nothing",
         {{LetzteEmail, "now"}, {Schwelle2, "20"}, {MelderasterLast.at(1), "25"}},
         {{0, 190, {3}}, {1, 180, {}}},
         {{MelderasterLast.at(1), "19"}}},
        {"a level at the threshold takes the first interval",
         {{LetzteEmail, "now"}, {Schwelle2, "20"}, {MelderasterLast.at(1), "20"}},
         {{200 * 60, 200, {}}, {744 * 60 - 1, 200, {}}, {744 * 60, 200, {4}}}},
        {"a measurement 61 minutes old is skipped, 60 is not",
         {{MelderasterLast.at(1), "50"}},
         {{0, 500, {}, 61}, {1, 500, {4}, 60}}},
        // Hand-edited values that are no positive numbers count as their defaults.
        {"a raster \"x\" counts as 10, a minimum \"x\" as 100",
         {{LetzteEmail, "now"}, {Melderaster, "x"}, {MinProzent.at(1), "x"}, {MelderasterLast.at(1), "50"}},
         {{0, 490, {}}, {1, 410, {}}, {2, 400, {4}}},
         {{MinProzent.at(1), "40"}, {Betankungsfall.at(1), "<absent>"}}},
        {"a refuelling delta 0 counts as 2, refuelling minutes \"x\" as 10",
         {{LetzteEmail, "now"},
          {MelderasterLast.at(1), "20"},
          {DeltaProzentBetankung.at(1), "0"},
          {DeltaMinutenBetankung, "x"}},
         {{0, 200, {}}, {1, 210, {}}, {2, 225, {5}}, {3, 300, {}}, {12, 300, {}}, {13, 300, {6}}}},
        {"refuelling minutes 2.5: the end 2.5 minutes after the rise, as written",
         {{LetzteEmail, "now"}, {MelderasterLast.at(1), "20"}, {DeltaMinutenBetankung, "2.5"}},
         {{0, 200, {}}, {1, 225, {5}}, {3.4, 225, {}}, {3.5, 225, {6}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        storeOnly(c.stored);
        for (const Step &s : c.steps)
            EXPECT_EQ(reading(s.minute, s.volumen, s.age, s.alarm), s.reasons) << "minute " << s.minute;
        for (const auto &[key, value] : c.after)
            EXPECT_EQ(settings.read(key, QStringLiteral("<absent>")), QString::fromLatin1(value)) << key.key;
    }
}

// A message still out when an alarm or the end of a refuelling comes: each is
// mailed after it, in order.
TEST_F(EmailRulesTest, EventsWhileAMessageIsOutAreMailedAfterItInOrder)
{
    using namespace Cfg::Email;
    struct Case {
        const char *name;
        QList<std::pair<IniKey, QString>> stored;
        QList<std::tuple<int, int, int>> steps; // minute, volumen, alarm; the first starts a message
        QList<int> reasons;
    };
    const Case cases[] = {
        {"an alarm that starts and ends",
         {{LetzteEmail, "now"}},
         {{0, 500, -1}, {0, 500, 1}, {0, 500, 0}},
         {ReasonCyclic, ReasonAlarmStart, ReasonAlarmEnd}},
        {"the end of a refuelling",
         {{LetzteEmail, "now"},
          {MelderasterLast.at(1), "50"},
          {MinProzent.at(1), "20"},
          {Betankungsfall.at(1), "1"},
          {BetankungMax.at(1), "50"},
          {BetankungEnde.at(1), FormatDateText(start.addSecs(-9 * 60))}},
         {{0, 500, 1}, {2, 500, -1}},
         {ReasonAlarmStart, ReasonRefuelEnd}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        storeOnly(c.stored);
        const qsizetype before = sent.size();
        for (const auto &[minute, volumen, alarm] : c.steps) {
            EXPECT_TRUE(sent.size() == before || email.busy()) << "the first message is still out";
            reading(minute, volumen, 0, alarm, false);
        }
        ASSERT_TRUE(WaitFor([&] { return !email.busy(); }));
        EXPECT_EQ(reasonsFrom(before), c.reasons);
    }
}

// The e-mail about a silent tank; each check with what the rules rely on
// read anew from the settings, as after a restart.
TEST_F(EmailRulesTest, SilentTankMailedOnceAndOnceWhenBack)
{
    // "StilleStunden", "StilleGemeldet1", the minute of tank 1's last telegram; each step: its minute,
    // whether a telegram comes before the check, the reason mailed; client mode.
    struct Case {
        const char *name;
        struct {
            int hours, reported, lastTelegram;
        } stored;
        QList<std::tuple<int, bool, QString>> steps;
        bool client = false;
    };
    const QString silent = QStringLiteral("Keine Messung seit 24 h"),
                  back = QStringLiteral("Messungen wieder empfangen");
    const Case cases[] = {
        {"once, and again after a return and a new silence",
         {24, 0, 0},
         {{1440, false, ""},
          {1441, false, silent},
          {1442, false, ""},
          {2001, true, back},
          {3442, false, silent}}},
        {"0 is off and forgets a reported silence", {0, 1, 0}, {{5000, false, ""}, {5001, true, ""}}},
        {"client mode sends nothing", {24, 0, 0}, {{1441, false, ""}, {1442, true, ""}}, true},
    };
    devices.DeviceCount = 1;
    for (const Case &c : cases) {
        settings.write(Cfg::Email::StilleStunden, c.stored.hours);
        settings.write(Cfg::Email::StilleGemeldet.at(1), c.stored.reported);
        config.clientMode = c.client;
        devices[1].Uhrzeit = start.addSecs(c.stored.lastTelegram * 60);
        for (const auto &[minute, telegram, mailed] : c.steps) {
            now = start.addSecs(minute * 60);
            values.unload();
            SilenceAlarm silence(devices, values, settings, config, clock, email);
            if (telegram)
                devices[1].Uhrzeit = now;
            const qsizetype before = sent.size();
            silence.CheckSilence();
            ASSERT_TRUE(WaitFor([&] { return !email.busy(); }));
            EXPECT_EQ(sent.size() - before, mailed.isEmpty() ? 0 : 1) << c.name << minute;
            EXPECT_TRUE(mailed.isEmpty() || sent.last().second.startsWith(mailed + " : "))
                << c.name << minute;
        }
    }
}

TEST_F(EmailRulesTest, RefuellingStartReportsTheMinimumAndLeavesTheTableAlone)
{
    settings.write(Cfg::Email::LetzteEmail, FormatDateText(now));
    settings.write(Cfg::Email::MelderasterLast.at(1), QStringLiteral("20"));
    reading(0, 200);
    ASSERT_EQ(reading(1, 225), QList<int>{ReasonRefuelStart});
    EXPECT_EQ(snapshots.volumes, QList<qint32>{200});
    // Nobody writes the reported content into the shared table.
    EXPECT_EQ(snapshots.inTable, QList<qint32>{225});
    EXPECT_TRUE(sent.last().second.startsWith(QStringLiteral("Betankung Start : 20% von")))
        << sent.last().second.toStdString();
    EXPECT_EQ(devices[1].Volumen, 225);
    EXPECT_EQ(settings.read(Cfg::Email::MelderasterLast.at(1)), "22.5");
}

TEST_F(EmailRulesTest, RecipientsStatusTextsAndFailures)
{
    // Function off, or the tank not taking part: nothing composed, status bar untouched.
    settings.write(Cfg::Email::Aktiv, 0);
    EXPECT_EQ(reading(0, 500), QList<int>{});
    settings.write(Cfg::Email::Aktiv, 1);
    settings.write(Cfg::Device::EmailAktiv.at(1), 0);
    values.unload();
    EXPECT_EQ(reading(1, 500), QList<int>{});
    EXPECT_EQ(ui.panelText(1), "");
    EXPECT_EQ(settings.read(Cfg::Email::LetzteEmail), "0");

    // The test button mails even with the function off, with the values the dialog shows.
    EmailValues shown = values.values();
    shown.aktiv = false;
    shown.empfaenger[0] = QStringLiteral("a@example.org");
    shown.empfaenger[1] = QStringLiteral("b@example.org");
    now = start.addSecs(120);
    ASSERT_TRUE(email.SendTestEmail(1, shown));
    EXPECT_EQ(ui.panelText(1), "Email wird gesendet ...");
    EXPECT_FALSE(email.SendTestEmail(1, shown)); // busy
    ASSERT_TRUE(WaitFor([&] { return !email.busy(); }));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].first + " " + sent[1].first, "a@example.org b@example.org");
    EXPECT_TRUE(sent[0].second.startsWith(QStringLiteral("Manuell ausgelöst : ")));
    EXPECT_TRUE(ui.panelText(1).startsWith(QStringLiteral("Email wurde gesendet: ")));
    EXPECT_EQ(settings.read(Cfg::Email::LetzteEmail), FormatDateText(now));
    EXPECT_EQ(ui.cursor, (QList<bool>{true, false}));

    // The first recipient fails: the second is not tried, "LetzteEmail" stays.
    failures = {5};
    now = start.addSecs(600);
    ASSERT_TRUE(email.SendTestEmail(1, shown));
    ASSERT_TRUE(WaitFor([&] { return !email.busy(); }));
    EXPECT_EQ(sent.size(), 3);
    EXPECT_EQ(ui.texts().value(0), "Senden der Email fehlgeschlagen: Fehler 9999 Timeout occurred, Error #5");
    EXPECT_EQ(ui.panelText(1), "");
    EXPECT_EQ(settings.read(Cfg::Email::LetzteEmail), FormatDateText(start.addSecs(120)));
}

} // namespace
