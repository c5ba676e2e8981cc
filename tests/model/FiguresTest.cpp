// Texts and ratios of a tank record: units, scale, error texts, percentages,
// temperature correction, number parsing, and all of it under a comma locale.
#include "model/Figures.h"
#include "ModelTestSupport.h"
#include "lang/Lng.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace
{

DeviceRecord rec(int volumen, int einheit, int dezPunkt, int tankvolumen = 10000)
{
    DeviceRecord r;
    r.Volumen = volumen;
    r.Einheit = einheit;
    r.DezPunkt = qint16(dezPunkt);
    r.Tankvolumen = tankvolumen;
    r.Geraetetyp = 5;
    return r;
}

class FiguresTest : public ::testing::Test
{
protected:
    void SetUp() override { SetLngId(1); }
};

} // namespace

TEST_F(FiguresTest, UnitNames)
{
    EXPECT_EQ(UnitName(0, true), QStringLiteral("L"));
    EXPECT_EQ(UnitName(0, false), QStringLiteral("Liter"));
    EXPECT_EQ(UnitName(1, false), QStringLiteral("m³"));
    EXPECT_EQ(UnitName(5, true), QStringLiteral("Gal"));
    EXPECT_EQ(UnitName(6, true), QStringLiteral("Gal"));
    EXPECT_EQ(UnitName(5, false), QStringLiteral("Imp.Gal"));
    EXPECT_EQ(UnitName(6, false), QStringLiteral("US Gal"));
    EXPECT_EQ(UnitName(7, false), QStringLiteral("t"));
    EXPECT_EQ(UnitName(8, false), QString());
    EXPECT_EQ(UnitName(-1, true), QString());
    SetLngId(2);
    EXPECT_NE(UnitName(0, false), QStringLiteral("Liter")) << "long litre text comes from the table";
    EXPECT_EQ(UnitName(0, false), LngText(26));
}

TEST_F(FiguresTest, FormatValueScalesByUnitKind)
{
    EXPECT_EQ(FormatValue(1234, rec(0, 0, 2)), QStringLiteral("12340 Liter"));
    EXPECT_EQ(FormatValue(1234, rec(0, 1, 1)), QStringLiteral("1.234 m³"));
    EXPECT_EQ(FormatValue(50, rec(0, 3, 0)), QStringLiteral("50 %"));
    EXPECT_EQ(FormatValue(5, rec(0, 1, 1)), QStringLiteral("0.005 m³"));
    EXPECT_EQ(FormatValue(125, rec(0, 2, 2)), QStringLiteral("1.25 m"));
    EXPECT_EQ(FormatValue(7, rec(0, 7, 3)), QStringLiteral("0.7 t"));
    EXPECT_EQ(FormatValue(1234, rec(0, 4, 4)), QStringLiteral("1234000 kg"));
    EXPECT_EQ(FormatValue(1234, rec(0, 1, 4)), QStringLiteral("1234 m³"));
    EXPECT_EQ(FormatValue(12, rec(0, 5, 3)), QStringLiteral("1200 Imp.Gal"));
    // Scale code 1 with a whole-number unit is a factor of 1.
    EXPECT_EQ(FormatValue(1234, rec(0, 0, 1)), FormatValue(1234, rec(0, 0, 0)));
    // No unit: the number and a single blank.
    EXPECT_EQ(FormatValue(123, rec(0, 8, 0)), QStringLiteral("123 "));
    // Unknown scale code: no number.
    EXPECT_EQ(FormatValue(1234, rec(0, 0, 5)), QStringLiteral(" Liter"));
    EXPECT_EQ(FormatValue(1234, rec(0, 1, 7)), QStringLiteral(" m³"));
    EXPECT_EQ(FormatValue(0, rec(0, 1, 2)), QStringLiteral("0.00 m³"));
}

TEST_F(FiguresTest, ErrorTexts)
{
    const DeviceRecord r = rec(0, 1, 2);
    EXPECT_EQ(FormatValue(-57352, r), QStringLiteral("Fehler E008  (Sonde kurzgeschlossen?!)"));
    EXPECT_EQ(FormatValue(-0xE002, r), QStringLiteral("Fehler E002  (Sonde unterbrochen?!)"));
    EXPECT_EQ(FormatValue(-0xE009, r), QStringLiteral("Fehler E009  (Sonde unterbrochen?!)"));
    EXPECT_EQ(FormatValue(-0xE001, r), QStringLiteral("Fehler E001"));
    EXPECT_EQ(FormatValue(-0xEABC, r), QStringLiteral("Fehler EABC"));
    EXPECT_EQ(FormatValue(-5, r), QStringLiteral("Fehler 5")) << "no leading zeros";
}

TEST_F(FiguresTest, PercentAndFillFraction)
{
    EXPECT_EQ(PercentText(rec(5000, 0, 0, 10000)), QStringLiteral("50%"));
    EXPECT_EQ(PercentText(rec(0, 0, 0, 10000)), QStringLiteral("0%"));
    EXPECT_EQ(PercentText(rec(12000, 0, 0, 10000)), QStringLiteral("120%"));
    EXPECT_EQ(PercentText(rec(5000, 0, 0, 0)), QStringLiteral("???%"));
    EXPECT_EQ(PercentText(rec(-0xE002, 0, 0, 1000)), QStringLiteral("???%"));
    // An exact half rounds up (away from zero), computed without float error.
    EXPECT_EQ(PercentText(rec(1, 0, 0, 8)), QStringLiteral("13%"));
    EXPECT_EQ(PercentText(rec(1, 0, 0, 200)), QStringLiteral("1%"));
    EXPECT_EQ(PercentText(rec(1, 0, 0, 3)), QStringLiteral("33%"));
    EXPECT_EQ(PercentText(rec(2, 0, 0, 3)), QStringLiteral("67%"));

    EXPECT_DOUBLE_EQ(FillFraction(rec(2500, 0, 0, 10000)), 0.25);
    EXPECT_DOUBLE_EQ(FillFraction(rec(15000, 0, 0, 10000)), 1.5) << "no upper bound";
    EXPECT_DOUBLE_EQ(FillFraction(rec(2500, 0, 0, 0)), 1.0);
    EXPECT_DOUBLE_EQ(FillFraction(rec(-57346, 0, 0, 100)), 1.0);
}

TEST_F(FiguresTest, TankTypeNamesDependOnDeviceType)
{
    DeviceRecord r;
    r.Tanktyp = 4;
    r.Geraetetyp = 5;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Batterie"));
    r.Geraetetyp = 7;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Oval"));
    r.Tanktyp = 8;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Zylindr. Großtank"));
    r.Tanktyp = 6;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Batterie konkav"));
    r.Tanktyp = 0;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Unbekannt"));
    r.Geraetetyp = 6;
    r.Tanktyp = 7;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Zisterne halbrund"));
    r.Tanktyp = 8;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Unbekannt"));
    r.Geraetetyp = 0; // not yet known: the older set
    r.Tanktyp = 2;
    EXPECT_EQ(TankTypeName(r), QStringLiteral("Zylinder liegend"));
}

TEST_F(FiguresTest, CorrectedVolume)
{
    DeviceRecord r = rec(1000, 0, 0);
    r.Temperatur = 25;
    r.TempKorr = 1;
    EXPECT_EQ(CorrectedVolume(r, true), 1010);
    EXPECT_EQ(CorrectedVolume(r, false), 1000);
    r.Temperatur = 5;
    EXPECT_EQ(CorrectedVolume(r, true), 990);
    r.Temperatur = kNoTemperature;
    EXPECT_EQ(CorrectedVolume(r, true), 1000);
    // Halves go to the even neighbour: 500.5 -> 500, 1501.5 -> 1502.
    r.Temperatur = 16;
    r.Volumen = 500;
    EXPECT_EQ(CorrectedVolume(r, true), 500);
    r.Volumen = 1500;
    EXPECT_EQ(CorrectedVolume(r, true), 1502);
    // A device error code is not a volume and stays as it is.
    r.Volumen = -57346;
    r.Temperatur = 30;
    EXPECT_EQ(CorrectedVolume(r, true), -57346);
    // A coefficient far outside the accepted range never yields an error code.
    r.Volumen = 1000;
    r.Temperatur = -100;
    r.TempKorr = 100;
    EXPECT_EQ(CorrectedVolume(r, true), 0);

    DeviceRecord p = rec(1000, 0, 0, 2000);
    p.Temperatur = 25;
    EXPECT_EQ(CorrectedPercentText(p, true), QStringLiteral("51%")); // 1010 / 2000
    EXPECT_EQ(CorrectedPercentText(p, false), QStringLiteral("50%"));
}

TEST_F(FiguresTest, ParseNumber)
{
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("1,5")), 1.5);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral(" 10 ")), 10);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("-2,25")), -2.25);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("abc")), 0);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("")), 0);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("1.2.3")), 0);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("12abc")), 0);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("inf")), 0);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("nan")), 0);
}

TEST_F(FiguresTest, ScaledLevelAndItsText)
{
    // Fractional units divide, the others multiply.
    EXPECT_DOUBLE_EQ(ScaledLevel(1234, rec(0, 1, 1)), 1.234);
    EXPECT_DOUBLE_EQ(ScaledLevel(125, rec(0, 2, 2)), 1.25);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 3, 3)), 57.5);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 7, 4)), 575);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 0, 1)), 575);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 0, 2)), 5750);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 6, 3)), 57500);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 9, 4)), 575000);
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 0, 5)), 0);
    EXPECT_DOUBLE_EQ(ScaledLevel(-57346, rec(0, 0, 0)), 0);

    EXPECT_EQ(ScaledLevelText(125, rec(0, 2, 2)), QStringLiteral("1.25"));
    EXPECT_EQ(ScaledLevelText(575, rec(0, 3, 3)), QStringLiteral("57.5"));
    EXPECT_EQ(ScaledLevelText(1234, rec(0, 0, 0)), QStringLiteral("1234"));
    EXPECT_EQ(ScaledLevelText(1230, rec(0, 0, 3)), QStringLiteral("123000"));
    EXPECT_EQ(ScaledLevelText(50, rec(0, 1, 1)), QStringLiteral("0.050"));
    EXPECT_EQ(ScaledLevelText(50, rec(0, 1, 6)), QString());
    // The level text of a tank-file line is the number part of FormatValue.
    for (int u = 0; u <= 8; ++u)
        for (int d = 0; d <= 5; ++d) {
            const DeviceRecord r = rec(0, u, d);
            EXPECT_TRUE(FormatValue(4321, r).startsWith(ScaledLevelText(4321, r) + QLatin1Char(' ')))
                << u << "/" << d;
        }
}

// Under a German locale (Qt default and the C library's LC_NUMERIC) every
// figure still uses ".", and user input with "," or "." parses the same.
class CommaLocaleTest : public FiguresTest
{
protected:
    void SetUp() override
    {
        FiguresTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        cLocale_ = setCommaLocale();
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_NUMERIC, "C");
    }
    // The C library's German locale, compiled into a temporary folder when the
    // system has none installed. False when neither works.
    bool setCommaLocale()
    {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "de_DE"))
            return true;
        if (!locDir_.isValid())
            return false;
        const int rc =
            QProcess::execute(QStringLiteral("localedef"),
                              {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                               QStringLiteral("UTF-8"), locDir_.path() + QStringLiteral("/de_DE.UTF-8")});
        if (rc != 0)
            return false;
        ::setenv("LOCPATH", QFile::encodeName(locDir_.path()).constData(), 1);
        const bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        ::unsetenv("LOCPATH");
        return ok;
    }
    QTemporaryDir locDir_;
    bool cLocale_ = false;
};

TEST_F(CommaLocaleTest, FiguresKeepTheDecimalPoint)
{
    // The locale is really active: Qt and (when available) printf write commas.
    EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1,5"));
    if (cLocale_) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        EXPECT_STREQ(buf, "1,5");
    } else {
        std::printf("note: no C library de_DE locale, only the Qt default locale is German\n");
    }
    EXPECT_EQ(FormatValue(1234, rec(0, 1, 1)), QStringLiteral("1.234 m³"));
    EXPECT_EQ(FormatValue(125, rec(0, 2, 2)), QStringLiteral("1.25 m"));
    EXPECT_EQ(FormatValue(1234567, rec(0, 0, 0)), QStringLiteral("1234567 Liter")) << "no group separator";
    EXPECT_EQ(ScaledLevelText(575, rec(0, 3, 3)), QStringLiteral("57.5"));
    EXPECT_DOUBLE_EQ(ScaledLevel(575, rec(0, 3, 3)), 57.5);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("2,5")), 2.5);
    EXPECT_DOUBLE_EQ(ParseNumber(QStringLiteral("2.5")), 2.5);
    EXPECT_EQ(PercentText(rec(1, 0, 0, 8)), QStringLiteral("13%"));
}
