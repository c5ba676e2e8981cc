// The framing scan of the serial stream and the TCP hex helpers, on buffers.
// The framing cases a real line produces run over a pseudo-terminal in
// SerialPtyTest; here are the ones a line cannot stage reliably.
#include "LinkTestSupport.h"

#include "link/Framing.h"

namespace
{

TEST(FramingTest, ScanGoesOnBehindAnAcceptedTelegramAndAfterTheStxOfARejectedBlock)
{
    // Serial number 0x0202: after acceptance the scan goes on behind the
    // telegram, not at the STX inside it. An STX block that fails evaluation,
    // with a telegram starting five characters in: the scan starts again at
    // the block's next character.
    const QByteArray a = MakeTelegram(0x0202, 1), b = MakeTelegram(2, 2), garbage("\x02\x11\x09\x00\x01", 5);
    RecordingSink sink;
    const QByteArray rest =
        ScanTelegrams(".." + a + "noise" + garbage + b + "tail", [&](const QByteArray &t) { return sink(t, {}); });
    EXPECT_EQ(sink.telegrams(), (QList<QByteArray>{a, (garbage + b).left(19), b}));
    EXPECT_EQ(sink.accepted(), 2);
    EXPECT_TRUE(rest.isEmpty());
}

TEST(FramingTest, HexHelpers)
{
    const std::pair<const char *, long> numbers[] = {{"ff", 255},        {"0A", 10}, {"1G", 1}, {"G1", 0},
                                                     {"", 0},            {"7fffffff", 0x7fffffff}};
    for (const auto &[text, value] : numbers)
        EXPECT_EQ(HexToLong(QByteArray(text)), value) << text;
    EXPECT_EQ(DecodeHexLine("zz41\r"), QByteArray("\x00\x41\x00", 3));
    EXPECT_EQ(TraceData("a\r\nb\n"), "a__b_");
    EXPECT_EQ(TraceData("\xE4"), "ä");
}

} // namespace
