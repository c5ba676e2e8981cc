#include "support/TestSupport.h"

#include "core/Clock.h"
#include "core/TextHelpers.h"
#include "core/TraceLog.h"

#include <QDir>

// Blanks, text after a number and no number at all: the registry test (damaged
// values) and the tank-number answers of the maintenance test.
TEST(TextHelpers, ToLongOrZeroFormatTextLeadingNumber)
{
    EXPECT_EQ(ToLongOrZero("2.5"), 2); // halves to the even neighbour
    EXPECT_EQ(FormatText("%s-%s-%s", {"a", "b"}), "a-b-%s");
    EXPECT_EQ(FormatText("none", {"a"}), "none");
    EXPECT_DOUBLE_EQ(LeadingNumber("  -12.5,Liter"), -12.5);
}

class Trace : public DataDirTest {};

TEST_F(Trace, LineFormatWithMilliseconds)
{
    const QDateTime t = Clock::Naive(QDate(2026, 12, 5), QTime(14, 3, 7, 5));
    EXPECT_EQ(TraceLine(t, "Com_OnCom Event=1004"),
              QByteArray("05.12.2026 14:03:07 005,Com_OnCom Event=1004\r\n"));
    // Written lines: the evaluation test. No trace file set, or one that
    // cannot be written: nothing, and the program goes on.
    const TraceLog trace(config, [t] { return t; });
    trace.LogInFile("nobody reads it");
    config.tracePath = dataDir() + "no/such/folder/trace.log";
    trace.LogInFile("ignored");
    EXPECT_TRUE(QDir(dataDir()).isEmpty());
}
