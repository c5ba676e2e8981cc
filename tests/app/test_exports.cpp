// The chart image and the consumption table from the command line, as real
// processes beside the data folder: what is written, the exit statuses with
// one line on stderr, that nothing else is written, and where the bytes may
// go: never into a file of the program by any path, streams written as
// streams, "-" on standard output.
#include "support/ProgramRun.h"

#include <QDir>
#include <QDirIterator>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

class Exports : public RunningProgramTest
{
protected:
    // Tank 1 uses 100.5 in February 2024, tank 2 50 in March; tank 3 has no
    // file. The trace file is the program's, too.
    void SetUp() override
    {
        RunningProgramTest::SetUp();
        writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\n[Ger\xE4t1]\r\nSN=11\r\nTankvolumen=2000\r\n"
                              "[Ger\xE4t2]\r\nSN=12\r\nTankvolumen=1000\r\n[Ger\xE4t3]\r\nSN=13\r\n"
                              "[Common]\r\nLog=" +
                                  QFile::encodeName(dataDir()) + "trace.txt\r\n");
        writeBytes(dataDir() + "trace.txt", "trace\r\n");
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
    }
    // Every file of the data folder with its bytes.
    QMap<QString, QByteArray> folder() const
    {
        QMap<QString, QByteArray> files;
        for (QDirIterator it(dataDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            files[path] = readBytes(path);
        }
        return files;
    }
    QString dropped(const QString &name) const { return drop.filePath(name); }

    QTemporaryDir drop; // where a (careless or hostile) user points the export
};

TEST_F(Exports, ChartAndConsumptionWrittenAndRefusalsOnStderr)
{
    const QMap<QString, QByteArray> before = folder();
    const QString png = dropped("all.png"), pdf = dropped("tank2.pdf");
    ASSERT_EQ(tool({"--export-chart", "all", "--output", png}), 0) << qPrintable(err);
    EXPECT_TRUE(readBytes(png).startsWith("\x89PNG\r\n\x1a\n"));
    ASSERT_EQ(tool({"--export-chart", "2", "--output", pdf, "--percent", "--points", "--size", "800x500"}), 0)
        << qPrintable(err);
    EXPECT_TRUE(readBytes(pdf).contains("/MediaBox [0 0 800.000000 500.000000]"));

    // The consumption table as the Windows program writes it, under a German locale too.
    const QString csv = dropped("verbrauch.csv");
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert("LC_ALL", "de_DE.UTF-8");
    german.insert("LANG", "de_DE.UTF-8");
    ASSERT_EQ(tool({"--export-consumption", "all", "--output", csv}, {}, false, german), 0)
        << qPrintable(err);
    // "." decimals although German writes ","; the row total rounds 100.5 to 100.
    QByteArray expected = "\xEF\xBB\xBFTank 1-3 (L)\r\n\r\n,1,2,3,4,5,6,7,8,9,10,11,12,\r\n"
                          "Jahr,Jan,Feb,M\xC3\xA4r,Apr,Mai,Jun,Jul,Aug,Sep,Okt,Nov,Dez,Summe\r\n";
    for (int y = QDate::currentDate().year(); y > 2024; --y)
        expected += " " + QByteArray::number(y) + " ,,,,,,,,,,,,, 0 \r\n";
    expected += " 2024 ,, 100.5 , 50 ,,,,,,,,,, 150 \r\nSumme,,,,,,,,,,,,, 150 \r\n";
    EXPECT_EQ(readBytes(csv), expected);
    // The same as one line per tank and month, for scripts.
    const QString longCsv = dropped("long.csv");
    ASSERT_EQ(
        tool({"--export-consumption", "all", "--output", longCsv, "--format", "long"}, {}, false, german), 0)
        << qPrintable(err);
    EXPECT_EQ(readBytes(longCsv), "tank,name,unit,year,month,consumption\n1,SN:11,L,2024,2,100.5\n"
                                  "2,SN:12,L,2024,3,50\n");

    // Each refusal ends with status 2 and one line on stderr that names what is
    // wrong, in the folder's language (German: none stored).
    const QString x = dropped("x.png");
    const QList<std::pair<QStringList, const char *>> refusals = {
        {{"--export-chart", "4", "--output", x}, "unbekannter Tank 4"},
        {{"--export-chart", "1"}, "--output"},
        {{"--export-chart", "1", "--output", dropped("x.jpg")}, "x.jpg"},
        {{"--export-chart", "1", "--output", x, "--size", "1200x"}, "--size"},
        {{"--export-chart", "1", "--output", dropped("no/x.png")}, "no/x.png"},
        {{"--export-consumption", "1", "--export-chart", "1", "--output", x}, "schließen einander aus"},
        {{"--export-consumption", "1", "--output", x, "--format", "wide"}, "wide"},
        {{"--export-chart", "1", "--output", x, "--format", "long"}, "--format"},
    };
    for (const auto &[args, named] : refusals) {
        EXPECT_EQ(tool(args), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
    }
    // A tank without data lines: the program's three lines.
    for (const char *command : {"--export-chart", "--export-consumption"}) {
        EXPECT_EQ(tool({command, "3", "--output", x}), 2);
        EXPECT_EQ(err, "Keine Daten vorhanden\nBitte Aktivierung der Log-Funktion prüfen\n"
                       "Menü Einstellen - Protokollfunktion - Protokoll in Logbuch-Datei\n");
    }
    EXPECT_EQ(folder(), before) << "the data folder is only read";
    EXPECT_EQ(QDir(drop.path()).entryList(QDir::Files).join(' '), "all.png long.csv tank2.pdf verbrauch.csv");
}

// Each way to our files is refused with status 2 and one line naming the
// file; nothing in the data folder changes, also not through the chart.
TEST_F(Exports, NoPathLeadsIntoTheProgramsFiles)
{
    const QMap<QString, QByteArray> before = folder();
    const QString ini = iniPath(), tank1 = dataDir() + "Tank1.csv", tank3 = dataDir() + "Tank3.csv";
    ASSERT_EQ(::symlink(qPrintable(ini), qPrintable(dropped("settings.csv"))), 0);
    ASSERT_EQ(::symlink(qPrintable(tank1), qPrintable(dropped("tank.csv"))), 0);
    // Tank 3 has no file yet: the link dangles until the recorder makes it.
    ASSERT_EQ(::symlink(qPrintable(tank3), qPrintable(dropped("later.csv"))), 0);
    ASSERT_EQ(::symlink(qPrintable(ini), qPrintable(dropped("chart.png"))), 0);
    ASSERT_EQ(::link(qPrintable(ini), qPrintable(dropped("hard.csv"))), 0);
    ASSERT_TRUE(QDir(dataDir()).mkdir("sub"));
    // ".." after a link is the link target's parent, not the link's folder.
    ASSERT_EQ(::symlink(qPrintable(dataDir() + "sub"), qPrintable(dropped("s_sub"))), 0);
    const QList<std::pair<QStringList, QString>> cases = {
        {{"--export-consumption", "1", "--output", dropped("s_sub") + "/../Tank7.csv"},
         dataDir() + "Tank7.csv"},
        {{"--export-consumption", "all", "--output", dropped("settings.csv")}, ini},
        {{"--export-consumption", "1", "--output", dropped("tank.csv")}, tank1},
        {{"--export-consumption", "1", "--output", dropped("later.csv")}, tank3},
        {{"--export-consumption", "all", "--output", dropped("hard.csv")}, ini},
        {{"--export-consumption", "all", "--output", dataDir() + "sub/../Tankmon.ini"}, ini},
        {{"--export-consumption", "all", "--output", dataDir() + "sub/../trace.txt"},
         dataDir() + "trace.txt"},
        {{"--export-chart", "1", "--output", dropped("chart.png")}, ini},
    };
    for (const auto &[args, owned] : cases) {
        EXPECT_EQ(tool(args), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(owned)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
        EXPECT_EQ(folder(), before) << qPrintable(args.join(' '));
    }
    EXPECT_FALSE(QFileInfo::exists(tank3));
    // A regular file of the user's is still replaced as a whole.
    writeBytes(dropped("mine.csv"), "old");
    const quint64 inode = InodeOf(dropped("mine.csv"));
    ASSERT_EQ(tool({"--export-consumption", "1", "--output", dropped("mine.csv")}), 0) << qPrintable(err);
    EXPECT_TRUE(readBytes(dropped("mine.csv")).startsWith("\xEF\xBB\xBF"));
    EXPECT_NE(InodeOf(dropped("mine.csv")), inode);
}

// A FIFO, a character device and standard output get the same bytes as a
// file, and stay what they are.
TEST_F(Exports, StreamsAreWrittenNotReplaced)
{
    ASSERT_EQ(tool({"--export-consumption", "1", "--output", dropped("file.csv")}), 0) << qPrintable(err);
    const QByteArray csv = readBytes(dropped("file.csv"));
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF")) << csv.constData();

    // "-": down the pipe the test reads.
    ASSERT_EQ(tool({"--export-consumption", "1", "--output", "-"}), 0) << qPrintable(err);
    EXPECT_EQ(rawOut, csv);
    ASSERT_EQ(tool({"--export-chart", "1", "--output", "-"}), 0) << qPrintable(err);
    EXPECT_TRUE(rawOut.startsWith("\x89PNG\r\n\x1a\n"));

    // A FIFO: the export waits for its reader, then the reader gets everything.
    const QString fifo = dropped("fifo");
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    run.start(program, {"--export-consumption", "1", "--output", fifo, "--data-dir", dataDir()});
    QProcess reader;
    reader.start("cat", {fifo});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().constData();
    ASSERT_TRUE(reader.waitForFinished(10000));
    EXPECT_EQ(reader.readAllStandardOutput(), csv);
    struct stat st {
    };
    ASSERT_EQ(::stat(qPrintable(fifo), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A character device (the null device's numbers) stays a device.
    const QString device = dropped("null");
    if (::mknod(qPrintable(device), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod of a character device is not allowed here";
    ASSERT_EQ(tool({"--export-consumption", "1", "--output", device}), 0) << qPrintable(err);
    ASSERT_EQ(::stat(qPrintable(device), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

} // namespace
