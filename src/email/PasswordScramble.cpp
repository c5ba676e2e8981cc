#include "PasswordScramble.h"

#include "core/Cp1252.h"
#include "core/IniStore.h"

namespace
{

const QChar kEncodedMark = QLatin1Char('~');

QByteArray combined(QByteArray bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(quint8(bytes[i]) ^ quint8(i + 1));
    return bytes;
}

} // namespace

QString StoredPassword(const QString &plain)
{
    if (plain.size() <= kIniMaxValueLength && Cp1252::Holds(plain)) {
        const QString s = Cp1252::decode(combined(Cp1252::encode(plain)));
        const bool breaks = s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')) ||
                            s.contains(QChar(0)) || s.startsWith(kEncodedMark);
        // The settings store quotes it where a reader would change it.
        if (!breaks)
            return s;
    }
    return kEncodedMark + QString::fromLatin1(combined(plain.toUtf8()).toBase64());
}

QString PasswordFromStored(const QString &stored)
{
    if (stored.startsWith(kEncodedMark)) {
        const auto result =
            QByteArray::fromBase64Encoding(stored.mid(1).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        // Anything else is an old stored form (of a password starting with DEL).
        if (result && stored.mid(1) == QString::fromLatin1(result.decoded.toBase64())) {
            const QByteArray utf8 = combined(result.decoded);
            const QString plain = QString::fromUtf8(utf8);
            if (plain.toUtf8() == utf8)
                return plain;
        }
    }
    return Cp1252::decode(combined(Cp1252::encode(stored)));
}
