// Telegrams through the real evaluation sequence and the real sender, a
// settable clock and a mail server of the test's own. (Mails of the program as
// its start-up builds it: LossRoad; the order of messages queued behind one
// that is out, and the silent tank: the rules test.)
#include "SmtpPeer.h"
#include "support/Fixtures.h"

#include "core/DateText.h"
#include "email/EmailNotifier.h"
#include "email/SmtpMail.h"

#include <QScopeGuard>
#include <QTcpServer>

using Mailing = UiTest;

// A mail server that accepts and never answers: meanwhile every telegram is
// evaluated (none makes a message due); the sender ends with its timeout.
TEST_F(Mailing, SilentServerEndsWithTheTimeoutWhileTelegramsAreEvaluated)
{
    QTcpServer silent; // its connections are taken and left waiting
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    // No cyclic report in between.
    writeBytes(iniPath(),
               MailSettings(silent.serverPort()) + "LetzteEmail=" + FormatDateText(now).toLatin1() + "\r\n");
    TankController tanks{switches, settings, ui, texts, clock};
    EmailSettings values{settings, tanks.table()};
    HistoryHooks history;
    SmtpSender sender(SmtpTransport{{}, 600, 1500});
    EmailNotifier email(
        tanks.table(), values, settings, ui, texts, clock, history,
        std::bind_front(&SmtpSender::SMTP_Send, &sender), [] { return MessageContext(); },
        [] { return false; });
    tanks.setEmailHooks(&email);
    const auto unhook = qScopeGuard([&] { tanks.setEmailHooks(nullptr); });
    int level = 999;
    do {
        ASSERT_TRUE(tanks.EvalTelegramm(Telegram{.status = 1, .levelWord = Bcd(level)}.bytes(), {}));
        EXPECT_EQ(tanks.device(1).Volumen, level);
        ++level;
        WaitFor([] { return false; }, 10);
    } while (email.busy());
    EXPECT_GE(level, 1020);
    EXPECT_NE(silent.nextPendingConnection(), nullptr);
    EXPECT_FALSE(silent.hasPendingConnections()) << "one connection";
    const QString timedOut =
        QStringLiteral("Senden der Email fehlgeschlagen: Fehler 9999 Timeout occurred, Error #5");
    EXPECT_TRUE(WaitFor([&] { return ui.texts().contains(timedOut); }))
        << ui.texts().join('\n').toStdString();
}
