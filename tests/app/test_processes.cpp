// The program as a real process: headless start, SIGTERM, second instance,
// an alarm mailed, a client without its server, a busy link.
#include "email/SmtpPeer.h"
#include "support/Telegrams.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
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
        return p.waitForStarted(10000) && WaitFor([&] {
                   out += p.readAll();
                   return out.contains("[ready]") || p.state() == QProcess::NotRunning;
               }, 20000) && out.contains("[ready]");
    }

    const QString program = TANKMON_BINARY_DIR "/Tankmon";
    QByteArray out;
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

// Headless: an alarm telegram over TCP goes to the mail server of the
// settings, and the status lines say so.
TEST_F(Processes, HeadlessMailsAnAlarm)
{
    SmtpPeer mail({});
    ASSERT_NE(mail.port(), 0);
    const quint16 port = FreeTcpPort();
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=1\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                              "\r\n[Common]\r\nActiveNet=1\r\n[Logfile]\r\nAktiv=0\r\n[Log INI-File]\r\nAktiv=0\r\n"
                              "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\n"
                              "SMTPPort=" + QByteArray::number(mail.port()) +
                              "\r\nSTARTTLS=0\r\nLogin=0\r\nAbsenderEmail=tankmon@example.org\r\n"
                              "Betreff=%21 %15 / SN %07\r\n");
    QProcess p;
    ASSERT_TRUE(startHeadless(p));
    QTcpSocket gateway;
    gateway.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitFor([&] { return gateway.bytesAvailable() >= 8; }));
    gateway.write(Telegram{.sn = 4711, .status = 1}.bytes().toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return mail.messages().size() == 1; }, 30000));
    EXPECT_TRUE(mail.messages().first().second.contains("Subject: Alarm ! : Tank 1 / SN 4711\r\n"));
    QByteArray out;
    EXPECT_TRUE(WaitFor([&] {
        out += p.readAll();
        return out.contains("[panel 1] Email wurde gesendet: ");
    })) << out.constData();
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(mail.messages().size(), 1);
}

// The serving installation's settings file is gone: the client says so and
// ends, as the window program does, instead of running on with nothing.
TEST_F(Processes, ClientWithoutTheServerFileEnds)
{
    QTemporaryDir server;
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[Client]\r\nPath=" + QFile::encodeName(server.path()) + "\r\n");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, {"--headless", "--data-dir", dataDir(), "CLIENT"});
    ASSERT_TRUE(p.waitForFinished(15000)) << "still running";
    out = p.readAll();
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(out.contains("[stop]") && out.contains("/Tankmon.ini")) << out.constData();
}

// A telegram every second must not print a status line every second: under
// a service manager every line goes to the journal. A change of the source
// is printed at once.
TEST_F(Processes, ReceptionLinesAreNotRepeatedForEveryTelegram)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                              "\r\n[Common]\r\nActiveNet=1\r\n");
    QProcess p;
    ASSERT_TRUE(startHeadless(p)) << out.constData();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(peer.waitForConnected(5000));
    ASSERT_TRUE(peer.waitForReadyRead(5000)); // the greeting
    // Four telegrams, each in a second of its own.
    for (int i = 0; i < 4; ++i) {
        const int second = QTime::currentTime().second();
        peer.write(MakeTelegram(5000, 100 + i).toHex() + '\n');
        ASSERT_TRUE(peer.waitForBytesWritten(5000));
        ASSERT_TRUE(WaitFor([&] { return QTime::currentTime().second() != second; }, 3000));
    }
    // A second device: registering it saves the registry, so all before it were read.
    peer.write(MakeTelegram(5001, 7).toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return readBytes(iniPath()).contains("SN=5001"); }, 10000));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    out += p.readAll();
    int receptionLines = 0;
    for (const QByteArray &line : out.split('\n'))
        receptionLines += line.startsWith("[panel 1]") && line.endsWith("127.0.0.1");
    EXPECT_EQ(receptionLines, 1) << out.constData();
}

} // namespace
