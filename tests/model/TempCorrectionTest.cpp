// The temperature-correction switch with its questions and the entry of the
// per-tank coefficients with its range check.
#include "ControllerFixture.h"

#include "core/RunState.h"
#include "model/TempCorrection.h"

#include <gtest/gtest.h>

namespace
{

// Also keeps the default answer each input box offered.
class OfferingUi : public ScriptedUi
{
public:
    QStringList offered;
    QString inputBox(const QString &prompt, const QString &title, const QString &def) override
    {
        offered << def;
        return ScriptedUi::inputBox(prompt, title, def);
    }
};

class TempCorrectionTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        SetUi(&offering);
        for (int sn : {11, 22, 33})
            ASSERT_TRUE(feed(dev(sn)));
        tanks.device(1).Tankbezeichnung = QStringLiteral("Hof");
        events.clear();
        offering.shown.clear();
    }
    QString flagInFile() const { return iniValue(QStringLiteral("Common"), QStringLiteral("FlagTempKorr")); }
    QString coefficientInFile(int n) const
    {
        return iniValue(QStringLiteral("Gerät%1").arg(n), QStringLiteral("TempKorr"));
    }

    OfferingUi offering;
};

} // namespace

TEST_F(TempCorrectionTest, SwitchingOnAsksEveryTank)
{
    offering.answers = {MsgResult::Yes};
    offering.inputs = {QStringLiteral("10"), QStringLiteral("2,5"), QStringLiteral("0.7")};
    EXPECT_TRUE(TempCorrection::Toggle(tanks));
    EXPECT_TRUE(State().flagTempKorr);
    EXPECT_EQ(flagInFile(), QStringLiteral("1"));
    ASSERT_EQ(offering.shown.size(), 4);
    EXPECT_EQ(offering.shown[0].text, QStringLiteral("Temperaturkorrektur einschalten ?"));
    EXPECT_EQ(offering.shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(offering.shown[1].text, QStringLiteral("Tank 1 HofAusdehnung pro Grad in Promille:"));
    EXPECT_EQ(offering.shown[1].title, QStringLiteral("Temperaturkorrektur Eingabe Koeffizienten"));
    EXPECT_EQ(offering.shown[2].text, QStringLiteral("Tank 2 Ausdehnung pro Grad in Promille:"));
    EXPECT_DOUBLE_EQ(tanks.device(1).TempKorr, 10);
    EXPECT_DOUBLE_EQ(tanks.device(2).TempKorr, 2.5);
    EXPECT_DOUBLE_EQ(tanks.device(3).TempKorr, 0.7);
    EXPECT_EQ(coefficientInFile(1), QStringLiteral("10"));
    EXPECT_EQ(coefficientInFile(2), QStringLiteral("2.5"));
    EXPECT_EQ(coefficientInFile(3), QStringLiteral("0.7"));
    EXPECT_TRUE(events.contains(QStringLiteral("deviceChanged(3)")));
    EXPECT_EQ(offering.offered, (QStringList{"1", "1", "1"}));
}

TEST_F(TempCorrectionTest, OutOfRangeStopsTheEntry)
{
    offering.answers = {MsgResult::Yes};
    offering.inputs = {QStringLiteral("3"), QStringLiteral("10.5"), QStringLiteral("4")};
    EXPECT_TRUE(TempCorrection::Toggle(tanks));
    EXPECT_DOUBLE_EQ(tanks.device(1).TempKorr, 3) << "entered before the error: kept";
    EXPECT_DOUBLE_EQ(tanks.device(2).TempKorr, 1);
    EXPECT_DOUBLE_EQ(tanks.device(3).TempKorr, 1) << "not asked after the error";
    EXPECT_EQ(offering.count(QStringLiteral("input")), 2);
    EXPECT_EQ(offering.shown.last().text, QStringLiteral("Fehlerhafte Eingabe"));
    EXPECT_EQ(offering.shown.last().title, QStringLiteral("Fehler"));
    EXPECT_EQ(offering.shown.last().icon, MsgIcon::Stop);
    EXPECT_EQ(coefficientInFile(2), QStringLiteral("<absent>"));
    EXPECT_TRUE(State().flagTempKorr) << "the switch stays on";
}

TEST_F(TempCorrectionTest, RangeLimits)
{
    EXPECT_TRUE(TempCorrection::IsValidCoefficient(10));
    EXPECT_TRUE(TempCorrection::IsValidCoefficient(0.001));
    EXPECT_FALSE(TempCorrection::IsValidCoefficient(10.5));
    EXPECT_FALSE(TempCorrection::IsValidCoefficient(10.0000001));
    EXPECT_FALSE(TempCorrection::IsValidCoefficient(0));
    EXPECT_FALSE(TempCorrection::IsValidCoefficient(-1));
    // A cancelled box counts as 0.
    State().flagTempKorr = true;
    offering.inputs = {QString()};
    EXPECT_FALSE(TempCorrection::AskCoefficients(tanks));
    EXPECT_EQ(offering.shown.last().text, QStringLiteral("Fehlerhafte Eingabe"));
}

TEST_F(TempCorrectionTest, ZeroIsOfferedAsOnePointFive)
{
    tanks.device(2).TempKorr = 0;
    tanks.device(3).TempKorr = 0.25;
    offering.inputs = {QStringLiteral("1"), QStringLiteral("1,5"), QStringLiteral("0,25")};
    EXPECT_TRUE(TempCorrection::AskCoefficients(tanks));
    EXPECT_EQ(offering.offered, (QStringList{"1", "1.5", "0.25"}));
    EXPECT_DOUBLE_EQ(tanks.device(2).TempKorr, 1.5);
}

TEST_F(TempCorrectionTest, AnsweringNo)
{
    // Off and No: nothing changes, nothing is asked.
    offering.answers = {MsgResult::No};
    EXPECT_FALSE(TempCorrection::Toggle(tanks));
    EXPECT_FALSE(State().flagTempKorr);
    EXPECT_EQ(offering.count(QStringLiteral("input")), 0);
    EXPECT_EQ(flagInFile(), QStringLiteral("<absent>"));

    // On and No: stays on, and the coefficients are asked all the same.
    State().flagTempKorr = true;
    offering.shown.clear();
    offering.answers = {MsgResult::No};
    offering.inputs = {QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("2")};
    EXPECT_TRUE(TempCorrection::Toggle(tanks));
    EXPECT_EQ(offering.shown[0].text, QStringLiteral("Temperaturkorrektur ausschalten ?"));
    EXPECT_EQ(offering.count(QStringLiteral("input")), 3);
    EXPECT_DOUBLE_EQ(tanks.device(3).TempKorr, 2);
}

TEST_F(TempCorrectionTest, SwitchingOffKeepsTheCoefficients)
{
    State().flagTempKorr = true;
    tanks.device(1).TempKorr = 4;
    offering.answers = {MsgResult::Yes};
    EXPECT_FALSE(TempCorrection::Toggle(tanks));
    EXPECT_FALSE(State().flagTempKorr);
    EXPECT_EQ(flagInFile(), QStringLiteral("0"));
    EXPECT_EQ(offering.count(QStringLiteral("input")), 0);
    EXPECT_DOUBLE_EQ(tanks.device(1).TempKorr, 4);
    EXPECT_TRUE(events.contains(QStringLiteral("deviceChanged(1)"))) << "figures follow the switch";
}
