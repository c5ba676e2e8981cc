// The temperature-correction switch with its questions and the entry of the
// per-tank coefficients with its range check.
#include "support/Fixtures.h"

#include "model/TempCorrection.h"

namespace
{

class TempCorrectionTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        for (int sn : {11, 22, 33})
            ASSERT_TRUE(feed(sn));
        tanks.device(1).Tankbezeichnung = "Hof";
        events.clear();
    }
    // The switch as the command leaves it, once its last box is answered.
    std::optional<bool> toggle()
    {
        std::optional<bool> on;
        correction.Toggle([&](bool r) { on = r; });
        return on;
    }
    // The coefficients of the three tanks in memory and in the file.
    QString coefficients() const
    {
        QStringList k;
        for (int n = 1; n <= 3; ++n)
            k << QString::number(tanks.device(n).TempKorr) + "/" + ini(QStringLiteral("Gerät%1").arg(n), "TempKorr");
        return k.join(' ');
    }

    TempCorrection correction{tanks, config, settings, ui};
};

} // namespace

// Switching on asks every tank.
TEST_F(TempCorrectionTest, SwitchingOnAsksEveryTank)
{
    ui.answers = {MsgResult::Yes};
    ui.inputs = {"10", "2,5", "0.7"};
    EXPECT_EQ(toggle(), true);
    EXPECT_TRUE(config.flagTempKorr);
    EXPECT_EQ(ini("Common", "FlagTempKorr"), "1");
    EXPECT_EQ(ui.texts("input").mid(0, 2), (QStringList{"Tank 1 Hof\nAusdehnung pro Grad in Promille:",
                                                        "Tank 2\nAusdehnung pro Grad in Promille:"}));
    EXPECT_EQ(coefficients(), "10/10 2.5/2.5 0.7/0.7");
    EXPECT_TRUE(events.contains("deviceChanged(3)"));
}

// Entered before a wrong value: kept; not asked after it. A coefficient of 0
// is asked as 1.5. A cancelled box counts as 0.
TEST_F(TempCorrectionTest, OutOfRangeOrCancelStopsTheEntry)
{
    tanks.device(2).TempKorr = 0;
    for (double k : {10.0, 0.001})
        EXPECT_TRUE(TempCorrection::IsValidCoefficient(k)) << k;
    for (double k : {10.0000001, 0.0})
        EXPECT_FALSE(TempCorrection::IsValidCoefficient(k)) << k;
    ui.answers = {MsgResult::Yes};
    ui.inputs = {"3", "10.5", "4"};
    EXPECT_EQ(toggle(), true);
    EXPECT_EQ(coefficients(), "3/3 1.5/<absent> 1/<absent>");
    EXPECT_EQ(ui.count("input"), 2);
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Stop);
    EXPECT_TRUE(config.flagTempKorr) << "the switch stays on";
    ui.shown.clear();
    ui.inputs = {QString()};
    std::optional<bool> ok;
    correction.AskCoefficients([&](bool r) { ok = r; });
    EXPECT_EQ(ok, false);
    EXPECT_EQ(ui.count("message"), 1);
}

// Off and No: nothing changes, nothing is asked. On and No: stays on, and the
// coefficients are asked all the same. On and Yes: off, coefficients kept.
TEST_F(TempCorrectionTest, AnsweringNoAndSwitchingOff)
{
    ui.answers = {MsgResult::No};
    EXPECT_EQ(toggle(), false);
    EXPECT_EQ(ui.count("input"), 0);
    EXPECT_EQ(ini("Common", "FlagTempKorr"), "<absent>");

    config.flagTempKorr = true;
    ui.answers = {MsgResult::No};
    ui.inputs = {"2", "2", "4"};
    EXPECT_EQ(toggle(), true);
    EXPECT_EQ(coefficients(), "2/2 2/2 4/4");

    ui.shown.clear();
    events.clear();
    ui.answers = {MsgResult::Yes};
    EXPECT_EQ(toggle(), false);
    EXPECT_EQ(ini("Common", "FlagTempKorr"), "0");
    EXPECT_EQ(ui.count("input"), 0);
    EXPECT_DOUBLE_EQ(tanks.device(3).TempKorr, 4);
    EXPECT_TRUE(events.contains("deviceChanged(1)")) << "figures follow the switch";
}
