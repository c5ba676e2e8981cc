#include "support/TestSupport.h"

#include "core/Clock.h"
#include "core/RunState.h"
#include "core/TextHelpers.h"
#include "core/TraceLog.h"
#include "core/UiServices.h"

TEST(TextHelpers, ToLongOrZeroAndFormatText)
{
    EXPECT_EQ(ToLongOrZero("8000"), 8000);
    EXPECT_EQ(ToLongOrZero(" 12 "), 12);
    EXPECT_EQ(ToLongOrZero("abc"), 0);
    EXPECT_EQ(ToLongOrZero("12abc"), 0);
    EXPECT_EQ(ToLongOrZero(""), 0);
    EXPECT_EQ(ToLongOrZero("2.5"), 2); // halves to the even neighbour
    EXPECT_EQ(FormatText("Es können max. %s Geräte", {"56"}), "Es können max. 56 Geräte");
    EXPECT_EQ(FormatText("%s-%s-%s", {"a", "b"}), "a-b-%s");
    EXPECT_EQ(FormatText("none", {"a"}), "none");
    EXPECT_DOUBLE_EQ(LeadingNumber("  12.5,Liter"), 12.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("-3x"), -3);
    EXPECT_DOUBLE_EQ(LeadingNumber("Gal"), 0);
}

TEST(Ticks, ElapsedSurvivesTheWrapAround)
{
    EXPECT_GE(ElapsedMs(TickCount() - 1000), 1000u);
    // A start "after" now means the counter wrapped since: nearly 2^32 ms.
    EXPECT_GE(ElapsedMs(TickCount() + 16), 0xFFFFFFF0u);
}

class Trace : public DataDirTest {};

TEST_F(Trace, LineFormatWithMilliseconds)
{
    const QDateTime t = Clock::Naive(QDate(2026, 12, 5), QTime(14, 3, 7, 5));
    EXPECT_EQ(TraceLine(t, "Com_OnCom Event=1004"),
              QByteArray("05.12.2026 14:03:07 005,Com_OnCom Event=1004\r\n"));
    State().tracePath = dataDir() + "trace.log";
    LogInFile("one");
    LogInFile("two");
    const QList<QByteArray> lines = readBytes(dataDir() + "trace.log").split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(",two\r"));
    State().tracePath = dataDir() + "no/such/folder/trace.log";
    LogInFile("ignored"); // never stops the program
}

TEST(ScriptedUiTest, AnswersInOrderThenDefaults)
{
    ScriptedUi ui;
    ui.answers = {MsgResult::Yes};
    ui.inputs = {"12"};
    EXPECT_EQ(ui.messageBox("q", "t", MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);
    EXPECT_EQ(ui.messageBox("q", "t", MsgIcon::Question, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(ui.inputBox("p", "t", "d"), "12");
    EXPECT_EQ(ui.inputBox("p", "t", "d"), "");
    EXPECT_EQ(ui.count("message"), 2);
}
