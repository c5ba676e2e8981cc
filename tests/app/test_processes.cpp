// The program as a real process: headless start, SIGTERM, second instance,
// an alarm mailed, a client without its server, a busy link.
#include "email/SmtpPeer.h"
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include <QFileInfo>

namespace {

using Processes = RunningProgramTest;

TEST_F(Processes, HeadlessRunsUntilSigtermAndSavesTheRegistry)
{
    writeBytes(iniPath(), "[COM]\r\nSimulation=1\r\nClientPort=0\r\n[Common]\r\nActiveNet=1\r\n"
                          "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=77\r\nGer\xE4tetyp=9\r\n");
    ASSERT_TRUE(start()) << output.constData();
    EXPECT_TRUE(terminate());
    const QByteArray ini = readBytes(iniPath());
    EXPECT_TRUE(ini.contains("VolumenAnzeige=")) << ini.constData(); // written by the save at the end
    EXPECT_TRUE(ini.contains("SN=77"));
}

// Headless: an alarm telegram over TCP goes to the mail server of the
// settings, and the status lines say so. SIGINT ends it as SIGTERM does.
TEST_F(Processes, HeadlessMailsAnAlarm)
{
    SmtpPeer mail({});
    ASSERT_NE(mail.port(), 0);
    writeTcpSettings("[Logfile]\r\nAktiv=0\r\n[Log INI-File]\r\nAktiv=0\r\n"
                     "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\n"
                     "SMTPPort=" + QByteArray::number(mail.port()) +
                     "\r\nSTARTTLS=0\r\nLogin=0\r\nAbsenderEmail=tankmon@example.org\r\nBetreff=%21 %15 / SN %07\r\n",
                     1);
    ASSERT_TRUE(start()) << output.constData();
    QTcpSocket gateway;
    ASSERT_TRUE(connectGateway(gateway));
    gateway.write(Telegram{.sn = 4711, .status = 1}.bytes().toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return mail.messages().size() == 1; }, 30000));
    EXPECT_TRUE(mail.messages().first().second.contains("Subject: Alarm ! : Tank 1 / SN 4711\r\n"));
    EXPECT_TRUE(waitOutput("[panel 1] Email wurde gesendet: ")) << output.constData();
    ::kill(pid_t(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(15000));
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_EQ(mail.messages().size(), 1);
}

// The serving installation's settings file is gone: the client says so and
// ends, as the window program does, instead of running on with nothing.
TEST_F(Processes, ClientWithoutTheServerFileEnds)
{
    QTemporaryDir server;
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[Client]\r\nPath=" + QFile::encodeName(server.path()) + "\r\n");
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(program, {"--headless", "--data-dir", dataDir(), "CLIENT"});
    ASSERT_TRUE(run.waitForFinished(15000)) << "still running";
    output = run.readAll();
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(output.contains("[stop]") && output.contains("/Tankmon.ini")) << output.constData();
}

// A second instance on the same data folder ends at once without touching
// the settings. A telegram every second must not print a status line every
// second (under a service manager every line goes to the journal); a change
// of the source is printed at once.
TEST_F(Processes, SecondInstanceEndsAndReceptionLinesAreNotRepeated)
{
    writeTcpSettings({}, 1);
    ASSERT_TRUE(start()) << output.constData();
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

    QTcpSocket peer;
    ASSERT_TRUE(connectGateway(peer));
    for (int i = 0; i < 4; ++i) { // each in a second of its own
        const int second = QTime::currentTime().second();
        peer.write(MakeTelegram(5000, 100 + i).toHex() + '\n');
        ASSERT_TRUE(peer.waitForBytesWritten(5000));
        ASSERT_TRUE(WaitFor([&] { return QTime::currentTime().second() != second; }, 3000));
    }
    // A second device: registering it saves the registry, so all before it were read.
    peer.write(MakeTelegram(5001, 7).toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return readBytes(iniPath()).contains("SN=5001"); }, 10000));
    EXPECT_TRUE(terminate());
    output += run.readAll();
    int receptionLines = 0;
    for (const QByteArray &line : output.split('\n'))
        receptionLines += line.startsWith("[panel 1]") && line.endsWith("127.0.0.1");
    EXPECT_EQ(receptionLines, 1) << output.constData();
}

} // namespace
