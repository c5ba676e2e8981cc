#include "support/TestSupport.h"

#include "core/TextHelpers.h"

// Blanks, text after a number and no number at all: the registry test (damaged
// values) and the tank-number answers of the maintenance test.
TEST(TextHelpers, ToLongOrZeroFormatTextLeadingNumber)
{
    EXPECT_EQ(ToLongOrZero("2.5"), 2); // halves to the even neighbour
    EXPECT_EQ(FormatText("%s-%s-%s", {"a", "b"}), "a-b-%s");
    EXPECT_EQ(FormatText("none", {"a"}), "none");
    EXPECT_DOUBLE_EQ(LeadingNumber("  -12.5,Liter"), -12.5);
}
