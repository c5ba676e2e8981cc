// Texts and ratios of a tank record: units, scale, error texts, percentages,
// temperature correction, number parsing. All of it under a German locale (Qt
// default and, where installed, the C library's LC_NUMERIC): every figure
// still uses ".", and user input with "," or "." parses the same.
#include "lang/Lng.h"
#include "model/Figures.h"
#include "support/TestSupport.h"

#include <QLocale>
#include <clocale>
#include <tuple>

namespace
{

DeviceRecord rec(int volumen, int einheit, int dezPunkt, int tankvolumen = 10000, int temperatur = 0,
                 double k = 1)
{
    DeviceRecord r;
    r.Volumen = volumen;
    r.Einheit = einheit;
    r.DezPunkt = qint16(dezPunkt);
    r.Tankvolumen = tankvolumen;
    r.Temperatur = qint16(temperatur);
    r.TempKorr = k;
    return r;
}

class FiguresTest : public ::testing::Test
{
protected:
    const Texts german{1};
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        ASSERT_EQ(QLocale().toString(1.5), "1,5");
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_NUMERIC, "C");
    }
};

} // namespace

// Fractional units (m³, m, %, t) divide by the scale code, the others multiply.
TEST_F(FiguresTest, ScaledLevelAndFormatValue)
{
    // raw value, unit, scale code: level and text
    const std::tuple<int, int, int, double, const char *> cases[] = {
        {1234, 0, 2, 12340, "12340 Liter"},
        {1234, 1, 1, 1.234, "1.234 m³"},
        {5, 1, 1, 0.005, "0.005 m³"},
        {7, 7, 3, 0.7, "0.7 t"},
        {1234, 4, 4, 1234000, "1234000 kg"}, // no group separator
        {123, 8, 0, 123, "123 "},            // no unit: the number and a single blank
        {1234, 0, 5, 0, " Liter"},           // unknown scale code: no number
        // Device errors (negative values) are texts, not levels.
        {-57352, 1, 2, 0, "Fehler E008  (Sonde kurzgeschlossen?!)"},
        {-0xEABC, 1, 2, 0, "Fehler EABC"},
    };
    for (const auto &[raw, unit, scale, level, text] : cases) {
        EXPECT_EQ(FormatValue(raw, rec(0, unit, scale), german), text) << raw << "/" << unit << "/" << scale;
        EXPECT_DOUBLE_EQ(ScaledLevel(raw, rec(0, unit, scale)), level) << text;
    }
    // The level text of a tank-file line is the number part of FormatValue.
    for (int u = 0; u <= 8; ++u)
        for (int d = 0; d <= 7; ++d)
            EXPECT_TRUE(
                FormatValue(4321, rec(0, u, d), german).startsWith(ScaledLevelText(4321, rec(0, u, d)) + ' '))
                << u << "/" << d;
}

// Percentages and fill fraction; the volume corrected to 15 °C at TempKorr per
// mille per degree, halves to the even neighbour.
TEST_F(FiguresTest, PercentFillFractionAndCorrectedVolume)
{
    // An exact half rounds up (away from zero), computed without float error.
    const std::tuple<int, int, const char *> percents[] = {
        {5000, 0, "???%"}, {-0xE002, 1000, "???%"}, {1, 8, "13%"}, {2, 3, "67%"}};
    for (const auto &[volume, capacity, text] : percents)
        EXPECT_EQ(PercentText(rec(volume, 0, 0, capacity)), text) << volume << "/" << capacity;

    EXPECT_DOUBLE_EQ(FillFraction(rec(15000, 0, 0, 10000)), 1.5) << "no upper bound";
    EXPECT_DOUBLE_EQ(FillFraction(rec(-57346, 0, 0, 100)), 1.0);

    // volume, temperature, coefficient, correction on: corrected volume
    const std::tuple<int, int, double, bool, int> cases[] = {
        {1000, 25, 1, true, 1010},     {1000, 25, 1, false, 1000}, {1000, kNoTemperature, 1, true, 1000},
        {500, 16, 1, true, 500},       // 500.5
        {1500, 16, 1, true, 1502},     // 1501.5
        {-57346, 30, 1, true, -57346}, // a device error is no volume
        {1000, -100, 100, true, 0},    // far outside the accepted range: never an error code
    };
    for (const auto &[volumen, temperature, k, on, corrected] : cases)
        EXPECT_EQ(CorrectedVolume(rec(volumen, 0, 0, 10000, temperature, k), on), corrected)
            << volumen << " at " << temperature;
    EXPECT_EQ(CorrectedPercentText(rec(1000, 0, 0, 2000, 25), true), "51%"); // 1010 / 2000
}

TEST_F(FiguresTest, ParseNumber)
{
    const std::pair<const char *, double> cases[] = {{" -2,25 ", -2.25}, {"2.5", 2.5}, {"abc", 0},
                                                     {"1.2.3", 0},       {"12abc", 0}, {"inf", 0}};
    for (const auto &[text, value] : cases)
        EXPECT_DOUBLE_EQ(ParseNumber(text), value) << text;
}
