// Telegrams through the real evaluation sequence and the real sender, a
// settable clock and mail servers of the test's own. (A mail of the
// real program: Mqtt.LossMailAndConsumptionMeterAcrossAKill.)
#include "SmtpPeer.h"
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"
#include "email/SilenceAlarm.h"
#include "email/SmtpMail.h"

#include <QTcpServer>

namespace
{

class Mailing : public UiTest
{
protected:
    void TearDown() override { tanks.setEmailHooks(nullptr); }
    // The mail server on port; no cyclic report in between.
    void configure(quint16 port, const QByteArray &extra = {})
    {
        writeBytes(iniPath(),
                   MailSettings(port) + "LetzteEmail=" + FormatDateText(now).toLatin1() + "\r\n" + extra);
    }
    // Everything but the tank records built anew, as after a restart.
    void restart(SmtpSender &sender)
    {
        values.unload();
        email = std::make_unique<EmailNotifier>(
            tanks.table(), values, settings, ui, texts, clock, history,
            std::bind_front(&SmtpSender::SMTP_Send, &sender), [] { return MessageContext(); },
            [] { return false; });
        tanks.setEmailHooks(email.get());
    }
    bool alarm(int level)
    {
        return tanks.EvalTelegramm(Telegram{.status = 1, .levelWord = Bcd(level)}.bytes(), {});
    }

    TankController tanks{switches, settings, ui, texts, clock};
    EmailSettings values{settings, tanks.table()};
    HistoryHooks history;
    std::unique_ptr<EmailNotifier> email;
};

} // namespace

// A mail server that accepts and never answers: meanwhile every telegram is
// evaluated (none makes a message due); the sender ends with its timeout.
TEST_F(Mailing, SilentServerEndsWithTheTimeoutWhileTelegramsAreEvaluated)
{
    QTcpServer silent; // its connections are taken and left waiting
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    configure(silent.serverPort());
    SmtpSender sender(SmtpTransport{{}, 600, 1500});
    restart(sender);
    ASSERT_TRUE(alarm(999));
    ASSERT_TRUE(email->busy());
    int level = 1000;
    while (email->busy()) {
        ASSERT_TRUE(alarm(level));
        EXPECT_EQ(tanks.device(1).Volumen, level);
        ++level;
        WaitFor([] { return false; }, 10);
    }
    EXPECT_GE(level, 1020);
    EXPECT_NE(silent.nextPendingConnection(), nullptr);
    EXPECT_FALSE(silent.hasPendingConnections()) << "one connection";
    const QString timedOut =
        QStringLiteral("Senden der Email fehlgeschlagen: Fehler 9999 Timeout occurred, Error #5");
    EXPECT_TRUE(WaitFor([&] { return ui.texts().contains(timedOut); }))
        << ui.texts().join('\n').toStdString();
}

// The e-mail about a silent tank, through a real mail server (aiosmtpd).
TEST_F(Mailing, SilentTankMailedOnceAndOnceWhenBack)
{
    SmtpPeer peer({});
    configure(peer.port, "Melderaster=100\r\n"); // no level report in between
    SmtpSender sender{SmtpTransport()};
    std::unique_ptr<SilenceAlarm> silence;
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
        {"days of downtime: once, with the hours",
         {24, 0, -4320},
         {{1, false, "Keine Messung seit 72 h"}, {2, false, ""}}},
        {"the limit in hours",
         {2, 0, 0},
         {{120, false, ""}, {121, false, "Keine Messung seit 2 h"}, {122, false, ""}}},
        {"0 is off and forgets a reported silence", {0, 1, 0}, {{5000, false, ""}, {5001, true, ""}}},
        {"client mode sends nothing", {24, 0, 0}, {{1441, false, ""}, {1442, true, ""}}, true},
    };
    const QDateTime start = now;
    qsizetype sent = 0;
    restart(sender);
    ASSERT_TRUE(tanks.EvalTelegramm(Telegram{}.bytes(), QString()));
    for (const Case &c : cases) {
        settings.write(Cfg::Email::StilleStunden, c.stored.hours);
        settings.write(Cfg::Email::StilleGemeldet.at(1), c.stored.reported);
        config.clientMode = c.client;
        tanks.table()[1].Uhrzeit = start.addSecs(c.stored.lastTelegram * 60);
        for (const auto &[minute, telegram, mailed] : c.steps) {
            now = start.addSecs(minute * 60);
            // Nothing the rules rely on may stay in memory.
            restart(sender);
            silence = std::make_unique<SilenceAlarm>(tanks.table(), values, settings, config, clock, *email);
            if (telegram)
                tanks.EvalTelegramm(Telegram{}.bytes(), QString());
            silence->CheckSilence();
            sent += mailed.isEmpty() ? 0 : 1;
            ASSERT_TRUE(WaitFor([&] { return !email->busy() && peer.messages.size() == sent; }, 30000))
                << minute;
            const QByteArray subject = "Subject: " + mailed.toUtf8() + " : Tank 1 / SN 4711\r\n";
            EXPECT_TRUE(mailed.isEmpty() || peer.messages.last().second.contains(subject))
                << c.name << minute;
        }
    }
}

// A slow mail server (every reply held back): an alarm, the end of a
// refuelling or a fall below the threshold that comes while a message is out
// is mailed after it, in order.
TEST_F(Mailing, EventsWhileAMessageIsOutAreMailedAfterItInOrder)
{
    SmtpPeer peer({"--delay", "0.15"});
    SmtpSender sender{SmtpTransport()};
    struct Step {
        int minute, status, level; // level: per 5000 of the capacity
    };
    struct Case {
        const char *name;
        QByteArray stored;
        QList<Step> steps; // the first starts a message, the others come while messages are out
        QStringList reasons;
    };
    const QByteArray nineMinutesAgo = FormatDateText(now.addSecs(-9 * 60)).toLatin1();
    const Case cases[] = {
        {"an alarm that starts and ends",
         "",
         {{0, 0, 2500}, {0, 1, 2500}, {0, 0, 2500}},
         {"Zyklische Meldung", "Alarm !", "Alarm beendet!"}},
        {"the end of a refuelling",
         "MelderasterLast1=50\r\nMinProzent1=20\r\nBetankungsfall1=1\r\nBetankungMax1=50\r\nBetankungEnde1=" +
             nineMinutesAgo + "\r\n",
         {{0, 1, 2500}, {2, 1, 2500}},
         {"Alarm !", "Betankung Ende"}},
        {"a fall below the threshold",
         "MelderasterLast1=50\r\n",
         {{0, 1, 2500}, {0, 1, 400}},
         {"Alarm !", QStringLiteral("Füllstand niedrig")}},
    };
    const QDateTime start = now;
    qsizetype mailed = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        now = start;
        configure(peer.port, c.stored);
        restart(sender);
        if (tanks.table().DeviceCount >= 1)
            tanks.table()[1].Alarm = false;
        for (const Step &s : c.steps) {
            now = start.addSecs(s.minute * 60);
            if (&s != &c.steps.first()) {
                ASSERT_TRUE(email->busy()) << "the first message is still out";
            }
            ASSERT_TRUE(
                tanks.EvalTelegramm(Telegram{.status = s.status, .levelWord = Bcd(s.level)}.bytes(), {}));
        }
        mailed += c.reasons.size();
        ASSERT_TRUE(WaitFor([&] { return !email->busy(); }, 60000));
        ASSERT_EQ(peer.messages.size(), mailed);
        for (qsizetype i = 0; i < c.reasons.size(); ++i) {
            const QByteArray &raw = peer.messages[mailed - c.reasons.size() + i].second;
            const QByteArray subject =
                "Subject: " + EncodeHeaderText(c.reasons[i] + QStringLiteral(" : Tank 1 / SN 4711")) + "\r\n";
            EXPECT_TRUE(raw.contains(subject)) << i << raw.constData();
        }
    }
    EXPECT_TRUE(ui.texts().filter(QStringLiteral("Senden der Email fehlgeschlagen")).isEmpty())
        << ui.texts().join('\n').toStdString();
}
