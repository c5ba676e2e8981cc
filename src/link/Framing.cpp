#include "Framing.h"

#include "core/Cp1252.h"

#include <QLocale>

QByteArray ScanTelegrams(const QByteArray &buf, const std::function<bool(const QByteArray &)> &evaluate)
{
    const qsizetype len = buf.size();
    qsizetype i = 0;
    while (i < len) {
        if (buf[i] != kStx) {
            ++i;
            continue;
        }
        if (len - i < kTelegramLength)
            return buf.mid(i);
        i += evaluate(buf.mid(i, kTelegramLength)) ? kTelegramLength : 1;
    }
    return {};
}

namespace
{
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

qint32 HexToLong(const char *text, qsizetype len)
{
    quint32 v = 0;
    for (qsizetype i = 0; i < len && i < 8; ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0)
            break;
        v = (v << 4) | quint32(d);
    }
    return qint32(v);
}

QByteArray DecodeHexLine(const QByteArray &line)
{
    QByteArray out;
    out.reserve((line.size() + 1) / 2);
    for (qsizetype j = 0; j < line.size(); j += 2) {
        const qsizetype n = j + 1 < line.size() ? 2 : 1;
        out += char(HexToLong(line.constData() + j, n) & 0xFF);
    }
    return out;
}

QString TraceData(const QByteArray &bytes)
{
    QString s = Cp1252::decode(bytes);
    for (QChar &c : s)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char('_');
    return s;
}

QString ReceptionTimeText(const QDateTime &now)
{
    const QLocale l = QLocale::system();
    return l.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           now.time().toString(QStringLiteral("HH:mm:ss"));
}
