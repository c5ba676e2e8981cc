// The demo's feeder as a device gateway of the real program on a demo folder:
// the program takes what it sends, each tank as the demo stored it, and the
// feeder ends with the program.
#include "support/ProgramRun.h"

#include "core/IniStore.h"
#include "model/Telegram.h"

using DemoFeeder = RunningProgramTest;

TEST_F(DemoFeeder, FeedsTheRealProgramEachTanksUnitScaleAndAPlausibleLevelAndEndsWithIt)
{
    const QString demo = dataDir() + "demo/", bin = TANKMON_BINARY_DIR, trace = dataDir() + "trace.log";
    ASSERT_EQ(QProcess::execute(bin + "/tankmon_demo_data", {demo}), 0);
    IniFile made;
    made.parse(readBytes(demo + "Tankmon.ini"));
    // The demo tank's stored field (device sections "Gerät" + n).
    const auto stored = [&](int device, const char *key) {
        return made.value(QString::fromUtf8("Gerät%1").arg(device), QString::fromUtf8(key))
            .value_or("-1")
            .toInt();
    };
    port = FreeTcpPort(); // the demo's port made free for this test
    made.setValue("COM", "ClientPort", QString::number(port));
    made.setValue("Common", "Log", trace);
    writeBytes(demo + "Tankmon.ini", made.serialize());
    ASSERT_TRUE(start("[ready]", {}, demo)) << output.constData();
    QProcess feeder;
    feeder.start(bin + "/tankmon_demo_feeder",
                 {"--until-pid", QString::number(run.processId()), "--interval", "0.2", demo});
    // The hex lines the program received, from its trace (line feeds show as
    // "_", the last line is unfinished).
    QList<QByteArray> lines;
    ASSERT_TRUE(WaitFor(
        [&] {
            QByteArray data;
            for (const QByteArray &line : readBytes(trace).split('\n'))
                if (const qsizetype at = line.indexOf(" Data=");
                    at >= 0 && line.contains(",TCP_DataArrival "))
                    data += line.mid(at + 6).trimmed();
            lines = data.split('_');
            lines.removeLast();
            return lines.size() >= 9;
        },
        30000))
        << lines.size();
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
