// Simulated telegrams: their bytes, the falling level and the round of devices.
#include "LinkTestSupport.h"

#include "link/Simulation.h"
#include "model/Telegram.h"

TEST(SimulatedTelegramTest, ChecksumExampleAndRounding)
{
    EXPECT_EQ(SimulatedTelegram(258, 20, 3987).toHex(), "0211090102940039870001138807d00000e403");
    // Halves go to the even neighbour, below zero too.
    EXPECT_EQ((QList<qint64>{RoundHalfEven(-4.5), RoundHalfEven(-5.5), RoundHalfEven(3987.4999)}),
              (QList<qint64>{-4, -6, 3987}));
}

class SimulationTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        QObject::connect(&sim, &DeviceLink::telegramReceived,
                         [this](const QByteArray &t, const QString &s) { sink(t, s); });
    }
    // "SN level temperature" of each simulated telegram, in order.
    QStringList sent() const
    {
        QStringList out;
        for (const QByteArray &t : sink.telegrams)
            if (const auto d = DecodeTelegram(t))
                out << QStringLiteral("%1 %2 %3").arg(d->sn).arg(d->volumen).arg(d->temperatur);
        return out;
    }

    QList<double> randoms; // then 0.5 for ever
    qsizetype next = 0;
    Simulation sim{controller.table(), [this] { return next < randoms.size() ? randoms[next++] : 0.5; }};
};

TEST_F(SimulationTest, ThreeDevicesServedInTurnWithOneFallingLevel)
{
    controller.table().DeviceCount = 3;
    for (int n = 1; n <= 3; ++n)
        controller.device(n).SN = 101 * n;
    // level 4000 - r*50, temperature r*30-5
    randoms = {0.2, 0.5, 0.4, 0.0, 0.1, 1.0 - 1e-12, 0.99, 0.25};
    for (int i = 0; i < 4; ++i)
        sim.tick();
    // 3965 - 49.5 = 3915.5 and 2.5 degrees: halves to even.
    // All four accepted.
    EXPECT_EQ(sent(), (QStringList{"101 3990 10", "202 3970 -5", "303 3965 25", "101 3916 2"}));
    EXPECT_EQ(sink.sources, QStringList(4, QString()));
}

// Without devices the telegrams carry serial number 0.
TEST_F(SimulationTest, LevelBelowZeroRestartsAt4000)
{
    // r = 0.5 lets the level fall by 25 per tick: 3975, 3950, ... 25.
    while (sim.level() == 0 || sim.level() > 40)
        sim.tick();
    ASSERT_EQ(sim.level(), 25);
    randoms = {0.9999, 0.5, 0.0, 0.5};
    sim.tick(); // 25 - 50 < 0: the stored level becomes 0
    sim.tick();
    EXPECT_EQ(sent().mid(sent().size() - 2), (QStringList{"0 0 10", "0 4000 10"}));
    EXPECT_EQ(sim.index(), 1);
}
