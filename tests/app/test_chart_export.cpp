// Chart images from the command line, as a real process beside the data
// folder: what is written, the exit statuses, and that nothing else is.
#include "support/ProgramRun.h"

#include <QDir>
#include <QtEndian>

namespace
{

class ChartExport : public ProgramRunTest
{
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        // Three devices; tank 3 has no tank file.
        writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\n[Ger\xE4t1]\r\nSN=11\r\nTankvolumen=1000\r\n"
                              "[Ger\xE4t2]\r\nSN=12\r\nTankvolumen=2000\r\n[Ger\xE4t3]\r\nSN=13\r\n");
        const QDateTime now = QDateTime::currentDateTime();
        for (int n = 1; n <= 2; ++n) {
            QByteArray lines;
            for (int d = 90; d > 0; --d)
                lines += now.addDays(-d).toString("dd.MM.yyyy hh:mm:ss").toLatin1() + "," +
                         QByteArray::number(900 - d * n) + ",Liter,12\r\n";
            writeBytes(dataDir() + QStringLiteral("Tank%1.csv").arg(n), lines);
        }
    }
};

} // namespace

TEST_F(ChartExport, WritesPngOrPdfAndNothingElse)
{
    const auto before = folder();
    const QString png = out.filePath("all.png"), pdf = out.filePath("tank2.pdf");
    ASSERT_EQ(run({"--export-chart", "all", "--output", png}), 0) << qPrintable(err);
    const QByteArray image = readBytes(png);
    ASSERT_TRUE(image.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(qFromBigEndian<quint32>(image.constData() + 16), 1200u);
    EXPECT_EQ(qFromBigEndian<quint32>(image.constData() + 20), 700u);

    ASSERT_EQ(run({"--export-chart", "2", "--output", pdf, "--months", "1", "--percent", "--points", "--size",
                   "800x500"}),
              0)
        << qPrintable(err);
    const QByteArray doc = readBytes(pdf);
    EXPECT_TRUE(doc.startsWith("%PDF"));
    EXPECT_TRUE(doc.contains("/MediaBox [0 0 800.000000 500.000000]"));
    EXPECT_EQ(folder(), before) << "the data folder is only read";
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), (QStringList{"all.png", "tank2.pdf"}));
}

TEST_F(ChartExport, RefusesUnknownTanksBadOptionsAndMissingHistory)
{
    const QString png = out.filePath("x.png");
    const struct {
        QStringList args;
        const char *named;
    } cases[] = {
        {{"--export-chart", "4", "--output", png}, "unknown tank 4"},
        {{"--export-chart", "first", "--output", png}, "\"first\""},
        {{"--export-chart", "1"}, "--output"},
        {{"--export-chart", "1", "--output", out.filePath("x.jpg")}, "x.jpg"},
        {{"--export-chart", "1", "--output", png, "--size", "1200x"}, "--size"},
        {{"--export-chart", "1", "--output", png, "--months", "0"}, "--months"},
        {{"--output", png}, "--output"},
        {{"--export-chart", "1", "--output", png, "--colour"}, "colour"},
        {{"--export-chart", "1", "--output", out.filePath("no/x.png")}, "no/x.png"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.args), 2) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(err.contains(c.named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
    }
    EXPECT_EQ(run({"--export-chart", "3", "--output", png}), 2);
    EXPECT_TRUE(err.contains("Keine Daten vorhanden\nBitte Aktivierung der Log-Funktion prüfen\n"
                             "Menü Einstellen - Protokollfunktion - Protokoll in Logbuch-Datei"))
        << qPrintable(err);
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}
