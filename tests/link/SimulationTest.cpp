// Simulated telegrams: their bytes, the falling level and the round of devices.
#include "LinkTestSupport.h"

#include "link/LinkManager.h"
#include "link/Simulation.h"

#include "core/Catalogue.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

#include <deque>

namespace
{

TEST(SimulatedTelegramTest, ChecksumExample)
{
    const QByteArray t = SimulatedTelegram(258, 20, 3987);
    ASSERT_EQ(t.size(), 19);
    const QByteArray expected = QByteArray::fromHex("021109010294003987000113880"
                                                    "7d00000e403");
    EXPECT_EQ(t.toHex(), expected.toHex());
    EXPECT_EQ(quint8(t[17]), 228);
    EXPECT_TRUE(RecordingSink::Valid(t));
}

TEST(SimulatedTelegramTest, LevelDigitsAsBcd)
{
    EXPECT_EQ(SimulatedTelegram(0, 0, 4000).mid(7, 2), QByteArray::fromHex("4000"));
    EXPECT_EQ(SimulatedTelegram(0, 0, 7).mid(7, 2), QByteArray::fromHex("0007"));
    EXPECT_EQ(SimulatedTelegram(0, -5, 0)[5], char(123));
}

TEST(SimulatedTelegramTest, RoundingHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-4.5), -4);
    EXPECT_EQ(RoundHalfEven(-5.5), -6);
    EXPECT_EQ(RoundHalfEven(3987.4999), 3987);
}

class SimulationTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        sim = std::make_unique<Simulation>(controller.table());
        sim->setSink([this](const QByteArray &t, const QString &s) { return sink(t, s); });
        sim->setRandom([this] {
            const double r = randoms.empty() ? 0.5 : randoms.front();
            if (!randoms.empty())
                randoms.pop_front();
            return r;
        });
    }
    int sn(int call) const
    {
        const QByteArray &t = sink.calls[call].telegram;
        return quint8(t[3]) * 256 + quint8(t[4]);
    }
    int level(int call) const { return sink.calls[call].telegram.mid(7, 2).toHex().toInt(); }
    int temperature(int call) const { return quint8(sink.calls[call].telegram[5]) - 128; }

    TankController controller;
    RecordingSink sink;
    std::deque<double> randoms;
    std::unique_ptr<Simulation> sim;
};

TEST_F(SimulationTest, ThreeDevicesServedInTurnWithOneFallingLevel)
{
    controller.table().DeviceCount = 3;
    controller.device(1).SN = 101;
    controller.device(2).SN = 202;
    controller.device(3).SN = 303;
    // level 4000 - r*50, temperature r*30-5
    randoms = {0.2, 0.5, 0.4, 0.0, 0.1, 1.0 - 1e-12, 0.99, 0.25};
    for (int i = 0; i < 4; ++i)
        sim->tick();
    ASSERT_EQ(sink.calls.size(), 4);
    EXPECT_EQ(sn(0), 101);
    EXPECT_EQ(sn(1), 202);
    EXPECT_EQ(sn(2), 303);
    EXPECT_EQ(sn(3), 101);
    EXPECT_EQ(level(0), 3990);
    EXPECT_EQ(level(1), 3970);
    EXPECT_EQ(level(2), 3965);
    EXPECT_EQ(level(3), 3916); // 3965 - 49.5 = 3915.5, half to even
    EXPECT_EQ(temperature(0), 10);
    EXPECT_EQ(temperature(1), -5);
    EXPECT_EQ(temperature(2), 25);
    EXPECT_EQ(temperature(3), 2); // 2.5 to even
    for (const RecordingSink::Call &c : sink.calls) {
        EXPECT_TRUE(c.accepted);
        EXPECT_EQ(c.source, QString());
    }
}

TEST_F(SimulationTest, WithoutDevicesTheTelegramCarriesSerialNumberZero)
{
    sim->tick();
    sim->tick();
    ASSERT_EQ(sink.calls.size(), 2);
    EXPECT_EQ(sn(0), 0);
    EXPECT_EQ(sim->index(), 1);
}

TEST_F(SimulationTest, LevelBelowZeroRestartsAt4000)
{
    controller.table().DeviceCount = 1;
    // r = 0.5 lets the level fall by 25 per tick: 3975, 3950, ... 25.
    while (sim->level() == 0 || sim->level() > 40)
        sim->tick();
    ASSERT_EQ(sim->level(), 25);
    randoms = {0.9999, 0.5, 0.0, 0.5};
    sim->tick(); // 25 - 50 < 0: the stored level becomes 0
    EXPECT_EQ(sim->level(), 0);
    EXPECT_EQ(level(int(sink.calls.size()) - 1), 0);
    sim->tick();
    EXPECT_EQ(sim->level(), 4000);
    EXPECT_EQ(level(int(sink.calls.size()) - 1), 4000);
}

TEST_F(SimulationTest, FirstTickAfterFiveSecondsThenEveryTwo)
{
    sim->start();
    EXPECT_TRUE(sim->isActive());
    EXPECT_EQ(sim->interval(), 5000);
    sim->setIntervals(30, 20);
    sim->start();
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 2; }));
    EXPECT_EQ(sim->interval(), 20);
}

TEST_F(SimulationTest, StartFromSettingsRunsTheSimulationInsteadOfALink)
{
    Cfg::Simulation.write(qint64(1));
    LinkManager link(controller);
    link.StartFromSettings();
    EXPECT_TRUE(link.simulation().isActive());
    EXPECT_FALSE(link.serialOpen());
    EXPECT_EQ(link.tcp().state(), TcpLink::Closed);
}

} // namespace
