// Decoding and rejection of the 19-byte telegram, without the controller.
#include "model/Telegram.h"
#include "support/Telegrams.h"
#include "support/TestSupport.h"

namespace
{

DecodedTelegram decodeOk(const Telegram &t)
{
    TelegramFault f = TelegramFault::None;
    const auto d = DecodeTelegram(t.bytes(), &f);
    EXPECT_EQ(f, TelegramFault::None);
    return d.value_or(DecodedTelegram{});
}

} // namespace

TEST(TelegramRejection, EachCheckAndTheirOrder)
{
    using F = TelegramFault;
    const int sum = TelegramChecksum(Telegram{}.bytes());
    // Bytes 2..17 adding up to 0x1FF: only the low byte is compared, the start byte not counted.
    Telegram wrap{.type = 2, .checksum = 0xFF};
    wrap.sn = wrap.temp = wrap.levelWord = wrap.shape = wrap.capacity = wrap.height = 0;
    wrap.spare1 = 0xFF;
    wrap.spare2 = 0x1FF - 0x11 - 2 - 0xFF;
    Telegram withStart = wrap;
    withStart.checksum = (0x1FF + 0x02) & 0xFF;
    const std::tuple<const char *, Telegram, F> cases[] = {
        {"valid", {}, F::None},
        {"18 bytes", {.length = 18}, F::Length},
        {"20 bytes", {.length = 20}, F::Length},
        {"start", {.start = 0x03}, F::Start},
        {"kind", {.kind = 0x12}, F::Kind},
        {"type 1 with a right checksum", {.type = 1}, F::DeviceType},
        {"spare byte changed", {.spare2 = 1, .checksum = sum}, F::Checksum},
        {"sum past 255", wrap, F::None},
        {"start byte counted", withStart, F::Checksum},
        {"end", {.end = 0x02}, F::End},
        // Wrong in several places: the first check that fails counts.
        {"all wrong", {.start = 0, .kind = 0, .type = 1, .end = 0, .checksum = 0x55}, F::Start},
        {"from kind", {.kind = 0, .type = 1, .end = 0, .checksum = 0x55}, F::Kind},
        {"from type", {.type = 1, .end = 0, .checksum = 0x55}, F::DeviceType},
        {"from checksum", {.type = 2, .end = 0, .checksum = 0x55}, F::Checksum},
    };
    for (const auto &[what, t, fault] : cases)
        EXPECT_EQ(CheckTelegram(t.bytes()), fault) << what;
}

// The fields of a valid telegram: temperature byte, scale code masked by the
// device type, alarm and unit from the status, unsigned big-endian words, the
// level word.
TEST(TelegramDecoding, LevelWordAndTheOtherFieldsOfAValidTelegram)
{
    const std::pair<int, int> cases[] = {
        {0x9999, 9999},
        {0xE000, -0xE000},
        // Below 0xE000: BCD, and a nibble above 9 ends the number.
        {0xDFFF, 0},
        {0x1A23, 1},
        {0x123F, 123},
    };
    for (const auto &[word, level] : cases)
        EXPECT_EQ(DecodeLevelWord(quint8(word >> 8), quint8(word)), level) << std::hex << word;
    EXPECT_EQ((QList<int>{DecodeTemperature(0), DecodeTemperature(1), DecodeTemperature(255),
                          decodeOk({.temp = 128 - 20}).temperatur}),
              (QList<int>{-9999, -127, 127, -20}));
    EXPECT_EQ((QList<int>{decodeOk({.type = 6, .scale = 0x07}).dezPunkt,
                          decodeOk({.type = 7, .scale = 0x07}).dezPunkt,
                          decodeOk({.type = 200, .scale = 0xFE}).dezPunkt}),
              (QList<int>{3, 7, 6}));
    // Bits 5-7 = 2 is percent (3), 3 is metres (2): the two are swapped. Alarm
    // and the unevaluated bits 1-4 do not disturb the unit.
    EXPECT_EQ((QList<int>{EinheitFromStatus(0x60), EinheitFromStatus(0x5F), EinheitFromStatus(0xE0)}),
              (QList<int>{2, 3, 7}));
    EXPECT_FALSE(decodeOk({.status = 0x1E}).alarm);
    EXPECT_TRUE(decodeOk({.status = 0x41}).alarm);
    const DecodedTelegram d = decodeOk({.sn = 0xFFFF, .shape = 0xF3, .capacity = 0x8001, .height = 0x0102});
    EXPECT_EQ(QList<int>({d.sn, d.tankvolumen, d.tankhoehe, d.tanktyp, d.geraetetyp, d.volumen}),
              QList<int>({65535, 0x8001, 258, 3, 5, 1234}));
}
