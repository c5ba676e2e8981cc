// Power-cut stand-in: the real program killed (-9) again and again while it
// saves the registry and appends to the tank files. After every kill each
// file parses completely and the next start works.
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include "core/Cp1252.h"
#include "core/IniStore.h"

#include <QDir>
#include <QRegularExpression>

constexpr int kTanks = 8;

using Kills = RunningProgramTest;

TEST_F(Kills, EveryFileParsesAfterEachKillDuringSavesAndAppends)
{
    // Every telegram is due for both recordings: the program saves and
    // appends all the time.
    writeTcpSettings(
        "[Logfile]\r\nAktiv=1\r\nIntervall in s=0\r\n[Log INI-File]\r\nAktiv=1\r\nIntervall in s=0\r\n");
    QByteArray feed;
    for (int i = 0; i < 400; ++i)
        feed += MakeTelegram(9000 + i % kTanks, i % 1000).toHex() + '\n';

    const auto temporaries = [&] {
        return QDir(dataDir()).entryList({"Tankmon.ini.??????"}, QDir::Files | QDir::Hidden);
    };
    const auto tankSize = [&](int n) {
        return QFileInfo(dataDir() + QStringLiteral("Tank%1.csv").arg(n)).size();
    };
    for (int kill = 1; kill <= 50; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill);
        QTcpSocket peer;
        ASSERT_TRUE(start() && connectGateway(peer)) << "start after kill " << kill - 1;
        // A killed save leaves its temporary; the start has removed it.
        EXPECT_TRUE(temporaries().isEmpty());
        const int tank = 1 + kill % kTanks;
        const qint64 size = tankSize(tank);
        peer.write(feed);
        // Alternately in the middle of a registry save and of a snapshot.
        const bool caught =
            WaitFor([&] { return kill % 2 ? !temporaries().isEmpty() : tankSize(tank) != size; }, 10000);
        run.kill();
        run.waitForFinished(5000);
        EXPECT_TRUE(caught);
        // Every device section the count promises holds every key of a save;
        // the tank files hold whole lines.
        const QByteArray settingsFile = readBytes(iniPath());
        ASSERT_TRUE(settingsFile.endsWith("\r\n"));
        IniFile ini;
        ini.parse(settingsFile);
        const int count = ini.value("Geräte", "Anzahl").value_or("0").toInt();
        EXPECT_TRUE(count >= 0 && count <= kTanks);
        for (int n = 1; n <= count; ++n) {
            const QString s = QStringLiteral("Gerät%1").arg(n);
            EXPECT_TRUE(ini.value(s, "SN").has_value() && ini.value(s, "ClientIP").has_value())
                << "device " << n;
        }
        EXPECT_EQ(ini.value("LngPtnr", "LngId"), "2");
        static const QRegularExpression line(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d,\d+,litres,-?\d+$)");
        for (int n = 1; n <= kTanks; ++n) {
            const QByteArray bytes = readBytes(dataDir() + QStringLiteral("Tank%1.csv").arg(n));
            QList<QByteArray> lines = bytes.split('\n');
            ASSERT_TRUE(lines.takeLast().isEmpty()) << "tank " << n;
            for (const QByteArray &l : lines)
                ASSERT_TRUE(l.endsWith('\r') && line.match(Cp1252::decode(l.chopped(1))).hasMatch())
                    << "tank " << n << ": " << l.constData();
        }
    }
}
