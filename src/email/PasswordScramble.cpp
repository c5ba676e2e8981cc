#include "PasswordScramble.h"

#include "core/Cp1252.h"

QString ScramblePassword(const QString &text)
{
    QByteArray bytes = Cp1252::encode(text);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(quint8(bytes[i]) ^ quint8(i + 1));
    return Cp1252::decode(bytes);
}
