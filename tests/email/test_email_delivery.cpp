// Telegrams through the real evaluation sequence while the real sender waits
// on a mail server that accepts and never answers. (An alarm mailed to a real
// server by the real program: Processes.HeadlessMailsAnAlarm.)
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"

#include <QTcpServer>

namespace
{

using EmailDeliveryTest = UiTest;

TEST_F(EmailDeliveryTest, SilentServerEndsWithTheTimeoutWhileTelegramsAreEvaluated)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        silent.nextPendingConnection();
        ++connections;
    });
    using namespace Cfg::Email;
    settings.write(Aktiv, 1);
    settings.write(Empfaenger1, QStringLiteral("service@example.org"));
    settings.write(SMTPServer, QStringLiteral("127.0.0.1"));
    settings.write(SMTPPort, silent.serverPort());
    settings.write(STARTTLS, 0);
    settings.write(Login, 0);
    settings.write(AbsenderEmail, QStringLiteral("tankmon@example.org"));
    settings.write(LetzteEmail, FormatDateText(now)); // no cyclic report in between
    TankController tanks{config, settings, ui, clock};
    EmailSettings values{settings, tanks.table()};
    SmtpTransport transport;
    transport.connectTimeoutMs = 600;
    transport.totalTimeoutMs = 1500;
    SmtpSender sender(transport);
    HistoryHooks history;
    EmailNotifier email(
        tanks.table(), values, settings, ui, clock, history,
        [&](const SmtpServer &server, const QString &to, const QString &subject, const QString &body,
            SmtpSender::Done done) { sender.SMTP_Send(server, to, subject, body, std::move(done)); },
        [] { return MessageContext(); }, [] { return false; });
    tanks.setEmailHooks(&email);
    auto alarm = [&](int level) {
        return tanks.EvalTelegramm(Telegram{.status = 1, .levelWord = Bcd(level)}.bytes(), QString());
    };

    ASSERT_TRUE(alarm(999));
    ASSERT_TRUE(email.busy());
    // Meanwhile every telegram is evaluated; the rules make no decision.
    int level = 1000;
    while (email.busy()) {
        ASSERT_TRUE(alarm(level));
        EXPECT_EQ(tanks.device(1).Volumen, level);
        ++level;
        WaitFor([] { return false; }, 20);
    }
    EXPECT_GE(level, 1020);
    EXPECT_EQ(connections, 1);
    const QString timedOut =
        QStringLiteral("Senden der Email fehlgeschlagen: Fehler 9999 Timeout occurred, Error #5");
    EXPECT_TRUE(WaitFor([&] { return ui.texts().contains(timedOut); })) << ui.texts().join('\n').toStdString();
    tanks.setEmailHooks(nullptr);
}

} // namespace
