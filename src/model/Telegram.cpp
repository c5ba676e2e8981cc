#include "Telegram.h"

namespace
{
quint8 byteAt(const QByteArray &t, int pos)
{
    return quint8(t[pos - 1]);
} // 1-based
int word(const QByteArray &t, int pos)
{
    return byteAt(t, pos) * 256 + byteAt(t, pos + 1);
}
} // namespace

TelegramFault CheckTelegram(const QByteArray &t)
{
    if (t.size() != kTelegramLength)
        return TelegramFault::Length;
    unsigned sum = 0;
    for (int i = 2; i <= 17; ++i)
        sum += byteAt(t, i);
    if (byteAt(t, 1) != 0x02)
        return TelegramFault::Start;
    if (byteAt(t, 2) != 0x11)
        return TelegramFault::Kind;
    if (byteAt(t, 3) < 2)
        return TelegramFault::DeviceType;
    if (byteAt(t, 18) != (sum & 0xFF))
        return TelegramFault::Checksum;
    if (byteAt(t, 19) != 0x03)
        return TelegramFault::End;
    return TelegramFault::None;
}

std::optional<DecodedTelegram> DecodeTelegram(const QByteArray &t, TelegramFault *fault)
{
    const TelegramFault f = CheckTelegram(t);
    if (fault)
        *fault = f;
    if (f != TelegramFault::None)
        return std::nullopt;
    DecodedTelegram d;
    d.geraetetyp = byteAt(t, 3);
    d.sn = word(t, 4);
    d.temperatur = DecodeTemperature(byteAt(t, 6));
    const quint8 status = byteAt(t, 7);
    d.alarm = status & 1;
    d.status = status;
    d.volumen = DecodeLevelWord(byteAt(t, 8), byteAt(t, 9));
    d.dezPunkt = ScaleCode(byteAt(t, 10), d.geraetetyp);
    d.tanktyp = byteAt(t, 11) & 15;
    d.tankvolumen = word(t, 12);
    d.tankhoehe = word(t, 14);
    return d;
}

qint32 DecodeLevelWord(quint8 high, quint8 low)
{
    const int w = high * 256 + low;
    if (w >= 0xE000)
        return -w;
    const int nibbles[4] = {high >> 4, high & 15, low >> 4, low & 15};
    qint32 v = 0;
    for (int n : nibbles) {
        if (n > 9)
            break;
        v = v * 10 + n;
    }
    return v;
}

qint16 DecodeTemperature(quint8 b)
{
    return b == 0 ? qint16(-9999) : qint16(b - 128);
}

int ScaleCode(quint8 b, int deviceType)
{
    return b & (deviceType < 7 ? 3 : 7);
}

int EinheitFromStatus(quint8 status)
{
    // Bits 2 and 3 are swapped against our unit codes (% and m).
    static const int kMap[8] = {0, 1, 3, 2, 4, 5, 6, 7};
    return kMap[(status & 0xE0) >> 5];
}

QString HexDump(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}
