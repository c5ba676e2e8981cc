// A gateway that sends one telegram and hangs up at once, while the
// evaluation is still busy with something else: the tank file cannot be
// opened (the retries run), or the window program shows the alarm box. The
// program must go on serving and end normally, on SIGTERM too.
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include <QDir>

using PeerFaults = RunningProgramTest;

TEST_F(PeerFaults, GatewaysHangUpWhileTheTankFileCannotBeOpenedAndWhileTheAlarmBoxIsOpen)
{
    // A TCP listener on a free port that records every telegram (tank file
    // interval 1 s) and traces each evaluation.
    writeTcpSettings("Log=" + QFile::encodeName(dataDir()) +
                     "trace.log\r\n[Logfile]\r\nIntervall in s=1\r\n[Log INI-File]\r\nAktiv=0\r\n");
    // Several gateways in a row, each telegram evaluated, then the program is still there.
    const auto hangUpRepeatedly = [&](const QList<QByteArray> &telegrams) {
        for (const QByteArray &t : telegrams) {
            ASSERT_TRUE(sendAndHangUp(t)) << run.readAll().constData();
            const QByteArray traced = "EvalTelegramm:" + t.toHex().toUpper() + " 127.0.0.1";
            const auto evaluated = [&] { return readBytes(dataDir() + "trace.log").contains(traced); };
            ASSERT_TRUE(WaitFor([&] { return evaluated() || run.state() == QProcess::NotRunning; }, 20000));
            ASSERT_EQ(run.state(), QProcess::Running) << "exit status " << run.exitCode();
        }
    };
    ASSERT_TRUE(QDir(dataDir()).mkdir("Tank1.csv"));
    ASSERT_TRUE(start()) << output.constData();
    QList<QByteArray> telegrams;
    for (int i = 0; i < 4; ++i)
        telegrams << MakeTelegram(4711, 100 + i);
    hangUpRepeatedly(telegrams);
    // The retries have given up and said so; the program goes on.
    ASSERT_TRUE(waitOutput("[stop]")) << output.constData();
    hangUpRepeatedly({MakeTelegram(4711, 200)});
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(readBytes(iniPath()).contains("Volumen=200"));

    // The window program on the offscreen platform: each alarm that comes or
    // goes raises or clears the box; the box of the first stays open throughout.
    run.start(program, {"--data-dir", dataDir()});
    telegrams.clear();
    for (int i = 0; i < 6; ++i)
        telegrams << Telegram{.sn = 815, .status = i % 2, .levelWord = Bcd(300 + i)}.bytes()
                  << Telegram{.sn = 816, .status = 1, .levelWord = Bcd(400 + i)}.bytes();
    hangUpRepeatedly(telegrams);
    // SIGTERM ends it as closing the window does: the last levels saved.
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(readBytes(iniPath()).contains("Volumen=305") && readBytes(iniPath()).contains("Volumen=405"));
}
