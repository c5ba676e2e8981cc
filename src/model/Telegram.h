#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// The 19-byte measurement telegram: 0x02, kind 0x11, device type, serial
// number (2), temperature, status, level word (2), scale code, tank shape,
// capacity (2), height (2), two unused bytes, checksum, 0x03. 16-bit fields
// are big-endian. Decoding is pure; the controller stores the result.

constexpr int kTelegramLength = 19;

// Why a telegram was rejected; the checks run in this order.
enum class TelegramFault { None, Length, Start, Kind, DeviceType, Checksum, End };

struct DecodedTelegram {
    int geraetetyp = 0;    // byte 3, >= 2
    int sn = 0;            // bytes 4-5
    qint16 temperatur = 0; // -9999 when byte 6 is 0, else byte 6 - 128
    bool alarm = false;    // status bit 0
    quint8 status = 0;     // byte 7; bits 5-7 are the unit, used at registration only
    qint32 volumen = 0;    // BCD 0..9999, or -(word) for an error word >= 0xE000
    int dezPunkt = 0;      // byte 10 masked by device type
    int tanktyp = 0;       // byte 11 & 15
    int tankvolumen = 0;   // bytes 12-13
    int tankhoehe = 0;     // bytes 14-15
};

TelegramFault CheckTelegram(const QByteArray &t);
// nullopt unless every check passes; fault tells which one failed.
std::optional<DecodedTelegram> DecodeTelegram(const QByteArray &t, TelegramFault *fault = nullptr);

// The level word: four BCD digits read from the top nibble down, stopping at
// the first nibble above 9; from 0xE000 on a device error, given as -(word).
qint32 DecodeLevelWord(quint8 high, quint8 low);
// 0 means no temperature (-9999); otherwise degrees C = byte - 128.
qint16 DecodeTemperature(quint8 b);
// Older devices (type below 7) know only scale codes 0..3.
int ScaleCode(quint8 b, int deviceType);
// The Einheit a newly registered device gets from status bits 5-7.
int EinheitFromStatus(quint8 status);

// Status bits 5-7 that make a new device register with this Einheit (0..7).
quint8 StatusFromEinheit(int einheit);
// The telegram a device sends for these fields (status carries alarm and
// unit bits; a negative volumen is sent as the error word -volumen), with
// its checksum. Levels above 9999 are sent as 9999.
QByteArray EncodeTelegram(const DecodedTelegram &d);

// Each byte as two upper-case hex digits, no separators ("0211").
QString HexDump(const QByteArray &bytes);
