// The temperature-correction switch with its questions and the entry of the
// per-tank coefficients with its range check.
#include "support/Fixtures.h"

#include "model/TempCorrection.h"

namespace
{

// Three tanks; the switch, its questions answered in turn.
class TempCorrectionTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        for (int sn : {11, 22, 33})
            ASSERT_TRUE(feed(sn));
    }
    // The coefficients of the three tanks in memory and in the file.
    QString coefficients() const
    {
        QStringList k;
        for (int n = 1; n <= 3; ++n)
            k << QString::number(tanks.device(n).TempKorr) + "/" +
                     ini(QStringLiteral("Gerät%1").arg(n), "TempKorr");
        return k.join(' ');
    }

    TempCorrection correction{tanks, switches, settings, ui, texts};
};

} // namespace

// Each step answers the question and the coefficient boxes; the switch and
// the coefficients carry over to the next step.
TEST_F(TempCorrectionTest, SwitchQuestionAndCoefficientEntry)
{
    tanks.device(2).TempKorr = 0; // asked as 1.5
    // answer, coefficients entered: switch, stored switch, coefficients, input boxes so far
    const std::tuple<MsgResult, QStringList, bool, const char *, const char *, int> steps[] = {
        // Off and No: nothing changes, nothing is asked.
        {MsgResult::No, {}, false, "<absent>", "1/<absent> 0/<absent> 1/<absent>", 0},
        // Off and Yes: on; a wrong value stops the entry, the ones before it are kept.
        {MsgResult::Yes, {"3", "10.0000001", "4"}, true, "1", "3/3 1.5/<absent> 1/<absent>", 2},
        // On and No: stays on, and the coefficients are asked all the same.
        {MsgResult::No, {"10", "2,5", "0.001"}, true, "1", "10/10 2.5/2.5 0.001/0.001", 5},
        // On and Yes: off, coefficients kept.
        {MsgResult::Yes, {}, false, "0", "10/10 2.5/2.5 0.001/0.001", 5},
        // A cancelled box counts as 0: a wrong value.
        {MsgResult::Yes, {QString()}, true, "1", "10/10 2.5/2.5 0.001/0.001", 6},
    };
    for (const auto &[answer, inputs, switched, stored, coefficientTexts, asked] : steps) {
        events.clear();
        ui.answers = {answer};
        ui.inputs = {inputs.begin(), inputs.end()};
        std::optional<bool> on;
        correction.Toggle([&](bool r) { on = r; });
        EXPECT_EQ(on, switched);
        EXPECT_EQ(ini("Common", "FlagTempKorr"), stored);
        EXPECT_EQ(coefficients(), coefficientTexts);
        EXPECT_EQ(ui.count("input"), asked);
    }
    EXPECT_TRUE(events.contains("deviceChanged(1)")) << "figures follow the switch";
    EXPECT_EQ(ui.count("message"), 7) << "five questions and two wrong values";
}
