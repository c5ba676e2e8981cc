#include "Telegrams.h"

QByteArray Telegram::bytes() const
{
    // Byte 18, the checksum, is filled in below.
    const int fields[19] = {start,    kind,           type,      sn >> 8, sn,     temp,
                            status,   levelWord >> 8, levelWord, scale,   shape,  capacity >> 8,
                            capacity, height >> 8,    height,    spare1,  spare2, 0,
                            end};
    QByteArray b;
    for (int v : fields)
        b += char(quint8(v));
    b[17] = char(quint8(checksum ? *checksum : TelegramChecksum(b)));
    b.truncate(length);
    while (b.size() < length)
        b += '\x03';
    return b;
}

int TelegramChecksum(const QByteArray &t)
{
    int sum = 0;
    for (int i = 1; i <= 16 && i < t.size(); ++i)
        sum += quint8(t[i]);
    return sum & 0xFF;
}

int Bcd(int decimal)
{
    return (decimal / 1000 % 10) << 12 | (decimal / 100 % 10) << 8 | (decimal / 10 % 10) << 4 | decimal % 10;
}

QByteArray MakeTelegram(int sn, int level, int temperature, int type)
{
    return Telegram{.type = type, .sn = sn, .temp = temperature + 128, .levelWord = Bcd(level)}.bytes();
}
