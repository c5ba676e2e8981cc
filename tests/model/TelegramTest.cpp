// Decoding and rejection of the 19-byte telegram, without the controller.
#include "model/Telegram.h"
#include "ModelTestSupport.h"

#include <gtest/gtest.h>

namespace
{

DecodedTelegram decodeOk(const TelegramBytes &t)
{
    TelegramFault f = TelegramFault::None;
    auto d = DecodeTelegram(t.bytes(), &f);
    EXPECT_EQ(f, TelegramFault::None);
    return d.value_or(DecodedTelegram{});
}

TelegramFault faultOf(const TelegramBytes &t)
{
    return CheckTelegram(t.bytes());
}

} // namespace

TEST(TelegramRejection, LengthsOtherThan19AreRejected)
{
    TelegramBytes t;
    t.length = 18;
    EXPECT_EQ(faultOf(t), TelegramFault::Length);
    t.length = 20;
    EXPECT_EQ(faultOf(t), TelegramFault::Length);
    t.length = 0;
    EXPECT_EQ(faultOf(t), TelegramFault::Length);
    t.length = 19;
    EXPECT_EQ(faultOf(t), TelegramFault::None);
}

TEST(TelegramRejection, FramingKindAndEndMarker)
{
    TelegramBytes t;
    t.start = 0x03;
    EXPECT_EQ(faultOf(t), TelegramFault::Start);
    t = {};
    t.kind = 0x12;
    EXPECT_EQ(faultOf(t), TelegramFault::Kind);
    t = {};
    t.end = 0x02;
    EXPECT_EQ(faultOf(t), TelegramFault::End);
}

TEST(TelegramRejection, ChecksRunInTheirOrder)
{
    // A telegram wrong in several places reports the first check that fails.
    TelegramBytes t;
    t.start = 0;
    t.kind = 0;
    t.type = 1;
    t.checksum = 0x55;
    t.end = 0;
    EXPECT_EQ(faultOf(t), TelegramFault::Start);
    t.start = 2;
    EXPECT_EQ(faultOf(t), TelegramFault::Kind);
    t.kind = 0x11;
    EXPECT_EQ(faultOf(t), TelegramFault::DeviceType);
    t.type = 2;
    EXPECT_EQ(faultOf(t), TelegramFault::Checksum);
    t.checksum.reset();
    EXPECT_EQ(faultOf(t), TelegramFault::End);
}

TEST(TelegramRejection, DeviceTypeBelowTwoEvenWithCorrectChecksum)
{
    TelegramBytes t;
    t.type = 1;
    EXPECT_EQ(faultOf(t), TelegramFault::DeviceType);
    t.type = 0;
    EXPECT_EQ(faultOf(t), TelegramFault::DeviceType);
    t.type = 2;
    EXPECT_EQ(faultOf(t), TelegramFault::None);
    t.type = 255;
    EXPECT_EQ(faultOf(t), TelegramFault::None);
}

TEST(TelegramRejection, ChecksumCountsModulo256)
{
    // Bytes 2..17 add up to 0x1FF: only the low byte is compared.
    TelegramBytes t;
    t.type = 2;
    t.sn = 0;
    t.temp = 0;
    t.status = 0;
    t.levelHigh = t.levelLow = 0;
    t.scale = t.shape = 0;
    t.capacity = t.height = 0;
    t.spare1 = 0xFF;
    t.spare2 = 0x1FF - 0x11 - 2 - 0xFF;
    t.checksum = 0xFF;
    EXPECT_EQ(faultOf(t), TelegramFault::None);
    t.checksum = 0x1FF - 0x100 - 1;
    EXPECT_EQ(faultOf(t), TelegramFault::Checksum);
    // The start and end bytes are not part of the sum.
    t.checksum = (0x1FF + 0x02) & 0xFF;
    EXPECT_EQ(faultOf(t), TelegramFault::Checksum);
}

TEST(TelegramRejection, SpareBytesAreCoveredByTheChecksum)
{
    TelegramBytes t;
    QByteArray b = t.bytes();
    b[15] = char(b[15] + 1); // byte 16
    EXPECT_EQ(CheckTelegram(b), TelegramFault::Checksum);
}

TEST(TelegramDecoding, LevelWordBcdAndErrorWords)
{
    EXPECT_EQ(DecodeLevelWord(0x12, 0x34), 1234);
    EXPECT_EQ(DecodeLevelWord(0x99, 0x99), 9999);
    EXPECT_EQ(DecodeLevelWord(0x00, 0x07), 7);
    EXPECT_EQ(DecodeLevelWord(0xE0, 0x02), -57346);
    EXPECT_EQ(DecodeLevelWord(0xE0, 0x00), -0xE000);
    EXPECT_EQ(DecodeLevelWord(0xFF, 0xFF), -0xFFFF);
    // Below 0xE000: BCD, and a nibble above 9 ends the number.
    EXPECT_EQ(DecodeLevelWord(0xDF, 0xFF), 0);
    EXPECT_EQ(DecodeLevelWord(0x1A, 0x23), 1);
    EXPECT_EQ(DecodeLevelWord(0x12, 0x3F), 123);
    EXPECT_EQ(DecodeLevelWord(0x12, 0xB4), 12);
}

TEST(TelegramDecoding, TemperatureByte)
{
    EXPECT_EQ(DecodeTemperature(0), -9999);
    EXPECT_EQ(DecodeTemperature(1), -127);
    EXPECT_EQ(DecodeTemperature(128), 0);
    EXPECT_EQ(DecodeTemperature(255), 127);
    TelegramBytes t;
    t.temp = 0;
    EXPECT_EQ(decodeOk(t).temperatur, -9999);
    t.temp = 128 - 20;
    EXPECT_EQ(decodeOk(t).temperatur, -20);
}

TEST(TelegramDecoding, ScaleCodeMaskedByDeviceType)
{
    TelegramBytes t;
    t.scale = 0x07;
    t.type = 5;
    EXPECT_EQ(decodeOk(t).dezPunkt, 3);
    t.type = 6;
    EXPECT_EQ(decodeOk(t).dezPunkt, 3);
    t.type = 7;
    EXPECT_EQ(decodeOk(t).dezPunkt, 7);
    t.scale = 0xFE;
    t.type = 200;
    EXPECT_EQ(decodeOk(t).dezPunkt, 6);
}

TEST(TelegramDecoding, UnitBitsMapToUnitCodes)
{
    // Bits 5-7 = 2 is percent (3), 3 is metres (2): the two are swapped.
    EXPECT_EQ(EinheitFromStatus(0x00), 0);
    EXPECT_EQ(EinheitFromStatus(0x20), 1);
    EXPECT_EQ(EinheitFromStatus(0x40), 3);
    EXPECT_EQ(EinheitFromStatus(0x60), 2);
    EXPECT_EQ(EinheitFromStatus(0x80), 4);
    EXPECT_EQ(EinheitFromStatus(0xA0), 5);
    EXPECT_EQ(EinheitFromStatus(0xC0), 6);
    EXPECT_EQ(EinheitFromStatus(0xE0), 7);
    // Alarm and the unevaluated bits 1-4 do not disturb the unit.
    EXPECT_EQ(EinheitFromStatus(0x5F), 3);
}

TEST(TelegramDecoding, StatusAlarmBitOnly)
{
    TelegramBytes t;
    t.status = 0x1E; // bits 1-4 only
    EXPECT_FALSE(decodeOk(t).alarm);
    t.status = 0x41;
    const DecodedTelegram d = decodeOk(t);
    EXPECT_TRUE(d.alarm);
    EXPECT_EQ(EinheitFromStatus(d.status), 3);
}

TEST(TelegramDecoding, WordsAreUnsignedBigEndian)
{
    TelegramBytes t;
    t.sn = 0xFFFF;
    t.capacity = 0x8001;
    t.height = 0x0102;
    t.shape = 0xF3;
    const DecodedTelegram d = decodeOk(t);
    EXPECT_EQ(d.sn, 65535);
    EXPECT_EQ(d.tankvolumen, 0x8001);
    EXPECT_EQ(d.tankhoehe, 258);
    EXPECT_EQ(d.tanktyp, 3);
    EXPECT_EQ(d.geraetetyp, 5);
    EXPECT_EQ(d.volumen, 1234);
}

TEST(TelegramDecoding, HexDump)
{
    EXPECT_EQ(HexDump(QByteArray("\x02\x11", 2)), QStringLiteral("0211"));
    EXPECT_EQ(HexDump(QByteArray("\x0a\xff\x00", 3)), QStringLiteral("0AFF00"));
    EXPECT_EQ(HexDump(QByteArray()), QString());
    EXPECT_EQ(HexDump(TelegramBytes{}.bytes()).size(), 38);
}
