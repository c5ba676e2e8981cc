// The demo's feeder as a device gateway: against a listener of the test's
// own, and against the real program on a demo folder.
#include "support/ProgramRun.h"

#include "core/IniStore.h"
#include "model/Telegram.h"

#include <QTcpServer>

namespace
{

const QString kBin = TANKMON_BINARY_DIR;

// QProcess ends its process when it goes.
class DemoFeeder : public RunningProgramTest
{
protected:
    void SetUp() override
    {
        RunningProgramTest::SetUp();
        demo_ = dataDir() + "demo/";
        QProcess make;
        make.start(kBin + "/tankmon_demo_data", {demo_});
        ASSERT_TRUE(make.waitForFinished(60000) && make.exitCode() == 0)
            << make.readAllStandardError().constData();
        ini_.parse(readBytes(demo_ + "Tankmon.ini"));
    }
    // The demo tank's stored field (device sections "Gerät" + n).
    int stored(int device, const char *key) const
    {
        return ini_.value(QString::fromUtf8("Gerät%1").arg(device), QString::fromUtf8(key))
            .value_or("-1")
            .toInt();
    }
    void startFeeder(const QStringList &options)
    {
        feeder_.setProcessChannelMode(QProcess::MergedChannels);
        feeder_.start(kBin + "/tankmon_demo_feeder", QStringList(options) << "--interval"
                                                                          << "0.2" << demo_);
        ASSERT_TRUE(feeder_.waitForStarted(10000));
    }

    QString demo_;
    IniFile ini_;
    QProcess feeder_;
};

TEST_F(DemoFeeder, TelegramsDecodeToEachDemoTanksUnitScaleAndAPlausibleLevel)
{
    // A listener that greets as the program does and keeps every line.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QList<QByteArray> lines;
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        ++connections;
        s->write("TANKMON\n");
        QObject::connect(s, &QTcpSocket::readyRead, [s, &lines] {
            while (s->canReadLine())
                lines << s->readLine();
        });
    });
    startFeeder({"--port", QString::number(server.serverPort())});
    ASSERT_TRUE(WaitFor([&] { return lines.size() >= 9; }, 20000)) << lines.size();
    EXPECT_GE(connections, 3); // a fresh connection each round

    // The demo is fed, not simulated; it records into the folder it runs on,
    // and its last readings are from the moment it was made.
    EXPECT_EQ(ini_.value("COM", "Simulation"), "0");
    EXPECT_FALSE(ini_.value("Log INI-File", "Path"));
    const QDateTime made = QDateTime::fromString(
        ini_.value(QString::fromUtf8("Gerät1"), "Uhrzeit").value_or(""), "dd.MM.yyyy hh:mm:ss");
    EXPECT_LT(qAbs(made.secsTo(QDateTime::currentDateTime())), 600) << qPrintable(made.toString());

    QMap<int, QList<DecodedTelegram>> bySn;
    for (const QByteArray &line : lines) {
        ASSERT_EQ(line.size(), 39) << line.constData(); // 38 hex digits and LF
        const auto t = DecodeTelegram(QByteArray::fromHex(line.trimmed()));
        ASSERT_TRUE(t) << line.constData();
        bySn[t->sn] << *t;
    }
    ASSERT_EQ(bySn.size(), 3);
    for (int n = 1; n <= 3; ++n) {
        const QList<DecodedTelegram> &seen = bySn.value(stored(n, "SN"));
        ASSERT_GE(seen.size(), 3) << "device " << n;
        const int capacity = stored(n, "Tankvolumen");
        for (const DecodedTelegram &t : seen) {
            EXPECT_EQ(t.geraetetyp, stored(n, "Gerätetyp"));
            EXPECT_EQ(EinheitFromStatus(t.status), stored(n, "Einheit")) << "device " << n;
            EXPECT_EQ(t.dezPunkt, stored(n, "Dez-Punkt")) << "device " << n;
            EXPECT_EQ(t.tankvolumen, capacity);
            EXPECT_EQ(t.tanktyp, stored(n, "Tanktyp"));
            // Continues the history where it ended: a few rounds move it little.
            EXPECT_NEAR(t.volumen, stored(n, "Volumen"), capacity * 0.05) << "device " << n;
            EXPECT_EQ(t.temperatur == -9999, stored(n, "Temperatur") == -9999) << "device " << n;
        }
    }
}

TEST_F(DemoFeeder, FeedsTheRealProgramAndEndsWithIt)
{
    port = FreeTcpPort(); // the demo's port made free for this test
    QByteArray ini = readBytes(demo_ + "Tankmon.ini");
    ini.replace("ClientPort=8000", "ClientPort=" + QByteArray::number(port));
    writeBytes(demo_ + "Tankmon.ini", ini);

    ASSERT_TRUE(start("[ready]", {}, demo_)) << output.constData();
    startFeeder({"--until-pid", QString::number(run.processId())});
    ASSERT_TRUE(waitOutput("Received from 127.0.0.1", 30000)) << output.constData();
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(feeder_.waitForFinished(10000)) << "the feeder outlived the program";
    EXPECT_EQ(feeder_.exitCode(), 0);
    // The registry the program saved on its way out shows the telegrams in each tank's unit.
    const QByteArray saved = readBytes(demo_ + "Tankmon.ini");
    for (const QByteArray unit : {" litres\r\n", " m\xB3\r\n", " %\r\n"})
        EXPECT_TRUE(saved.contains("VolumenAnzeige=") && saved.contains(unit)) << unit.constData();
    EXPECT_TRUE(saved.contains("ClientIP=127.0.0.1")) << saved.constData();
}

} // namespace
