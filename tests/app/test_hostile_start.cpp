// The real program on a bad day: a settings file it cannot read or write,
// a data folder it cannot write to, a flood of lines. Nothing the user had is
// lost.
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using HostileStart = RunningProgramTest;

// Unreadable (mode 0200): read as nothing, never written over, and the
// program does not ignore SIGTERM. A data folder the program may not write
// to is no second instance: the message says which folder and why, and the
// program ends.
TEST_F(HostileStart, UnreadableSettingsFileAndAFolderItCannotUse)
{
    const QByteArray content =
        "[LngPtnr]\r\nLngId=0\r\n[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\n";
    const QByteArray folder = QFile::encodeName(dataDir()), ini = QFile::encodeName(iniPath());
    // Root reads and writes anywhere: the program runs as nobody then.
    const QStringList asOtherUser =
        ::getuid() == 0 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                        : QStringList{};
    writeBytes(iniPath(), content);
    ASSERT_EQ(::chmod(ini.constData(), 0200), 0);
    // Root reads any file: the folder and file then belong to nobody.
    ASSERT_TRUE(::getuid() != 0 || (::chown(folder.constData(), 65534, 65534) == 0 &&
                                    ::chown(ini.constData(), 65534, 65534) == 0));
    ASSERT_TRUE(start("[ready]", asOtherUser)) << output.constData();
    EXPECT_TRUE(output.contains(ini)) << output.constData(); // the message names it
    EXPECT_TRUE(terminate());
    QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readBytes(iniPath()), content);

    ASSERT_TRUE(QFile::remove(iniPath()));
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n");
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    start("Error writing the INI file", asOtherUser);
    // It may have ended already, and waitForFinished says false then.
    EXPECT_TRUE(run.state() == QProcess::NotRunning || run.waitForFinished(10000));
    output += run.readAll();
    ::chmod(folder.constData(), 0700);
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_FALSE(output.contains("more than once")) << output.constData();
    EXPECT_TRUE(output.contains(QFile::encodeName(QDir::cleanPath(dataDir())))) << output.constData();
}

// A flood of valid lines must not make the program deaf: the connection-time
// cut (at the sixth one-second tick) and SIGTERM stay at most a second late.
TEST_F(HostileStart, LineFloodKeepsTheCutAndSigtermPrompt)
{
    QByteArray lines;
    for (int i = 0; i < 1000; ++i)
        lines += MakeTelegram(7000 + i % 5, i % 10000).toHex() + '\n';
    writeTcpSettings();
    ASSERT_TRUE(start()) << output.constData();
    {
        ThreadPeer flood(port, lines, std::numeric_limits<qint64>::max());
        ASSERT_TRUE(WaitFor([&] { return flood.cutAfterMs() >= 0; }, 20000)) << "never cut";
        EXPECT_GT(flood.cutAfterMs(), 4900);
        EXPECT_LE(flood.cutAfterMs(), 7000);
    }
    ThreadPeer flood(port, lines, std::numeric_limits<qint64>::max());
    ASSERT_TRUE(WaitFor([&] { return flood.sent() > 1 << 20; }, 20000));
    QElapsedTimer t;
    t.start();
    Signal(run, SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_LE(t.elapsed(), 1000);
    EXPECT_EQ(run.exitCode(), 0);
}

// A FIFO where a file belongs (the web view's certificate and key, the MQTT
// CA file, the trace) never holds the program: it is ready within 5 s, names
// the setting it does not use, and SIGTERM ends it within 5 s.
TEST_F(HostileStart, FifosWhereFilesBelongHoldNothing)
{
    QTemporaryDir files;
    const QByteArray fifo = QFile::encodeName(files.filePath("fifo")),
                     pem = QFile::encodeName(files.filePath("x.pem"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    writeBytes(QFile::decodeName(pem), "-----BEGIN CERTIFICATE-----\r\n");
    const QByteArray web = "[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(FreeTcpPort()) + "\r\n";
    const struct {
        QByteArray settings, caFile, named;
    } cases[] = {
        {web + "Zertifikat=" + fifo + "\r\nSchl\xFCssel=" + pem + "\r\n", {}, "Web/Zertifikat"},
        {web + "Zertifikat=" + pem + "\r\nSchl\xFCssel=" + fifo + "\r\n", {}, "Web/Schl\xC3\xBCssel"},
        {"[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTLS=1\r\n", fifo, "TANKMON_MQTT_CAFILE"},
        {"Log=" + fifo + "\r\n", {}, "Common/Log"}, // in the [Common] the link's settings end with
    };
    for (const auto &c : cases) {
        writeTcpSettings(c.settings);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TANKMON_MQTT_CAFILE", QFile::decodeName(c.caFile));
        run.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        ASSERT_TRUE(start()) << c.named.constData();
        EXPECT_LE(t.elapsed(), 5000) << c.named.constData();
        EXPECT_TRUE(waitOutput(c.named, 5000)) << c.named.constData();
        t.restart();
        EXPECT_TRUE(terminate()) << c.named.constData();
        EXPECT_LE(t.elapsed(), 5000) << c.named.constData();
    }
}

// A settings file without write rights is kept byte for byte, and said so
// once; a trace pointed at it by hand is not used, with a word why.
TEST_F(HostileStart, ReadOnlySettingsFileAndAnOwnedTraceAreLeftAlone)
{
    writeTcpSettings("Log=" + QFile::encodeName(iniPath()) + "\r\n"); // in [Common]
    const QByteArray content = readBytes(iniPath());
    ASSERT_EQ(::chmod(QFile::encodeName(iniPath()).constData(), 0444), 0);
    ASSERT_TRUE(start()) << output.constData();
    EXPECT_TRUE(output.contains("Common/Log")) << output.constData();
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(101, 500)));
    ASSERT_TRUE(waitOutput("read-only"));
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(202, 600)));
    EXPECT_TRUE(terminate());
    output += run.readAll();
    EXPECT_EQ(readBytes(iniPath()), content);
    EXPECT_EQ(output.count("read-only"), 1) << output.constData();
}
