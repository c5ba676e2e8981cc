#pragma once
#include <QByteArray>
#include <optional>

// A measurement telegram built field by field, as a device sends it. The
// checksum (low byte of the sum of bytes 2..17) is computed here, not by the
// code under test, unless one is given; other lengths cut the 19 bytes or
// pad them with 0x03.
struct Telegram {
    int start = 0x02, kind = 0x11, type = 5, sn = 4711, temp = 128 + 12, status = 0;
    int levelWord = 0x1234; // BCD digits, or an error word from 0xE000
    int scale = 0, shape = 1, capacity = 5000, height = 1500, spare1 = 0, spare2 = 0, end = 0x03;
    std::optional<int> checksum{};
    int length = 19;

    QByteArray bytes() const;
};

// The low byte of the sum of bytes 2..17.
int TelegramChecksum(const QByteArray &t);
// A decimal 0..9999 as four BCD digits.
int Bcd(int decimal);
// A valid telegram of device sn with the level (decimal) and temperature (degrees C).
QByteArray MakeTelegram(int sn, int level, int temperature = 20, int type = 9);
