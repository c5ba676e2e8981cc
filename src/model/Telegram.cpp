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

namespace
{
// Unit bits 2 and 3 are swapped against our unit codes (% and m); the
// mapping is its own inverse.
constexpr int kUnitMap[8] = {0, 1, 3, 2, 4, 5, 6, 7};
} // namespace

int EinheitFromStatus(quint8 status)
{
    return kUnitMap[(status & 0xE0) >> 5];
}

quint8 StatusFromEinheit(int einheit)
{
    return quint8(kUnitMap[einheit & 7] << 5);
}

QByteArray EncodeTelegram(const DecodedTelegram &d)
{
    int level = 0;
    if (d.volumen < 0) {
        level = -d.volumen & 0xFFFF;
    } else {
        // The decimal digits read as hex digits: 3987 -> 0x3987.
        int v = qMin(d.volumen, 9999);
        for (int shift = 0; shift < 16 && v > 0; shift += 4, v /= 10)
            level |= (v % 10) << shift;
    }
    const int temp = d.temperatur == -9999 ? 0 : qBound(1, d.temperatur + 128, 255);
    const int bytes[19] = {0x02,
                           0x11,
                           d.geraetetyp,
                           d.sn >> 8,
                           d.sn,
                           temp,
                           d.status | (d.alarm ? 1 : 0),
                           level >> 8,
                           level,
                           d.dezPunkt,
                           d.tanktyp,
                           d.tankvolumen >> 8,
                           d.tankvolumen,
                           d.tankhoehe >> 8,
                           d.tankhoehe,
                           0,
                           0,
                           0,
                           0x03};
    QByteArray t(kTelegramLength, '\0');
    unsigned sum = 0;
    for (int i = 0; i < kTelegramLength; ++i) {
        t[i] = char(bytes[i] & 0xFF);
        if (i >= 1 && i <= 16)
            sum += quint8(t[i]);
    }
    t[17] = char(sum & 0xFF);
    return t;
}

QString HexDump(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}
