// The consumption table from the command line, as a real process beside the
// data folder: the file's bytes under a German locale, the exit statuses,
// and that nothing else is written.
#include "support/ProgramRun.h"

#include <QDir>

namespace
{

class ConsumptionExport : public ProgramRunTest
{
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        // Tank 1 uses 100.5 in February 2024, tank 2 50 in March; tank 3 has no file.
        writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\n[Ger\xE4t1]\r\nSN=11\r\nTankbezeichnung=K\xFC"
                              "che\r\n[Ger\xE4t2]\r\nSN=12\r\n[Ger\xE4t3]\r\nSN=13\r\n");
        tank(1, 2, {1000.5, 980, 960, 940, 920, 900});
        tank(2, 3, {500, 490, 480, 470, 460, 450});
    }
    void tank(int n, int month, std::initializer_list<double> values)
    {
        QByteArray lines;
        int day = 1;
        for (double v : values)
            lines += QStringLiteral("%1.%2.2024 08:00:00,%3,Liter,12\r\n")
                         .arg(day++ * 3, 2, 10, QLatin1Char('0'))
                         .arg(month, 2, 10, QLatin1Char('0'))
                         .arg(v)
                         .toLatin1();
        writeBytes(dataDir() + QStringLiteral("Tank%1.csv").arg(n), lines);
    }
    static QProcessEnvironment german()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "de_DE.UTF-8");
        env.insert("LANG", "de_DE.UTF-8");
        return env;
    }
};

} // namespace

TEST_F(ConsumptionExport, WritesTheWindowsFileAndNothingElse)
{
    const auto before = folder();
    const QString csv = out.filePath("verbrauch.csv");
    ASSERT_EQ(run({"--export-consumption", "all", "--output", csv}, german()), 0) << qPrintable(err);
    // "." decimals although German writes ","; the row total rounds 100.5 to 100.
    QByteArray expected = "\xEF\xBB\xBFTank 1-3\r\n\r\n,1,2,3,4,5,6,7,8,9,10,11,12,\r\n"
                          "Jahr,Jan.,Feb.,M\xC3\xA4rz,Apr.,Mai,Juni,Juli,Aug.,Sept.,Okt.,Nov.,Dez.,Summe\r\n";
    for (int y = QDate::currentDate().year(); y > 2024; --y)
        expected += " " + QByteArray::number(y) + " ,,,,,,,,,,,,, 0 \r\n";
    expected += " 2024 ,, 100.5 , 50 ,,,,,,,,,, 150 \r\nSumme,,,,,,,,,,,,, 150 \r\n";
    EXPECT_EQ(readBytes(csv), expected);
    EXPECT_EQ(folder(), before) << "the data folder is only read";

    // One tank, and the protocol when it is switched on.
    writeBytes(iniPath(), readBytes(iniPath()) + "[Common]\r\nLogVerbrauch=1\r\n");
    ASSERT_EQ(run({"--export-consumption", "1", "--output", csv}), 0) << qPrintable(err);
    EXPECT_TRUE(readBytes(csv).startsWith("\xEF\xBB\xBF" "1: K\xC3\xBC" "che\r\n"));
    EXPECT_TRUE(readBytes(dataDir() + "LogVerbrauch.txt").startsWith("Tank:1 "));
}

TEST_F(ConsumptionExport, RefusesWithOneLineOrTheNoDataLines)
{
    const QString csv = out.filePath("x.csv");
    const struct {
        QStringList args;
        const char *named;
    } cases[] = {
        {{"--export-consumption", "4", "--output", csv}, "unknown tank 4"},
        {{"--export-consumption", "first", "--output", csv}, "\"first\""},
        {{"--export-consumption", "1"}, "--output"},
        {{"--export-consumption", "1", "--export-chart", "1", "--output", csv}, "exclude"},
        {{"--export-consumption", "1", "--output", out.filePath("no/x.csv")}, "no/x.csv"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.args), 2) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(err.contains(c.named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
    }
    EXPECT_EQ(run({"--export-consumption", "3", "--output", csv}), 2);
    EXPECT_EQ(err, "Keine Daten vorhanden\nBitte Aktivierung der Log-Funktion prüfen\n"
                   "Menü Einstellen - Protokollfunktion - Protokoll in Logbuch-Datei\n");
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}
