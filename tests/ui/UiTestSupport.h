#pragma once
#include <QByteArray>
#include <QString>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// A measurement telegram as a device sends it (19 bytes, checksum filled in).
struct TelegramSpec {
    int type = 7;          // device type
    int sn = 4711;
    int tempByte = 128 + 12; // 0 = no temperature, else degrees + 128
    int status = 0;        // bit 0 alarm, bits 5-7 unit
    int levelWord = 0x1234; // BCD digits or an error word >= 0xE000
    int scale = 0;
    int shape = 2;
    int capacity = 5000;
    int height = 1500;
};

inline QByteArray MakeTelegram(const TelegramSpec &s)
{
    QByteArray t(19, '\0');
    auto put = [&t](int pos, int v) { t[pos - 1] = char(quint8(v)); };
    put(1, 0x02);
    put(2, 0x11);
    put(3, s.type);
    put(4, s.sn >> 8);
    put(5, s.sn & 0xFF);
    put(6, s.tempByte);
    put(7, s.status);
    put(8, s.levelWord >> 8);
    put(9, s.levelWord & 0xFF);
    put(10, s.scale);
    put(11, s.shape);
    put(12, s.capacity >> 8);
    put(13, s.capacity & 0xFF);
    put(14, s.height >> 8);
    put(15, s.height & 0xFF);
    unsigned sum = 0;
    for (int i = 2; i <= 17; ++i)
        sum += quint8(t[i - 1]);
    put(18, int(sum & 0xFF));
    put(19, 0x03);
    return t;
}
