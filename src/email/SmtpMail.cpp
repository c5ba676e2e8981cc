#include "SmtpMail.h"

#include <QLocale>
#include <QUuid>
#include <cstdlib>

namespace
{

// Control characters in a header value would start a new header line.
QString oneLine(QString s)
{
    for (QChar &c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return s;
}

bool plainAscii(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

// "Thu, 05 Dec 2026 15:09:54 +0100" whatever the locale.
QByteArray rfc2822Date(const QDateTime &t)
{
    const QLocale c = QLocale::c();
    const int offset = t.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    return (c.toString(t, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

QByteArray crLfLines(const QString &text)
{
    QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size() + in.size() / 32 + 2);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char ch = in[i];
        if (ch == '\r') {
            out += "\r\n";
            if (i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
        } else if (ch == '\n') {
            out += "\r\n";
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace

QString SMTP_GetError(int errCode, const QString &errDesc, const QString &serverResponse)
{
    QString text;
    switch (errCode) {
    case 3:
        text = QStringLiteral("No machine under this name");
        break;
    case 4:
        text = QStringLiteral("No such IP or mail service is not available");
        break;
    case 5:
        text = QStringLiteral("Timeout occurred");
        break;
    case 6:
        text = QStringLiteral("Connection aborted by the server");
        break;
    case 8:
        text = QStringLiteral("Unknown connection error");
        break;
    case 111:
        text = QStringLiteral("Authentication is not supported");
        break;
    case 112:
        text = QStringLiteral("Unsupported authentication method");
        break;
    case 113:
        text = QStringLiteral("Unknown authentication error");
        break;
    case 114:
    case 213:
        text = QStringLiteral("Wrong password or username");
        break;
    case 115:
        text = QStringLiteral("Local machine name not resolved");
        break;
    case 116:
        text = QStringLiteral("Unknown SMTP error");
        break;
    case 121:
        text = QStringLiteral("At least one sender and recipient must be specified");
        break;
    case 122:
        text = QStringLiteral("The sender specified is not allowed by this mail server");
        break;
    case 123:
        text = QStringLiteral("One or more recipients were rejected by the mail server");
        break;
    default:
        text = errDesc;
        break;
    }
    text += QStringLiteral(", Error #") + QString::number(errCode);
    if (!serverResponse.isEmpty())
        text += QStringLiteral("\r\nServer responded: ") + serverResponse;
    return text;
}

bool IsPlainAddress(const QString &address)
{
    const QString a = address.trimmed();
    const qsizetype at = a.indexOf(QLatin1Char('@'));
    if (at <= 0 || at != a.lastIndexOf(QLatin1Char('@')) || at == a.size() - 1)
        return false;
    const QString domain = a.mid(at + 1);
    if (domain.startsWith(QLatin1Char('.')) || domain.endsWith(QLatin1Char('.')))
        return false;
    static const QString forbidden = QStringLiteral("<>()[],;:\\\"");
    for (QChar c : a)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.isSpace() ||
            c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            forbidden.contains(c))
            return false;
    return true;
}

QByteArray EncodeHeaderText(const QString &text)
{
    const QString line = oneLine(text);
    if (plainAscii(line))
        return line.toLatin1();
    // Chunks of whole characters of at most 45 bytes: 60 base64 characters,
    // 72 with the markers, so every folded line stays within 76.
    QByteArray out;
    QByteArray chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        qsizetype len = line.at(i).isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        const QByteArray ch = line.mid(i, len).toUtf8();
        i += len - 1;
        if (chunk.size() + ch.size() > 45)
            flush();
        chunk += ch;
    }
    flush();
    return out;
}

QByteArray BuildMailMessage(const QString &sender, const QString &recipient, const QString &subject,
                            const QString &body, const QDateTime &date)
{
    const QString from = oneLine(sender).trimmed();
    const qsizetype at = from.lastIndexOf(QLatin1Char('@'));
    QString domain = at >= 0 ? from.mid(at + 1) : QString();
    if (domain.isEmpty() || !plainAscii(domain))
        domain = QStringLiteral("tankmon.invalid");
    const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    const QByteArray bodyBytes = crLfLines(body);
    bool ascii = true;
    for (char ch : bodyBytes)
        ascii &= quint8(ch) < 0x80;

    QByteArray m;
    m += "Date: " + rfc2822Date(date) + "\r\n";
    m += "From: " + from.toUtf8() + "\r\n";
    m += "To: " + oneLine(recipient).trimmed().toUtf8() + "\r\n";
    m += "Subject: " + EncodeHeaderText(subject) + "\r\n";
    m += "Message-ID: <" + id + "@" + domain.toLatin1() + ">\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += QByteArray("Content-Transfer-Encoding: ") + (ascii ? "7bit" : "8bit") + "\r\n";
    m += "\r\n";
    m += bodyBytes;
    if (!m.endsWith("\r\n"))
        m += "\r\n";
    return m;
}
