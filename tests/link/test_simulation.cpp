// Simulated telegrams: their bytes and the rounding of their figures.
#include "LinkTestSupport.h"

#include "link/Simulation.h"

TEST(SimulatedTelegramTest, ChecksumExampleAndRounding)
{
    EXPECT_EQ(SimulatedTelegram(258, 20, 3987).toHex(), "0211090102940039870001138807d00000e403");
    // Halves go to the even neighbour, below zero too.
    EXPECT_EQ((QList<qint64>{RoundHalfEven(-4.5), RoundHalfEven(-5.5), RoundHalfEven(3987.4999)}),
              (QList<qint64>{-4, -6, 3987}));
}
