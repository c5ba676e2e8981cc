// The sender against real SMTP peers: aiosmtpd started by the test (plain,
// STARTTLS with login against the test's own certificate, refusing ones) and
// a port nobody listens on.
#include "SmtpPeer.h"

#include "email/SmtpSender.h"

#include <QProcess>
#include <QRegularExpression>
#include <sys/stat.h>

namespace
{

class SmtpTest : public ::testing::Test
{
protected:
    // A self-signed certificate for localhost, made with openssl: the test's own authority.
    static void SetUpTestSuite()
    {
        QProcess p;
        p.setWorkingDirectory(certs_.path());
        p.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                            "-keyout", "server.key", "-out", "server.pem", "-days", "2", "-subj",
                            "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
        ASSERT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0);
    }
    static QString cert(const char *name) { return certs_.filePath(QLatin1String(name)); }
    static QStringList tlsArgs() { return {"--tls", cert("server.pem"), cert("server.key")}; }

    static SmtpServer server(quint16 port, bool startTls, bool login)
    {
        return {"localhost", QString::number(port), startTls, login, "tank", "geheim", "tankmon@example.org"};
    }

    // Sends one message and waits for the outcome on the event loop.
    SmtpResult send(const SmtpServer &s, const QString &subject = "Test", const QString &body = "Hallo\r\n",
                    const QString &to = "service@example.org", std::optional<QString> caFile = {})
    {
        SmtpSender sender(SmtpTransport{caFile.value_or(caFile_ ? cert("server.pem") : QString())});
        std::optional<SmtpResult> result;
        sender.SMTP_Send(s, to, subject, body, [&](const SmtpResult &r) { result = r; });
        EXPECT_TRUE(WaitFor([&] { return result.has_value(); }, 30000));
        return result.value_or(SmtpResult{});
    }

    bool caFile_ = true;
    static inline QTemporaryDir certs_;
};

// Offered SMTPUTF8, a non-ASCII recipient goes out as it is, in the
// envelope and in To:.
TEST_F(SmtpTest, PlainDeliveryCarriesHeadersExactBodyAndANonAsciiRecipient)
{
    SmtpPeer peer({"--smtputf8"});
    const QString subject = QStringLiteral("Füllstand niedrig : 9% von 1000 L, Müller");
    const QString body = QStringLiteral("Zeile 1\r\n.Punkt am Anfang\r\nÖl: 57 %\r\n");
    const QString to = QStringLiteral("müller@example.org");
    const SmtpResult r = send(server(peer.port, false, false), subject, body, to);
    ASSERT_TRUE(r.sent) << SMTP_GetError(r).toStdString();

    ASSERT_TRUE(WaitFor([&] { return peer.messages.size() == 1; }));
    const auto [envelope, raw] = peer.messages.first();
    EXPECT_EQ(envelope, "tankmon@example.org " + to);
    const qsizetype split = raw.indexOf("\r\n\r\n");
    ASSERT_GT(split, 0);
    EXPECT_EQ(raw.mid(split + 4), body.toUtf8());
    const QByteArray headers = raw.left(split + 2);
    EXPECT_TRUE(headers.contains("Content-Type: text/plain; charset=UTF-8")) << headers.constData();
    EXPECT_TRUE(headers.contains("To: " + to.toUtf8() + "\r\n")) << headers.constData();
    // The subject as encoded words, folded; decoded it is the subject again.
    QByteArray decoded;
    static const QRegularExpression word(R"(^Subject:|\G\s*=\?UTF-8\?B\?([^?]*)\?=)");
    const QString fromSubject = QString::fromLatin1(headers.mid(headers.indexOf("Subject: ")));
    for (auto m = word.globalMatch(fromSubject); m.hasNext();)
        decoded += QByteArray::fromBase64(m.next().captured(1).toLatin1());
    EXPECT_EQ(QString::fromUtf8(decoded), subject);
    EXPECT_FALSE(peer.commands.join('\n').contains(QLatin1String("AUTH")));
    EXPECT_TRUE(peer.commands.filter("MAIL FROM:").value(0).endsWith(" SMTPUTF8"))
        << peer.commands.join('\n').toStdString();
}

TEST_F(SmtpTest, StartTlsWithLoginVerifiedAgainstTheTestsCertificate)
{
    SmtpPeer peer(tlsArgs() + QStringList{"--auth", "tank:geheim"});
    const SmtpResult r = send(server(peer.port, true, true));
    ASSERT_TRUE(r.sent) << SMTP_GetError(r).toStdString();
    ASSERT_TRUE(WaitFor([&] { return peer.messages.size() == 1; }));
    const QString cmds = peer.commands.join('\n');
    EXPECT_LT(cmds.indexOf("\nSTARTTLS"), cmds.indexOf("\nAUTH"));
    EXPECT_GE(cmds.indexOf("\nSTARTTLS"), 0);

    // The same server is refused when its certificate is checked against the system's store.
    caFile_ = false;
    const SmtpResult untrusted = send(server(peer.port, true, true));
    EXPECT_FALSE(untrusted.sent);
    EXPECT_EQ(untrusted.errCode, 60) << SMTP_GetError(untrusted).toStdString();
    EXPECT_EQ(peer.messages.size(), 1);
}

TEST_F(SmtpTest, RefusalsAndAnUnreachableServerGiveTheirTexts)
{
    struct Case {
        const char *name;
        QStringList args;
        bool startTls, login;
        int code;
        const char *reply; // the server's line the text ends with
    };
    const QList<Case> cases = {
        {"no STARTTLS while required", {"--auth", "tank:geheim"}, true, true, 64, "250 HELP"},
        {"wrong password", tlsArgs() + QStringList{"--auth", "tank:other"}, true, true, 114,
         "535 5.7.8 Authentication credentials invalid"},
        {"recipient refused", {"--reject-recipient"}, false, false, 123, "550 5.1.1 No such user here"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmtpPeer peer(c.args);
        const SmtpResult r = send(server(peer.port, c.startTls, c.login));
        EXPECT_FALSE(r.sent);
        EXPECT_EQ(r.errCode, c.code);
        EXPECT_TRUE(SMTP_GetError(r).endsWith(
            QStringLiteral(", Error #%1\r\nServer responded: %2").arg(c.code).arg(c.reply)))
            << SMTP_GetError(r).toStdString();
        EXPECT_TRUE(peer.messages.isEmpty());
        if (c.code == 64) { // the password never travels in the clear
            EXPECT_FALSE(peer.commands.join('\n').contains(QLatin1String("AUTH")));
        }
    }
    // Nobody listening. (A server that accepts and never answers: Mailing.SilentServerEndsWithTheTimeout...)
    const SmtpResult refused = send(server(FreeTcpPort(), true, true));
    EXPECT_EQ(SMTP_GetError(refused),
              QStringLiteral("No such IP or mail service is not available, Error #4"));
}

// What would put into the envelope something the user did not mean is
// refused, and nothing reaches MAIL FROM: a login the server does not offer,
// more than one address in a field, non-ASCII addresses without SMTPUTF8.
TEST_F(SmtpTest, EnvelopeRefusalsSendNothing)
{
    struct Case {
        const char *name;
        bool login;
        QString sender, to;
        int code;
        const char *says;
    };
    const QString sender = QStringLiteral("tankmon@example.org");
    const QList<Case> cases = {
        {"login ticked, no AUTH offered", true, sender, "service@example.org", 111,
         "Authentication is not supported, Error #111"},
        {"a display name in the sender", false, "Tankmon <tankmon@example.org>", "service@example.org", 43,
         "The sender is not one plain address"},
        {"parameters after a > in the recipient", false, sender, "service@example.org> RET=FULL", 43,
         "The recipient is not one plain address"},
        {"two recipients in one field", false, sender, "a@example.org,b@example.org", 43,
         "The recipient is not one plain address"},
        {"non-ASCII recipient, no SMTPUTF8 offered", false, sender, QStringLiteral("müller@example.org"),
         1001, "does not offer SMTPUTF8"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmtpPeer peer({});
        SmtpServer s = server(peer.port, false, c.login);
        s.sender = c.sender;
        const SmtpResult r = send(s, "Test", "Hallo\r\n", c.to);
        EXPECT_FALSE(r.sent);
        EXPECT_EQ(r.errCode, c.code);
        EXPECT_TRUE(SMTP_GetError(r).contains(QLatin1String(c.says))) << SMTP_GetError(r).toStdString();
        EXPECT_FALSE(peer.commands.join('\n').contains(QLatin1String("MAIL")))
            << peer.commands.join('\n').toStdString();
        EXPECT_TRUE(peer.messages.isEmpty());
    }
}

// TANKMON_SMTP_CAFILE naming a FIFO or a folder: that mail fails at once with
// a text naming it; a FIFO is never opened (that would block for ever).
TEST_F(SmtpTest, CaFileThatIsNoRegularFileFailsThatMailAtOnce)
{
    SmtpPeer peer(tlsArgs());
    QTemporaryDir dir;
    const QString fifo = dir.filePath("ca.pem");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &caFile : {fifo, dir.path()}) {
        SCOPED_TRACE(caFile.toStdString());
        const SmtpResult r =
            send(server(peer.port, true, false), "Test", "Hallo\r\n", "service@example.org", caFile);
        EXPECT_FALSE(r.sent);
        EXPECT_EQ(SMTP_GetError(r),
                  "TANKMON_SMTP_CAFILE is not a readable regular file: " + caFile + ", Error #77");
        EXPECT_TRUE(peer.commands.isEmpty());
    }
}

} // namespace
