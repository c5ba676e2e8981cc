// The program as a real process: headless start, SIGTERM, second instance.
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <csignal>

namespace {

class Processes : public DataDirTest {
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        ASSERT_TRUE(QFileInfo::exists(program)) << qPrintable(program);
    }
    // Starts headless on the test's data folder and waits for the ready line.
    bool startHeadless(QProcess &p)
    {
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, {"--headless", "--data-dir", dataDir()});
        QByteArray out;
        return p.waitForStarted(10000) && WaitFor([&] {
                   out += p.readAll();
                   return out.contains("[ready]") || p.state() == QProcess::NotRunning;
               }, 20000) && out.contains("[ready]");
    }

    const QString program = TANKMON_BINARY_DIR "/Tankmon";
};

TEST_F(Processes, HeadlessRunsUntilSigtermAndSavesTheRegistry)
{
    writeBytes(iniPath(), "[COM]\r\nSimulation=1\r\nClientPort=0\r\n[Common]\r\nActiveNet=1\r\n"
                          "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=77\r\nGer\xE4tetyp=9\r\n");
    QProcess p;
    ASSERT_TRUE(startHeadless(p));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray ini = readBytes(iniPath());
    EXPECT_TRUE(ini.contains("VolumenAnzeige=")) << ini.constData(); // written by the save at the end
    EXPECT_TRUE(ini.contains("SN=77"));
}

TEST_F(Processes, SecondInstanceEndsWithoutTouchingTheSettings)
{
    writeBytes(iniPath(), "[COM]\r\nSimulation=1\r\n[Common]\r\nActiveNet=1\r\n[LngPtnr]\r\nLngId=0\r\n");
    QProcess first;
    ASSERT_TRUE(startHeadless(first));
    const QByteArray before = readBytes(iniPath());
    const QDateTime mtime = QFileInfo(iniPath()).lastModified();

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(program, {"--headless", "--data-dir", dataDir()});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().contains("Programm kann nicht mehrfach aufgerufen werden"));
    EXPECT_EQ(readBytes(iniPath()), before);
    EXPECT_EQ(QFileInfo(iniPath()).lastModified(), mtime);

    ::kill(pid_t(first.processId()), SIGINT);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
}

} // namespace
