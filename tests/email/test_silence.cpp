// The e-mail about a silent tank: telegrams through the real sequence, a
// settable clock and a real mail server (aiosmtpd).
#include "SmtpPeer.h"
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"
#include "email/SilenceAlarm.h"

TEST_F(UiTest, SilentTankMailedOnceAndOnceWhenBack)
{
    SmtpPeer peer({});
    // No level report in between: a raster of 100 %, a cyclic report monthly.
    writeBytes(iniPath(), "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\nSTARTTLS=0\r\n"
                          "Login=0\r\nAbsenderEmail=tankmon@example.org\r\nMelderaster=100\r\nBetreff=%21 %15 / SN %07\r\n"
                          "SMTPPort=" + QByteArray::number(peer.port()) + "\r\nLetzteEmail=" + FormatDateText(now).toLatin1());
    TankController tanks{config, settings, ui, clock};
    EmailSettings values{settings, tanks.table()};
    SmtpSender sender{SmtpTransport()};
    HistoryHooks history;
    std::unique_ptr<EmailNotifier> email;
    std::unique_ptr<SilenceAlarm> alarm;
    // Everything but the tank records built anew before every check, as after
    // a restart: nothing the rules rely on may stay in memory.
    const auto restart = [&] {
        values.unload();
        email = std::make_unique<EmailNotifier>(tanks.table(), values, settings, ui, clock, history,
                                                std::bind_front(&SmtpSender::SMTP_Send, &sender),
                                                [] { return MessageContext(); }, [] { return false; });
        tanks.setEmailHooks(email.get());
        alarm = std::make_unique<SilenceAlarm>(tanks.table(), values, settings, config, clock, *email);
    };
    // "StilleStunden", "StilleGemeldet1", the minute of tank 1's last telegram; each step: its minute,
    // whether a telegram comes before the check, the reason mailed; client mode.
    struct Case { const char *name; int hours, reported, lastTelegram; QList<std::tuple<int, bool, QString>> steps;
                  bool client = false; };
    const QString silent = QStringLiteral("Keine Messung seit 24 h"), back = QStringLiteral("Messungen wieder empfangen");
    const Case cases[] = {
        {"once, and again after a return and a new silence", 24, 0, 0,
         {{1440, false, ""}, {1441, false, silent}, {1442, false, ""}, {2001, true, back}, {3442, false, silent}}},
        {"days of downtime: once, with the hours", 24, 0, -4320, {{1, false, "Keine Messung seit 72 h"}, {2, false, ""}}},
        {"the limit in hours", 2, 0, 0, {{120, false, ""}, {121, false, "Keine Messung seit 2 h"}, {122, false, ""}}},
        {"0 is off and forgets a reported silence", 0, 1, 0, {{5000, false, ""}, {5001, true, ""}}},
        {"client mode sends nothing", 24, 0, 0, {{1441, false, ""}, {1442, true, ""}}, true},
    };
    const QDateTime start = now;
    qsizetype sent = 0;
    restart();
    ASSERT_TRUE(tanks.EvalTelegramm(Telegram{}.bytes(), QString()));
    for (const Case &c : cases) {
        settings.write(Cfg::Email::StilleStunden, c.hours);
        settings.write(Cfg::Email::StilleGemeldet.at(1), c.reported);
        config.clientMode = c.client;
        tanks.table()[1].Uhrzeit = start.addSecs(c.lastTelegram * 60);
        for (const auto &[minute, telegram, mailed] : c.steps) {
            now = start.addSecs(minute * 60);
            restart();
            if (telegram)
                tanks.EvalTelegramm(Telegram{}.bytes(), QString());
            alarm->CheckSilence();
            sent += mailed.isEmpty() ? 0 : 1;
            ASSERT_TRUE(WaitFor([&] { return !email->busy() && peer.messages().size() == sent; }, 30000)) << minute;
            const QByteArray subject = "Subject: " + mailed.toUtf8() + " : Tank 1 / SN 4711\r\n";
            EXPECT_TRUE(mailed.isEmpty() || peer.messages().last().second.contains(subject)) << c.name << minute;
        }
    }
}
