// A gateway that sends one telegram and hangs up at once, while the
// evaluation is still busy with something else: the tank file cannot be
// opened (the retries run), or the window program shows the alarm box. The
// program must go on serving and end normally.
#include "support/Telegrams.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <csignal>

namespace {

class PeerFaults : public RunningProgramTest {
protected:
    // The settings of a TCP listener on a free port that records every
    // telegram (tank file interval 1 s) and traces each evaluation.
    void configure()
    {
        port = FreeTcpPort();
        ASSERT_NE(port, 0);
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                                  "\r\n[Common]\r\nActiveNet=1\r\nLog=" + QFile::encodeName(trace()) +
                                  "\r\n[Logfile]\r\nIntervall in s=1\r\n");
    }
    QString trace() const { return dataDir() + "trace.log"; }
    void start(bool headless)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args{"--data-dir", dataDir()};
        if (headless)
            args << "--headless";
        run.start(TANKMON_BINARY_DIR "/Tankmon", args);
    }
    // Connects, waits for the greeting, sends the telegram's line and hangs
    // up at once. False when the program does not answer.
    bool sendAndHangUp(const QByteArray &telegram)
    {
        QTcpSocket peer;
        const bool greeted = WaitFor([&] {
            if (peer.state() == QAbstractSocket::UnconnectedState)
                peer.connectToHost(QHostAddress::LocalHost, port);
            return peer.bytesAvailable() >= 8 || run.state() == QProcess::NotRunning;
        }, 20000) && peer.read(8) == "TANKMON\n";
        if (!greeted)
            return false;
        peer.write(telegram.toHex().toUpper() + '\n');
        peer.disconnectFromHost();
        return peer.state() == QAbstractSocket::UnconnectedState || peer.waitForDisconnected(5000);
    }
    bool evaluated(const QByteArray &telegram) const
    {
        return readBytes(trace()).contains("EvalTelegramm:" + telegram.toHex().toUpper() + " 127.0.0.1");
    }
    // Several gateways in a row, each telegram evaluated, then the program
    // is still there.
    void hangUpRepeatedly(const QList<QByteArray> &telegrams)
    {
        for (const QByteArray &t : telegrams) {
            ASSERT_TRUE(sendAndHangUp(t)) << run.readAll().constData();
            ASSERT_TRUE(WaitFor([&] { return evaluated(t) || run.state() == QProcess::NotRunning; }, 20000));
            ASSERT_EQ(run.state(), QProcess::Running) << "exit status " << run.exitCode();
        }
    }

    quint16 port = 0;
};

} // namespace

TEST_F(PeerFaults, UnopenableTankFileWhileGatewaysHangUpHeadless)
{
    configure();
    ASSERT_TRUE(QDir(dataDir()).mkdir("Tank1.csv"));
    start(true);
    QList<QByteArray> telegrams;
    for (int i = 0; i < 4; ++i)
        telegrams << MakeTelegram(4711, 100 + i);
    hangUpRepeatedly(telegrams);
    // The retries have given up and said so; the program goes on.
    QByteArray out;
    ASSERT_TRUE(WaitFor([&] {
        out += run.readAll();
        return out.contains("[stop]") || run.state() == QProcess::NotRunning;
    }, 20000)) << out.constData();
    hangUpRepeatedly({MakeTelegram(4711, 200)});
    ::kill(pid_t(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_TRUE(readBytes(iniPath()).contains("Volumen=200"));
}

TEST_F(PeerFaults, AlarmBoxOpenWhileGatewaysHangUpInTheWindowProgram)
{
    configure();
    start(false);
    // Each alarm that comes or goes raises or clears the box; the box of
    // the first stays open throughout.
    QList<QByteArray> telegrams;
    for (int i = 0; i < 6; ++i)
        telegrams << Telegram{.sn = 815, .status = i % 2, .levelWord = Bcd(300 + i)}.bytes()
                  << Telegram{.sn = 816, .status = 1, .levelWord = Bcd(400 + i)}.bytes();
    hangUpRepeatedly(telegrams);
    EXPECT_EQ(run.state(), QProcess::Running);
}
