// The program as a real process: headless start, SIGTERM, second instance.
#include "support/TestSupport.h"

#include "core/Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>

namespace {
QString program() { return QStringLiteral(TANKMON_BINARY_DIR "/Tankmon"); }

void writeIni(const QString &dir, const QByteArray &text)
{
    QFile f(dir + "/Tankmon.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Starts headless and waits for the ready line.
bool startHeadless(QProcess &p, const QString &dir, const QStringList &extra = {})
{
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program(), QStringList{"--headless", "--data-dir", dir} + extra);
    if (!p.waitForStarted(10000))
        return false;
    QByteArray out;
    return WaitFor([&] {
        out += p.readAll();
        return out.contains("[ready]") || p.state() == QProcess::NotRunning;
    }, 20000) && out.contains("[ready]");
}
} // namespace

class Processes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QFileInfo::exists(program())) << qPrintable(program()); }
    QTemporaryDir dir;
};

TEST_F(Processes, HeadlessRunsUntilSigtermAndSavesTheRegistry)
{
    // Simulation on with one device: telegrams arrive every 2 s after 5 s.
    writeIni(dir.path(), "[COM]\r\nSimulation=1\r\n[Common]\r\nActiveNet=1\r\n[COM]\r\nClientPort=0\r\n"
                         "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=77\r\nGer\xE4tetyp=9\r\n");
    QProcess p;
    ASSERT_TRUE(startHeadless(p, dir.path()));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    QFile f(dir.path() + "/Tankmon.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    EXPECT_TRUE(ini.contains("VolumenAnzeige=")) << ini.constData(); // written by the save at the end
    EXPECT_TRUE(ini.contains("SN=77"));
}

TEST_F(Processes, SecondInstanceEndsWithoutTouchingTheSettings)
{
    writeIni(dir.path(), "[COM]\r\nSimulation=1\r\n[Common]\r\nActiveNet=1\r\n[LngPtnr]\r\nLngId=0\r\n");
    QProcess first;
    ASSERT_TRUE(startHeadless(first, dir.path()));
    QFile f(dir.path() + "/Tankmon.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    const QDateTime mtime = QFileInfo(f).lastModified();

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(program(), {"--headless", "--data-dir", dir.path()});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().contains("Programm kann nicht mehrfach aufgerufen werden"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QFileInfo(f).lastModified(), mtime);

    ::kill(pid_t(first.processId()), SIGINT);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
}
