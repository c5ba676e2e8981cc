// Telegram framing of the serial stream and the decoding of TCP hex lines.
#include "LinkTestSupport.h"

#include "link/Framing.h"

#include <gtest/gtest.h>

namespace
{

struct Scan {
    RecordingSink sink;
    QByteArray rest;
    explicit Scan(const QByteArray &buf)
    {
        rest = ScanTelegrams(buf, [this](const QByteArray &t) { return sink(t, {}); });
    }
};

TEST(FramingTest, IncompleteTelegramIsKeptWhole)
{
    const QByteArray t = MakeTelegram(1, 1);
    Scan s(QByteArray("xy") + t.left(11));
    EXPECT_TRUE(s.sink.calls.isEmpty());
    EXPECT_EQ(s.rest, t.left(11));
}

TEST(FramingTest, EverythingOutsideTelegramsIsDropped)
{
    const QByteArray a = MakeTelegram(1, 1), b = MakeTelegram(2, 2);
    Scan s(QByteArray("..") + a + QByteArray("noise") + b + QByteArray("tail"));
    ASSERT_EQ(s.sink.calls.size(), 2);
    EXPECT_EQ(s.sink.calls[0].telegram, a);
    EXPECT_EQ(s.sink.calls[1].telegram, b);
    EXPECT_TRUE(s.rest.isEmpty());
}

TEST(FramingTest, AcceptedTelegramIsNotRescanned)
{
    // A telegram whose serial number byte is STX: after acceptance the scan
    // goes on behind it, not at the STX inside.
    const QByteArray t = MakeTelegram(0x0202, 2);
    Scan s(t);
    ASSERT_EQ(s.sink.calls.size(), 1);
    EXPECT_TRUE(s.rest.isEmpty());
}

TEST(FramingTest, RejectedBlockIsRescannedOneCharacterOn)
{
    const QByteArray t = MakeTelegram(5, 5);
    QByteArray bad = t;
    bad[17] = char(bad[17] + 1);
    // The rejected block holds an STX at position 3 that starts a tail.
    QByteArray buf = bad.left(3) + t;
    Scan s(buf);
    ASSERT_EQ(s.sink.calls.size(), 2);
    EXPECT_FALSE(s.sink.calls[0].accepted);
    EXPECT_EQ(s.sink.calls[1].telegram, t);
}

TEST(FramingTest, HexToLongReadsLeadingDigits)
{
    EXPECT_EQ(HexToLong(QByteArray("ff")), 255);
    EXPECT_EQ(HexToLong(QByteArray("0A")), 10);
    EXPECT_EQ(HexToLong(QByteArray("1G")), 1);
    EXPECT_EQ(HexToLong(QByteArray("G1")), 0);
    EXPECT_EQ(HexToLong(QByteArray("")), 0);
    EXPECT_EQ(HexToLong(QByteArray("7fffffff")), 0x7fffffff);
}

TEST(FramingTest, HexLineWithOddDigitCount)
{
    EXPECT_EQ(DecodeHexLine("0211f"), QByteArray("\x02\x11\x0f", 3));
    EXPECT_EQ(DecodeHexLine(""), QByteArray());
    EXPECT_EQ(DecodeHexLine("zz41\r"), QByteArray("\x00\x41\x00", 3));
    const QByteArray t = MakeTelegram(258, 3987);
    EXPECT_EQ(DecodeHexLine(t.toHex()), t);
}

TEST(FramingTest, TraceDataMasksLineEnds)
{
    EXPECT_EQ(TraceData("a\r\nb\n"), QStringLiteral("a__b_"));
    EXPECT_EQ(TraceData("\xE4"), QStringLiteral("ä"));
}

} // namespace
