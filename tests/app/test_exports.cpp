// The chart image and the consumption table from the command line, as real
// processes beside the data folder: what is written, the exit statuses with
// one line on stderr, and that nothing else is written.
#include "ExportRun.h"

#include <QDir>

using Exports = ExportRun;

TEST_F(Exports, ChartAndConsumptionWrittenAndRefusalsOnStderr)
{
    // Tank 1 uses 100.5 in February 2024, tank 2 50 in March; tank 3 has no file.
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\n[Ger\xE4t1]\r\nSN=11\r\nTankvolumen=2000\r\n"
                          "[Ger\xE4t2]\r\nSN=12\r\nTankvolumen=1000\r\n[Ger\xE4t3]\r\nSN=13\r\n");
    const QList<double> levels[] = {{1000.5, 980, 960, 940, 920, 900}, {500, 490, 480, 470, 460, 450}};
    for (int n = 1; n <= 2; ++n) {
        QByteArray lines;
        for (int i = 0; i < 6; ++i)
            lines += QStringLiteral("%1.%2.2024 08:00:00,%3,Liter,12\r\n")
                         .arg(i * 3 + 3, 2, 10, QLatin1Char('0'))
                         .arg(n + 1, 2, 10, QLatin1Char('0'))
                         .arg(levels[n - 1][i])
                         .toLatin1();
        writeBytes(dataDir() + QStringLiteral("Tank%1.csv").arg(n), lines);
    }
    const QMap<QString, QByteArray> before = folder();

    const QString png = dropped("all.png"), pdf = dropped("tank2.pdf");
    ASSERT_EQ(run({"--export-chart", "all", "--output", png}), 0) << qPrintable(err);
    EXPECT_TRUE(readBytes(png).startsWith("\x89PNG\r\n\x1a\n"));
    ASSERT_EQ(run({"--export-chart", "2", "--output", pdf, "--percent", "--points", "--size", "800x500"}), 0)
        << qPrintable(err);
    EXPECT_TRUE(readBytes(pdf).contains("/MediaBox [0 0 800.000000 500.000000]"));

    // The consumption table as the Windows program writes it, under a German locale too.
    const QString csv = dropped("verbrauch.csv");
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert("LC_ALL", "de_DE.UTF-8");
    german.insert("LANG", "de_DE.UTF-8");
    ASSERT_EQ(run({"--export-consumption", "all", "--output", csv}, german), 0) << qPrintable(err);
    // "." decimals although German writes ","; the row total rounds 100.5 to 100.
    QByteArray expected = "\xEF\xBB\xBFTank 1-3\r\n\r\n,1,2,3,4,5,6,7,8,9,10,11,12,\r\n"
                          "Jahr,Jan.,Feb.,M\xC3\xA4rz,Apr.,Mai,Juni,Juli,Aug.,Sept.,Okt.,Nov.,Dez.,Summe\r\n";
    for (int y = QDate::currentDate().year(); y > 2024; --y)
        expected += " " + QByteArray::number(y) + " ,,,,,,,,,,,,, 0 \r\n";
    expected += " 2024 ,, 100.5 , 50 ,,,,,,,,,, 150 \r\nSumme,,,,,,,,,,,,, 150 \r\n";
    EXPECT_EQ(readBytes(csv), expected);
    // The same as one line per tank and month, for scripts.
    const QString longCsv = dropped("long.csv");
    ASSERT_EQ(run({"--export-consumption", "all", "--output", longCsv, "--format", "long"}, german), 0)
        << qPrintable(err);
    EXPECT_EQ(readBytes(longCsv), "tank,name,unit,year,month,consumption\n1,SN:11,L,2024,2,100.5\n"
                                  "2,SN:12,L,2024,3,50\n");

    // Each refusal ends with status 2 and one line on stderr that names what is
    // wrong, in the folder's language (German: none stored).
    const QString x = dropped("x.png");
    const QList<std::pair<QStringList, const char *>> refusals = {
        {{"--export-chart", "4", "--output", x}, "unbekannter Tank 4"},
        {{"--export-chart", "first", "--output", x}, "„first“"},
        {{"--export-chart", "1"}, "--output"},
        {{"--export-chart", "1", "--output", dropped("x.jpg")}, "x.jpg"},
        {{"--export-chart", "1", "--output", x, "--size", "1200x"}, "--size"},
        {{"--export-chart", "1", "--output", x, "--months", "0"}, "--months"},
        {{"--output", x}, "--output"},
        {{"--export-chart", "1", "--output", x, "--colour"}, "colour"},
        {{"--export-chart", "1", "--output", dropped("no/x.png")}, "no/x.png"},
        {{"--export-consumption", "1", "--export-chart", "1", "--output", x}, "schließen einander aus"},
        {{"--export-consumption", "1", "--output", x, "--format", "wide"}, "wide"},
        {{"--export-chart", "1", "--output", x, "--format", "long"}, "--format"},
    };
    for (const auto &[args, named] : refusals) {
        EXPECT_EQ(run(args), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
    }
    // A tank without data lines: the program's three lines.
    for (const char *command : {"--export-chart", "--export-consumption"}) {
        EXPECT_EQ(run({command, "3", "--output", x}), 2);
        EXPECT_EQ(err, "Keine Daten vorhanden\nBitte Aktivierung der Log-Funktion prüfen\n"
                       "Menü Einstellen - Protokollfunktion - Protokoll in Logbuch-Datei\n");
    }
    EXPECT_EQ(folder(), before) << "the data folder is only read";
    EXPECT_EQ(QDir(drop.path()).entryList(QDir::Files).join(' '), "all.png long.csv tank2.pdf verbrauch.csv");
}
