#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

// The mail server settings of the e-mail dialog.
struct SmtpServer {
    QString host;
    QString port = QStringLiteral("587"); // 465: TLS from the first byte
    bool startTls = true;                 // TLS required before anything else is sent
    bool login = true;
    QString userName, password;
    QString sender;
};

// How this run reaches mail servers (set up by the application).
struct SmtpTransport {
    QString caFile;               // PEM bundle to verify against; empty: the system's store
    int connectTimeoutMs = 30000; // until the server has greeted and the session is set up
    int totalTimeoutMs = 60000;   // the whole message
};

// The outcome of one message to one recipient.
struct SmtpResult {
    bool sent = false;
    int errCode = 0;        // the codes of the error table (3, 4, 5, 6, 114, ...) or libcurl's
    QString errDesc;        // the transport's own description
    QString serverResponse; // the server's last reply line, "" when there was none
};

// The user's text for a failure: the table text of the code (or the
// transport's description), ", Error #" and the code, then on a second line
// "Server responded: " and the reply when there is one.
QString SMTP_GetError(int errCode, const QString &errDesc, const QString &serverResponse);
inline QString SMTP_GetError(const SmtpResult &r)
{
    return SMTP_GetError(r.errCode, r.errDesc, r.serverResponse);
}

// One plain mailbox as the envelope takes it: local part "@" domain, no
// angle brackets, blanks, control characters or list separators (a "Name
// <addr>" or a ">" would put more into MAIL FROM or RCPT TO than an address).
// Blanks around it do not count. Non-ASCII letters are allowed (SMTPUTF8).
bool IsPlainAddress(const QString &address);

// The message as it goes over the wire: Date, From, To, Subject (an encoded
// word when not plain ASCII), Message-ID and MIME headers for UTF-8 text,
// then the body with CR LF line ends.
QByteArray BuildMailMessage(const QString &sender, const QString &recipient, const QString &subject,
                            const QString &body, const QDateTime &date);

// A header value as RFC 2047 encoded words when it is not plain printable
// ASCII, folded so that no line grows past 76 characters.
QByteArray EncodeHeaderText(const QString &text);
