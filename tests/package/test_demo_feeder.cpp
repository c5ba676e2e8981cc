// The demo's feeder as a device gateway of the real program on a demo folder.
#include "support/ProgramRun.h"

#include "core/IniStore.h"
#include "model/Telegram.h"

namespace
{

const QString kBin = TANKMON_BINARY_DIR;

// The hex lines a program received, from its trace (line feeds show as "_").
QList<QByteArray> Received(const QByteArray &trace)
{
    QByteArray data;
    for (const QByteArray &line : trace.split('\n'))
        if (const qsizetype at = line.indexOf(" Data="); at >= 0 && line.contains(",TCP_DataArrival "))
            data += line.mid(at + 6).trimmed();
    QList<QByteArray> lines = data.split('_');
    lines.removeLast(); // the unfinished one
    return lines;
}

using DemoFeeder = RunningProgramTest;

TEST_F(DemoFeeder, FeedsTheRealProgramEachTanksUnitScaleAndAPlausibleLevelAndEndsWithIt)
{
    const QString demo = dataDir() + "demo/";
    QProcess make;
    make.start(kBin + "/tankmon_demo_data", {demo});
    ASSERT_TRUE(make.waitForFinished(60000) && make.exitCode() == 0)
        << make.readAllStandardError().constData();
    IniFile made;
    made.parse(readBytes(demo + "Tankmon.ini"));
    // The demo tank's stored field (device sections "Gerät" + n).
    const auto stored = [&](int device, const char *key) {
        return made.value(QString::fromUtf8("Gerät%1").arg(device), QString::fromUtf8(key))
            .value_or("-1")
            .toInt();
    };
    // The demo records into the folder it runs on (it is fed, not simulated:
    // the feeding below), and its last readings are from the moment it was made.
    EXPECT_FALSE(made.value("Log INI-File", "Path"));
    const QDateTime stamped = QDateTime::fromString(
        made.value(QString::fromUtf8("Gerät1"), "Uhrzeit").value_or(""), "dd.MM.yyyy hh:mm:ss");
    EXPECT_LT(qAbs(stamped.secsTo(QDateTime::currentDateTime())), 600) << qPrintable(stamped.toString());

    port = FreeTcpPort(); // the demo's port made free for this test
    made.setValue("COM", "ClientPort", QString::number(port));
    const QString trace = dataDir() + "trace.log";
    made.setValue("Common", "Log", trace);
    writeBytes(demo + "Tankmon.ini", made.serialize());
    ASSERT_TRUE(start("[ready]", {}, demo)) << output.constData();
    QProcess feeder; // ends its process when it goes
    feeder.setProcessChannelMode(QProcess::MergedChannels);
    feeder.start(kBin + "/tankmon_demo_feeder",
                 {"--until-pid", QString::number(run.processId()), "--interval", "0.2", demo});
    ASSERT_TRUE(feeder.waitForStarted(10000));
    QList<QByteArray> lines;
    ASSERT_TRUE(WaitFor([&] { return (lines = Received(readBytes(trace))).size() >= 9; }, 30000))
        << lines.size();
    EXPECT_GE(readBytes(trace).count(",TCP_ConnectionRequest "), 3) << "one per round";
    EXPECT_TRUE(waitOutput("Received from 127.0.0.1")) << output.constData();
    EXPECT_TRUE(terminate());
    EXPECT_TRUE(feeder.waitForFinished(10000)) << "the feeder outlived the program";
    EXPECT_EQ(feeder.exitCode(), 0);

    QMap<int, QList<DecodedTelegram>> bySn;
    for (const QByteArray &line : lines) {
        const auto t = DecodeTelegram(QByteArray::fromHex(line));
        ASSERT_TRUE(t) << line.constData();
        bySn[t->sn] << *t;
    }
    ASSERT_EQ(bySn.size(), 3);
    for (int n = 1; n <= 3; ++n) {
        const QList<DecodedTelegram> &seen = bySn.value(stored(n, "SN"));
        ASSERT_GE(seen.size(), 3) << "device " << n;
        const int capacity = stored(n, "Tankvolumen");
        for (const DecodedTelegram &t : seen) {
            EXPECT_EQ((QList<int>{t.geraetetyp, EinheitFromStatus(t.status), t.dezPunkt, t.tankvolumen,
                                  t.tanktyp, t.temperatur == -9999}),
                      (QList<int>{stored(n, "Gerätetyp"), stored(n, "Einheit"), stored(n, "Dez-Punkt"),
                                  capacity, stored(n, "Tanktyp"), stored(n, "Temperatur") == -9999}))
                << "device " << n;
            // Continues the history where it ended: a few rounds move it little.
            EXPECT_NEAR(t.volumen, stored(n, "Volumen"), capacity * 0.05) << "device " << n;
        }
    }
}

} // namespace
