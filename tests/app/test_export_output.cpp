// Where an export's bytes go, as real processes: never into a file of the
// program by any path, streams written as streams, "-" on standard output.
#include "ExportRun.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

class ExportOutput : public ExportRun
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[Ger\xE4te]\r\nAnzahl=2\r\n[Ger\xE4t1]\r\nSN=11\r\n"
                              "Tankvolumen=2000\r\n[Ger\xE4t2]\r\nSN=12\r\n[Common]\r\nLog=" +
                                  QFile::encodeName(dataDir()) + "trace.txt\r\n");
        writeBytes(dataDir() + "Tank1.csv", "03.02.2024 08:00:00,1000,Liter,12\r\n"
                                            "06.02.2024 08:00:00,900,Liter,12\r\n");
        writeBytes(dataDir() + "trace.txt", "trace\r\n");
        ASSERT_TRUE(drop.isValid());
    }
};

// Each way to our files is refused with status 2 and one line naming the
// file; nothing in the data folder changes, also not through the chart.
TEST_F(ExportOutput, NoPathLeadsIntoTheProgramsFiles)
{
    const QMap<QString, QByteArray> before = folder();
    const QString ini = iniPath(), tank1 = dataDir() + "Tank1.csv", tank2 = dataDir() + "Tank2.csv";
    ASSERT_EQ(::symlink(qPrintable(ini), qPrintable(dropped("settings.csv"))), 0);
    ASSERT_EQ(::symlink(qPrintable(tank1), qPrintable(dropped("tank.csv"))), 0);
    // Tank 2 has no file yet: the link dangles until the recorder makes it.
    ASSERT_EQ(::symlink(qPrintable(tank2), qPrintable(dropped("later.csv"))), 0);
    ASSERT_EQ(::symlink(qPrintable(ini), qPrintable(dropped("chart.png"))), 0);
    ASSERT_EQ(::link(qPrintable(ini), qPrintable(dropped("hard.csv"))), 0);
    ASSERT_TRUE(QDir(dataDir()).mkdir("sub"));
    const QString dotted = dataDir() + "sub/../Tankmon.ini";
    const QString trace = dataDir() + "sub/../trace.txt";
    const QList<std::pair<QStringList, QString>> cases = {
        {{"--export-consumption", "all", "--output", dropped("settings.csv")}, ini},
        {{"--export-consumption", "1", "--output", dropped("tank.csv")}, tank1},
        {{"--export-consumption", "1", "--output", dropped("later.csv")}, tank2},
        {{"--export-consumption", "all", "--output", dropped("hard.csv")}, ini},
        {{"--export-consumption", "all", "--output", dotted}, ini},
        {{"--export-consumption", "all", "--output", trace}, dataDir() + "trace.txt"},
        {{"--export-chart", "1", "--output", dropped("chart.png")}, ini},
    };
    for (const auto &[args, owned] : cases) {
        EXPECT_EQ(run(args), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(owned)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
        EXPECT_EQ(folder(), before) << qPrintable(args.join(' '));
    }
    EXPECT_FALSE(QFileInfo::exists(tank2));
    // A regular file of the user's is still replaced as a whole.
    writeBytes(dropped("mine.csv"), "old");
    const quint64 inode = InodeOf(dropped("mine.csv"));
    ASSERT_EQ(run({"--export-consumption", "1", "--output", dropped("mine.csv")}), 0) << qPrintable(err);
    EXPECT_TRUE(readBytes(dropped("mine.csv")).startsWith("\xEF\xBB\xBF"));
    EXPECT_NE(InodeOf(dropped("mine.csv")), inode);
}

// A FIFO, a character device and standard output get the same bytes as a
// file, and stay what they are.
TEST_F(ExportOutput, StreamsAreWrittenNotReplaced)
{
    ASSERT_EQ(run({"--export-consumption", "1", "--output", dropped("file.csv")}), 0) << qPrintable(err);
    const QByteArray csv = readBytes(dropped("file.csv"));
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF")) << csv.constData();

    // "-" and /dev/stdout: down the pipe the test reads.
    for (const char *name : {"-", "/dev/stdout"}) {
        ASSERT_EQ(run({"--export-consumption", "1", "--output", name}), 0) << qPrintable(err);
        EXPECT_EQ(out, csv) << name;
    }
    ASSERT_EQ(run({"--export-chart", "1", "--output", "-"}), 0) << qPrintable(err);
    EXPECT_TRUE(out.startsWith("\x89PNG\r\n\x1a\n"));

    // A FIFO: the export waits for its reader, then the reader gets everything.
    const QString fifo = dropped("fifo");
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    QProcess writer;
    writer.start(TANKMON_BINARY_DIR "/Tankmon",
                 {"--export-consumption", "1", "--output", fifo, "--data-dir", dataDir()});
    QProcess reader;
    reader.start("cat", {fifo});
    ASSERT_TRUE(writer.waitForFinished(60000));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().constData();
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
    ASSERT_EQ(run({"--export-consumption", "1", "--output", device}), 0) << qPrintable(err);
    ASSERT_EQ(::stat(qPrintable(device), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

} // namespace
