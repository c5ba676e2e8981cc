// Monthly consumption with refuelling detection: the edge cases as small
// histories, the tables per unit with their exports and the protocol's lines.
#include "consumption/Consumption.h"
#include "consumption/ConsumptionCsv.h"
#include "consumption/ConsumptionSheet.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <map>
#include <sys/stat.h>

// A history as "day.month[.yy]=value" words (year 2026 unless given); the
// points of a tank lie a minute apart on top of noon.
struct Tank {
    const char *points;
    int tankvolumen = 10000;
    int einheit = 0; // litres
    int dezPunkt = 0;
};
using Cells = std::map<std::pair<int, int>, double>; // (year, month) -> number

static DeviceTable devicesOf(const std::vector<Tank> &tanks)
{
    DeviceTable t;
    t.DeviceCount = int(tanks.size());
    for (size_t d = 0; d < tanks.size(); ++d) {
        DeviceRecord &rec = t[int(d) + 1];
        rec.Tankvolumen = tanks[d].tankvolumen;
        rec.Einheit = tanks[d].einheit;
        rec.DezPunkt = qint16(tanks[d].dezPunkt);
        int minute = 0;
        for (const QByteArray &word : QByteArray(tanks[d].points).split(' ')) {
            int day = 0, month = 0, year = 26;
            std::sscanf(word.constData(), "%d.%d.%d", &day, &month, &year);
            rec.History.append(QDateTime(QDate(2000 + year, month, day), QTime(12, minute++), Qt::UTC),
                               word.mid(word.indexOf('=') + 1).toDouble(), 0);
        }
    }
    return t;
}

// Every month cell, so that a cell entered by mistake shows too.
static Cells monthCells(const ConsumptionTable &table)
{
    Cells cells;
    for (int y = table.newestYear() - table.yearRows() + 1; y <= table.newestYear(); ++y)
        for (int m = 1; m <= 12; ++m)
            if (const auto v = table.month(y, m))
                cells[{y, m}] = *v;
    return cells;
}

static ConsumptionResult run(const std::vector<Tank> &tanks, ConsumptionSettings s = {},
                             const QString &protocol = {})
{
    s.logVerbrauch = !protocol.isEmpty();
    return ComputeConsumption(devicesOf(tanks), {0, 2026, s, protocol, QLocale(QLocale::German)});
}

// 3000 refuelled within three points, then a slow fall.
const char *const kRefuelled3000 = "2.1=1000 3.1=2000 4.1=3000 5.1=4000 6.1=3990 7.1=3980 8.1=3970 9.1=3960 "
                                   "10.1=3950 20.1=3900";
// A rise of 200 (2 % of 10000) that ends within January.
const char *const kSmallRiseEnds =
    "2.1=5000 3.1=4900 4.1=5100 5.1=5090 6.1=5080 7.1=5070 8.1=5060 9.1=5050 25.1=4950";
// The same rise with three non-rising points after it when February begins.
const char *const kSmallRiseAtMonthEnd =
    "2.1=5000 10.1=4950 20.1=4900 27.1=5100 28.1=5090 29.1=5080 30.1=5070 "
    "1.2=5050 10.2=5000 20.2=4900";
const char *const kMarch100 = "1.3=1000 5.3=980 10.3=960 15.3=940 20.3=920 25.3=900";

// The edge cases, each tank a small history: the month cells and the rows.
TEST(Consumption, EdgeCasesAsMonthCells)
{
    const struct {
        const char *name;
        std::vector<Tank> tanks;
        Cells expected;
        int yearRows = 1;
        ConsumptionSettings settings = {};
    } cases[] = {
        // start - end + 3000, counted after five non-rising points.
        {"RefuellingCountedAfterFiveNonRisingPoints", {{kRefuelled3000}}, {{{2026, 1}, 100}}},
        // Still rising at the last point: it ends there (1000 - 3990 + 3290).
        {"RefuellingInProgressAtTheEnd",
         {{"2.1=1000 3.1=900 4.1=800 5.1=700 6.1=4000 7.1=3990"}},
         {{{2026, 1}, 300}}},
        {"SmallRiseNotCountedWhenItEnds", {{kSmallRiseEnds}}, {{{2026, 1}, 50}}},
        // January 5000 - 5050 + 200, February 5050 - 4900.
        {"SmallRiseCountedAtMonthChange", {{kSmallRiseAtMonthEnd}}, {{{2026, 1}, 150}, {{2026, 2}, 150}}},
        // 1000 -> 1010 is exactly 1 %: not rising, so -5 is no consumption;
        // 1010.5 rises, and 10.5 is above 0.5 % of 1000.
        {"RiseOfExactlyTheTriggerIsNotRising",
         {{"2.1=1000 3.1=1010 4.1=1009 5.1=1008 6.1=1007 7.1=1006 8.1=1005", 1000},
          {"2.1=1000 3.1=1010.5 4.1=1009 5.1=1008 6.1=1007 7.1=1006 8.1=1005", 1000}},
         {{{2026, 1}, 5.5}},
         1,
         {false, 1, 0.5}},
        {"MonthThatOnlyRoseHasNoEntry",
         {{"2.1=1000 10.1=1005 20.1=1009 30.1=1012 5.2=1000 15.2=900"}},
         {{{2026, 2}, 100}}},
        // Four rows, the years between empty; December counts up to the
        // first point of the next month (800 - 600).
        {"EarlierYearAddsRows",
         {{"20.12.23=800 28.12.23=700 5.1=600 10.1=550 15.1=500 20.1=450"}},
         {{{2023, 12}, 200}, {{2026, 1}, 150}},
         4},
        // Fewer than 6 points: nothing, but the year still gets its row.
        {"FivePointsContributeNothing",
         {{"1.3.25=500 2.3.25=400 3.3.25=300 4.3.25=200 5.3.25=100"}, {kMarch100}},
         {{{2026, 3}, 100}},
         2},
        // A rise from the error value would count 600 as refuelled: 0.6 % of
        // the tank, so the month would vanish.
        {"NegativeStartIsSkipped",
         {{"1.2=-100 2.2=500 3.2=490 4.2=480 5.2=470 6.2=460 7.2=450", 100000}},
         {{{2026, 2}, 50}}},
        // Without a capacity every completed rise counts, the 2 % one too.
        {"NoCapacityCountsEveryRefuelling", {{kSmallRiseEnds, 0}}, {{{2026, 1}, 250}}},
        // m³ with scale code 1: the capacity 2500 is 2.5 m³, so a rise of
        // 1.5 m³ is 60 % and counts.
        {"ScaledCapacity",
         {{"2.1=1 3.1=2.5 4.1=2.49 5.1=2.48 6.1=2.47 7.1=2.46 8.1=2.45 20.1=2", 2500, 1, 1}},
         {{{2026, 1}, 0.5}}},
        // A clock that went back a year: the month lands in its own row.
        {"TimesGoingBackGrowTheTable",
         {{"5.1=900 10.1=800 10.12.24=700 15.12.24=650 20.12.24=600 25.12.24=550"}},
         {{{2026, 1}, 200}, {{2024, 12}, 150}},
         3},
    };
    for (const auto &c : cases) {
        const ConsumptionResult r = run(c.tanks, c.settings);
        const ConsumptionTable &table = r.groups.at(0).table;
        EXPECT_EQ(monthCells(table), c.expected) << c.name;
        EXPECT_EQ(std::pair(table.yearRows(), table.newestYear()), std::pair(c.yearRows, 2026)) << c.name;
    }
}

// Four tanks of three units: litres; m³ read to 0.001; rain water in % to
// 0.1 over the turn of the year; m³ read to 0.1. The fifth has too few points.
static DeviceTable mixedUnits()
{
    DeviceTable t = devicesOf({
        {kMarch100},
        {"2.1=2.5 10.1=2.45 20.1=2.414 1.2=2.4 10.2=2.3 20.2=2.2 1.3=2.133", 2500, 1, 1},
        {"10.12.25=80 20.12.25=79.5 1.1=78.8 15.1=78.2 1.2=77.9 15.2=77.5", 1000, 3, 3},
        {"1.3=10 5.3=9.8 10.3=9.6 15.3=9.5 20.3=9.3 25.3=9.1", 100, 1, 3},
        {"1.3=900 2.3=800 3.3=700 4.3=600 5.3=500", 1000, 6},
    });
    t[1].Tankbezeichnung = "Keller";
    t[2].Tankbezeichnung = "Diesel \"Hof\", Nord";
    t[3].SN = 4711;
    t[4].Tankbezeichnung = "Hof";
    t[5].Tankbezeichnung = "Neu";
    return t;
}

// A group as "unit tanks: decimals | row totals newest first | total".
static QStringList groupsOf(const ConsumptionResult &r)
{
    QStringList out;
    for (const ConsumptionGroup &g : r.groups) {
        QStringList tanks, rows;
        for (int d : g.tanks)
            tanks << QString::number(d);
        for (int row = 1; row <= g.table.yearRows(); ++row)
            rows << QString::number(g.table.cell(row, 14, Texts()).number, 'g', 15);
        out << QStringLiteral("%1 %2: %3 | %4 | %5")
                   .arg(g.unit, tanks.join(','))
                   .arg(g.table.decimals())
                   .arg(rows.join(' '))
                   .arg(g.table.total(), 0, 'g', 15);
    }
    return out;
}

// Decimal units keep their decimals in every total, and all tanks add up
// only within one unit: a table and a total per unit, in the CSV too.
TEST(ConsumptionUnits, DecimalTotalsAndOneTablePerUnit)
{
    const DeviceTable devices = mixedUnits();
    const auto compute = [&](int selection, bool perTank = false) {
        return ComputeConsumption(devices, {selection, 2026, {}, {}, QLocale(QLocale::German), perTank});
    };
    // The diesel alone: 0.1 in January, 0.267 in February (up to 2.133 on
    // 1 March), nothing in March.
    EXPECT_EQ(groupsOf(compute(2)), QStringList{"m³ 2: 3 | 0.367 | 0.367"});
    EXPECT_EQ(groupsOf(compute(3)), QStringList{"% 3: 1 | 1.3 1.2 | 2.5"});
    // All tanks: litres, both m³ tanks at the finer decimals (+ 0.9 in
    // March), %; the tank with five points stays in its own unit's table.
    EXPECT_EQ(groupsOf(compute(0)), (QStringList{"L 1: 0 | 100 | 100", "m³ 2,4: 3 | 1.267 | 1.267",
                                                 "% 3: 1 | 1.3 1.2 | 2.5", "US Gal 5: 0 | 0 | 0"}));
    EXPECT_EQ(groupsOf(compute(0, true)).size(), 5);
    // Percentages of two tanks never add up: each keeps a table of its own,
    // whose total row names it.
    const char *percentPoints = "10.12.25=80 20.12.25=79.5 1.1=78.8 15.1=78.2 1.2=77.9 15.2=77.5";
    const DeviceTable percent = devicesOf({{percentPoints, 1000, 3, 3}, {percentPoints, 1000, 3, 3}});
    const ConsumptionResult both = ComputeConsumption(percent, {0, 2026, {}, {}, QLocale(QLocale::German)});
    EXPECT_EQ(groupsOf(both), (QStringList{"% 1: 1 | 1.3 1.2 | 2.5", "% 2: 1 | 1.3 1.2 | 2.5"}));
    EXPECT_EQ(ConsumptionSheet(both.groups).cell(3, 1, Texts(1)).text, "Summe % \u00b7 Tank 1");

    const ConsumptionCsvTexts texts = ConsumptionCsvTexts::forLanguage(Texts(1));
    const QByteArray table =
        ConsumptionExportBytes(devices, {0, 2026, {}, {}, {}}, ConsumptionCsvFormat::Table, "Tank 1-5", texts)
            .bytes;
    EXPECT_TRUE(table.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(table),
              "Tank 1-5\r\n\r\n,1,2,3,4,5,6,7,8,9,10,11,12,\r\n"
              "Jahr,Jan,Feb,M\xC3\xA4r,Apr,Mai,Jun,Jul,Aug,Sep,Okt,Nov,Dez,Summe\r\n"
              " 2026 ,,, 100 ,,,,,,,,,, 100 \r\nSumme L,,,,,,,,,,,,, 100 \r\n"
              " 2026 , 0.1 , 0.267 , 0.9 ,,,,,,,,,, 1.267 \r\nSumme m\xC2\xB3,,,,,,,,,,,,, 1.267 \r\n"
              " 2026 , 0.9 , 0.4 ,,,,,,,,,,, 1.3 \r\n 2025 ,,,,,,,,,,,, 1.2 , 1.2 \r\n"
              "Summe %,,,,,,,,,,,,, 2.5 \r\n 2026 ,,,,,,,,,,,,, 0 \r\n"
              "Summe US Gal,,,,,,,,,,,,, 0 \r\n");

    // A single tank's table carries its unit in its title, months as the table names them.
    EXPECT_TRUE(
        ConsumptionExportBytes(devices, {2, 2026, {}, {}, {}}, ConsumptionCsvFormat::Table, "2: Diesel",
                               texts)
            .bytes.startsWith(
                "\xEF\xBB\xBF"
                "2: Diesel (m\xC2\xB3)\r\n\r\n,1,2,3,4,5,6,7,8,9,10,11,12,\r\nJahr,Jan,Feb,M\xC3\xA4r,"));

    // One line per tank and month from its first point's month to its last
    // one's; March of the diesel had no consumption: empty, as its cell; tank 5 none at all.
    const QString longForm = QString::fromUtf8(
        ConsumptionExportBytes(devices, {0, 2026, {}, {}, {}}, ConsumptionCsvFormat::Long, "Tank 1-5", texts)
            .bytes);
    EXPECT_EQ(longForm, "tank,name,unit,year,month,consumption\n"
                        "1,Keller,L,2026,3,100\n2,\"Diesel \"\"Hof\"\", Nord\",m\xC2\xB3,2026,1,0.1\n"
                        "2,\"Diesel \"\"Hof\"\", Nord\",m\xC2\xB3,2026,2,0.267\n"
                        "2,\"Diesel \"\"Hof\"\", Nord\",m\xC2\xB3,2026,3,\n3,SN:4711,%,2025,12,1.2\n"
                        "3,SN:4711,%,2026,1,0.9\n3,SN:4711,%,2026,2,0.4\n"
                        "4,Hof,m\xC2\xB3,2026,3,0.9\n");
    // A single tank in the long form: its lines only.
    EXPECT_EQ(
        ConsumptionExportBytes(devices, {4, 2026, {}, {}, {}}, ConsumptionCsvFormat::Long, "4: Hof", texts)
            .bytes,
        "tank,name,unit,year,month,consumption\n4,Hof,m\xC2\xB3,2026,3,0.9\n");
}

using ConsumptionProtocolFile = DataDirTest;

TEST_F(ConsumptionProtocolFile, LinesOfARunRecreatedEachTime)
{
    const QString path = dataDir() + QStringLiteral("LogVerbrauch.txt");
    writeBytes(path, "from an older run\r\n");
    const char *tank2 = "2.1=1000 3.1=2000 4.1=3000 5.1=4000 6.1=3990 7.1=3980 8.1=3970 9.1=3960 "
                        "10.1=3950 20.1=3900.5";
    const ConsumptionResult r = run({{kSmallRiseAtMonthEnd}, {tank2}}, {}, path);
    EXPECT_TRUE(r.protocolError.isEmpty());
    const QString dashes(29, QLatin1Char('-'));
    // German numbers and times; the third item starts in the zone at column 57.
    const QStringList expected = {
        "Tank:1 27.01.2026 12:03:00 Betankung von:4900 --> 5100  Summe Betankung = 200",
        "Tank:1 01.02.2026 12:07:00 Monatswechsel Volumen:5050   Summe Verbrauch:150", dashes,
        "Tank:1 20.02.2026 12:09:00 Letzter Monat Volumen:4900   Summe Verbrauch:150", dashes,
        "Tank:2 05.01.2026 12:03:00 Betankung von:1000 --> 4000  Summe Betankung = 3000",
        // The second tank adds to January's cell (150 + 99.5): the sum is the cell's.
        "Tank:2 20.01.2026 12:09:00 Letzter Monat Volumen:3900,5 Summe Verbrauch:249,5", dashes, ""};
    EXPECT_EQ(QString::fromLatin1(readBytes(path)).split(QStringLiteral("\r\n")), expected);

    // Switched off: the file is left alone. Unwritable: said, and the table still computed.
    run({{kMarch100}});
    EXPECT_EQ(readBytes(path).count('\n'), 8);
    const ConsumptionResult bad = run({{kMarch100}}, {}, QStringLiteral("/nonexistent/LogVerbrauch.txt"));
    EXPECT_FALSE(bad.protocolError.isEmpty());
    EXPECT_EQ(monthCells(bad.groups.at(0).table), (Cells{{{2026, 3}, 100}}));
    // A FIFO of that name neither blocks the run nor stays.
    QFile::remove(path);
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_TRUE(run({{kMarch100}}, {}, path).protocolError.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
}
