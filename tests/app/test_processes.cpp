// The program as a real process: the first start's language, the end while a
// mail is stuck, a client without its server, reception status lines, SIGINT.
#include "email/SmtpPeer.h"
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include <QElapsedTimer>
#include <QTcpServer>

using Processes = RunningProgramTest;

// No language stored (or 0): the system locale's one is taken and kept;
// LC_ALL wins over LANG, as everywhere. Then, as a client whose serving installation's
// settings file is gone, the program says so and ends, as the window program
// does, instead of running on with nothing.
TEST_F(Processes, FirstStartSpeaksTheSystemLanguageAndAClientWithoutItsServerEnds)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "en_GB.UTF-8");
    env.insert("LC_ALL", "hr_HR.UTF-8");
    env.remove("LANGUAGE");
    env.remove("LC_MESSAGES");
    run.setProcessEnvironment(env);
    ASSERT_TRUE(start()) << output.toStdString();
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(readBytes(iniPath()).contains("[LngPtnr]\r\nLngId=8\r\n"))
        << readBytes(iniPath()).toStdString();
    // An installation's 0 for "not chosen yet" is a first start as well.
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=0\r\n");
    env.insert("LC_ALL", "pl_PL.UTF-8");
    run.setProcessEnvironment(env);
    ASSERT_TRUE(start()) << output.toStdString();
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(readBytes(iniPath()).contains("[LngPtnr]\r\nLngId=10\r\n"))
        << readBytes(iniPath()).toStdString();

    QTemporaryDir server;
    writeBytes(iniPath(),
               "[LngPtnr]\r\nLngId=2\r\n[Client]\r\nPath=" + QFile::encodeName(server.path()) + "\r\n");
    EXPECT_EQ(tool({"--headless", "CLIENT"}), 1);
    EXPECT_TRUE((out + err).contains("[stop]") && (out + err).contains("/Tankmon.ini"))
        << qPrintable(out + err);
}

// A mail server that takes the connection and never answers: SIGTERM still
// ends the program within 5 s, the registry saved, exit status 0.
TEST_F(Processes, SigtermEndsPromptlyWhileAMailIsStuck)
{
    QTcpServer silent; // its connections are taken and left waiting
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    // Tank 1 known: only the save at the end writes its "VolumenAnzeige".
    writeTcpSettings("[Logfile]\r\nAktiv=0\r\n[Log INI-File]\r\nAktiv=0\r\n[Ger\xE4te]\r\nAnzahl=1\r\n"
                     "[Ger\xE4t1]\r\nSN=4711\r\n" +
                         MailSettings(silent.serverPort()),
                     1);
    ASSERT_TRUE(start()) << output.constData();
    QTcpSocket gateway;
    ASSERT_TRUE(connectGateway(gateway));
    gateway.write(Telegram{.sn = 4711, .status = 1}.bytes().toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }, 15000));
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    Signal(run, SIGTERM);
    ASSERT_TRUE(run.waitForFinished(15000));
    EXPECT_LT(sinceSignal.elapsed(), 5000);
    EXPECT_EQ(std::pair(run.exitStatus(), run.exitCode()), std::pair(QProcess::NormalExit, 0));
    EXPECT_TRUE(readBytes(iniPath()).contains("VolumenAnzeige="));
}

// A telegram every second must not print a status line every second (under a
// service manager every line goes to the journal); a change of the source is
// printed at once. SIGINT ends it as SIGTERM does.
TEST_F(Processes, ReceptionLinesAreNotRepeated)
{
    writeTcpSettings({}, 1);
    ASSERT_TRUE(start()) << output.constData();
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
    Signal(run, SIGINT);
    ASSERT_TRUE(run.waitForFinished(15000));
    EXPECT_EQ(std::pair(run.exitStatus(), run.exitCode()), std::pair(QProcess::NormalExit, 0));
    output += run.readAll();
    EXPECT_EQ(output.count(" 127.0.0.1\n"), 1) << output.constData();
}
