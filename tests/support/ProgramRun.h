#pragma once
// The real program as a process on the test's data folder. Header only: the
// test executables know where the program is.
#include "support/TestSupport.h"

#include <QProcess>
#include <QTcpSocket>
#include <csignal>
#include <cstdio>

// The program running (headless unless told otherwise) while the test acts
// as its gateway; still running at the end of a test, it is killed.
class RunningProgramTest : public DataDirTest
{
protected:
    void TearDown() override
    {
        // What the program said is what tells why a test failed.
        if (HasFailure()) {
            if (run.isOpen())
                output += run.readAll();
            std::fprintf(stderr, "--- the program's output ---\n%s\n--- the last command's ---\n%s%s\n",
                         output.constData(), rawOut.constData(), qPrintable(err));
        }
        if (run.state() != QProcess::NotRunning) {
            run.kill();
            run.waitForFinished(5000);
        }
        DataDirTest::TearDown();
    }
    // Settings of a TCP listener on a free port in language lngId, then extra.
    void writeTcpSettings(const QByteArray &extra = {}, int lngId = 2)
    {
        port = FreeTcpPort();
        ASSERT_NE(port, 0);
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=" + QByteArray::number(lngId) + "\r\n[COM]\r\nClientPort=" +
                                  QByteArray::number(port) + "\r\n[Common]\r\nActiveNet=1\r\n" + extra);
    }
    // Starts headless on folder (the data folder), through wrapper (e.g. as
    // another user), and waits until its output holds marker.
    bool start(const QByteArray &marker = "[ready]", const QStringList &wrapper = {},
               const QString &folder = {})
    {
        output.clear();
        return StartHeadless(run, program, folder.isEmpty() ? dataDir() : folder, output, marker, wrapper);
    }
    // Waits until the output holds marker; false when the program ended first.
    bool waitOutput(const QByteArray &marker, int ms = 20000) { return WaitOutput(run, output, marker, ms); }
    // SIGTERM: true when the program ends normally with status 0.
    bool terminate()
    {
        return Signal(run, SIGTERM) && run.waitForFinished(15000) &&
               run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    }
    // Connects a gateway to the program's port; true once it is greeted.
    bool connectGateway(QTcpSocket &peer)
    {
        return WaitFor(
                   [&] {
                       if (peer.state() == QAbstractSocket::UnconnectedState)
                           peer.connectToHost(QHostAddress::LocalHost, port);
                       return peer.bytesAvailable() >= 8 || run.state() == QProcess::NotRunning;
                   },
                   20000) &&
               peer.read(8) == "TANKMON\n";
    }
    // Connects, waits for the greeting, sends the telegram's line and hangs
    // up at once. False when the program does not answer.
    bool sendAndHangUp(const QByteArray &telegram)
    {
        QTcpSocket peer;
        if (!connectGateway(peer))
            return false;
        peer.write(telegram.toHex().toUpper() + '\n');
        peer.disconnectFromHost();
        return peer.state() == QAbstractSocket::UnconnectedState || peer.waitForDisconnected(5000);
    }

    // The program run to its end with args (and --data-dir unless noDataDir),
    // input on its standard input and env (unless empty); the exit code (-1
    // when it crashed), its output in out (bytes in rawOut) and err.
    int tool(const QStringList &args, const QByteArray &input = {}, bool noDataDir = false,
             const QProcessEnvironment &env = {})
    {
        QProcess p;
        if (!env.isEmpty())
            p.setProcessEnvironment(env);
        p.start(program, noDataDir ? args : args + QStringList{"--data-dir", dataDir()});
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        rawOut = p.readAllStandardOutput();
        out = QString::fromUtf8(rawOut);
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    const QString program = TANKMON_BINARY_DIR "/Tankmon";
    QProcess run;
    QByteArray output, rawOut;
    QString out, err;
    quint16 port = 0;
};
