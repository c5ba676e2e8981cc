// Telegrams through the real evaluation sequence to a real mail server
// (aiosmtpd), and to one that accepts and never answers.
#include "SmtpPeer.h"
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <algorithm>
#include <iostream>

namespace
{

class EmailDeliveryTest : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        tanks.setEmailHooks(&email);
        using namespace Cfg::Email;
        settings.write(Aktiv, 1);
        settings.write(Empfaenger1, QStringLiteral("service@example.org"));
        settings.write(SMTPServer, QStringLiteral("127.0.0.1"));
        settings.write(STARTTLS, 0);
        settings.write(Login, 0);
        settings.write(AbsenderEmail, QStringLiteral("tankmon@example.org"));
        settings.write(Betreff, QStringLiteral("%21 %15 / SN %07"));
        settings.write(LetzteEmail, FormatDateText(now)); // no cyclic report in between
    }
    bool alarm(bool on, int level = 1234)
    {
        return tanks.EvalTelegramm(Telegram{.status = on ? 1 : 0, .levelWord = Bcd(level)}.bytes(),
                                   QString());
    }

    TankController tanks{config, settings, ui, clock};
    EmailSettings values{settings, tanks.table()};
    SmtpTransport transport;
    SmtpSender sender{transport};
    HistoryHooks history;
    EmailNotifier email{
        tanks.table(),
        values,
        settings,
        ui,
        clock,
        history,
        [this](const SmtpServer &server, const QString &to, const QString &subject, const QString &body,
               SmtpSender::Done done) { sender.SMTP_Send(server, to, subject, body, std::move(done)); },
        [] { return MessageContext(); },
        [] { return false; }};
};

TEST_F(EmailDeliveryTest, AlarmTelegramsAreMailedWithTheExactSubject)
{
    SmtpPeer peer({});
    ASSERT_NE(peer.port(), 0);
    settings.write(Cfg::Email::SMTPPort, peer.port());

    // Alarm on and off in turn: each change is one message. The time from
    // the telegram to the server's acceptance is printed for the record.
    QList<qint64> ms;
    for (int i = 0; i < 8; ++i) {
        const bool on = i % 2 == 0;
        QElapsedTimer t;
        t.start();
        ASSERT_TRUE(alarm(on));
        ASSERT_TRUE(WaitFor([&] { return peer.messages().size() == i + 1; }, 30000))
            << ui.texts().join('\n').toStdString();
        ms << t.elapsed();
        ASSERT_TRUE(WaitFor([&] { return !email.busy(); }));
        const QByteArray message = peer.messages().last().second;
        const QByteArray subject =
            on ? "Subject: Alarm ! : Tank 1 / SN 4711\r\n" : "Subject: Alarm beendet! : Tank 1 / SN 4711\r\n";
        EXPECT_TRUE(message.contains(subject)) << message.constData();
    }
    EXPECT_EQ(peer.messages().first().first, "tankmon@example.org service@example.org");
    EXPECT_TRUE(ui.panelText(1).startsWith(QStringLiteral("Email wurde gesendet: ")));
    std::sort(ms.begin(), ms.end());
    std::cout << "[ latency ] alarm telegram to message accepted, median of " << ms.size() << ": "
              << (ms[3] + ms[4]) / 2 << " ms (min " << ms.first() << ", max " << ms.last() << ")"
              << std::endl;
}

TEST_F(EmailDeliveryTest, SilentServerEndsWithTheTimeoutWhileTelegramsAreEvaluated)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        silent.nextPendingConnection();
        ++connections;
    });
    settings.write(Cfg::Email::SMTPPort, silent.serverPort());
    transport.connectTimeoutMs = 600;
    transport.totalTimeoutMs = 1500;
    SmtpSender quick(transport);
    EmailNotifier quickEmail(
        tanks.table(), values, settings, ui, clock, history,
        [&](const SmtpServer &server, const QString &to, const QString &subject, const QString &body,
            SmtpSender::Done done) { quick.SMTP_Send(server, to, subject, body, std::move(done)); },
        [] { return MessageContext(); }, [] { return false; });
    tanks.setEmailHooks(&quickEmail);

    ASSERT_TRUE(alarm(true));
    ASSERT_TRUE(quickEmail.busy());
    // Meanwhile every telegram is evaluated; the rules make no decision.
    int level = 1000;
    while (quickEmail.busy()) {
        ASSERT_TRUE(alarm(true, level));
        EXPECT_EQ(tanks.device(1).Volumen, level);
        ++level;
        WaitFor([] { return false; }, 20);
    }
    EXPECT_GE(level, 1020);
    EXPECT_EQ(connections, 1);
    const QString timedOut =
        QStringLiteral("Senden der Email fehlgeschlagen: Fehler 9999 Timeout occurred, Error #5");
    EXPECT_TRUE(WaitFor([&] { return ui.texts().contains(timedOut); }))
        << ui.texts().join('\n').toStdString();
    tanks.setEmailHooks(nullptr);
}

} // namespace
