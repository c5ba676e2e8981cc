// The device registry in the settings file: loading (Windows-1252 keys,
// "Standort", damaged values), saving in one replace, the copy in the log
// folder, client mode, and the user's edits.
#include "ControllerFixture.h"

#include "core/RunState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
quint64 inodeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}
} // namespace

using RegistryTest = ControllerTest;
using SelectionTest = ControllerTest;

TEST_F(RegistryTest, LoadsWindows1252FileAndWritesItBack)
{
    const QByteArray file =
        "; written by an older version\r\n"
        "[Ger\xE4te]\r\nAnzahl=2\r\nAktuell=2\r\n"
        "[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=7\r\nTemperatur=-12\r\nVolumen=1234\r\n"
        "Standort=Keller S\xFC"
        "d\r\nEinheit=1\r\nTanktyp=3\r\nTankvolumen=5000\r\nTankh\xF6he=1500\r\n"
        "Uhrzeit=05.12.2025 15:09:54\r\nDez-Punkt=2\r\nAlarm=1\r\nClientIP=10.1.2.3\r\nTempKorr=0,8\r\n"
        "[Ger\xE4t2]\r\nSN=12\r\nTankbezeichnung=Hof\r\nStandort=Alt\r\nUhrzeit=01.01.2099 00:00:00\r\n";
    writeBytes(iniPath(), file);
    int historyCountAtLoad = -1;
    tanks.device(1).History.append(now, 5, 5);
    struct Probe : RecordingHooks {
        TankController *t = nullptr;
        int *seen = nullptr;
        void LoadTankHistory(int n) override
        {
            RecordingHooks::LoadTankHistory(n);
            if (n == 1)
                *seen = t->device(1).History.count();
        }
    } probe;
    probe.t = &tanks;
    probe.seen = &historyCountAtLoad;
    tanks.setHistoryHooks(&probe);

    EXPECT_EQ(tanks.LoadRegistry(), 2);
    ASSERT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(probe.loaded, (QList<int>{1, 2}));
    EXPECT_EQ(historyCountAtLoad, 0) << "history reset before the tank file is read";
    EXPECT_EQ(events.mid(0, 4),
              (QStringList{"deviceAdded(1)", "deviceChanged(1)", "deviceAdded(2)", "deviceChanged(2)"}));

    const DeviceRecord &a = tanks.device(1);
    EXPECT_EQ(a.SN, 4711);
    EXPECT_EQ(a.Geraetetyp, 7);
    EXPECT_EQ(a.Temperatur, -12);
    EXPECT_EQ(a.Volumen, 1234);
    EXPECT_EQ(a.Tankbezeichnung, QStringLiteral("Keller Süd"));
    EXPECT_EQ(a.Einheit, 1);
    EXPECT_EQ(a.Tanktyp, 3);
    EXPECT_EQ(a.Tankvolumen, 5000);
    EXPECT_EQ(a.Tankhoehe, 1500);
    EXPECT_EQ(a.Uhrzeit, Clock::Naive(QDate(2025, 12, 5), QTime(15, 9, 54)));
    EXPECT_EQ(a.DezPunkt, 2);
    EXPECT_TRUE(a.Alarm);
    EXPECT_EQ(a.ClientIP, QStringLiteral("10.1.2.3"));
    EXPECT_DOUBLE_EQ(a.TempKorr, 0.8);
    const DeviceRecord &b = tanks.device(2);
    EXPECT_EQ(b.Tankbezeichnung, QStringLiteral("Hof")) << "Standort only when the name is empty";
    EXPECT_FALSE(b.Uhrzeit.isValid()) << "2099 is more than a day ahead";
    EXPECT_EQ(b.Tankvolumen, 1);
    EXPECT_DOUBLE_EQ(b.TempKorr, 1);
    EXPECT_FALSE(b.Alarm);

    tanks.SaveDeviceRegistry();
    const QByteArray out = readBytes(iniPath());
    EXPECT_TRUE(out.startsWith("; written by an older version\r\n"));
    EXPECT_EQ(out.count("[Ger\xE4t1]"), 1);
    EXPECT_EQ(out.count("Tankh\xF6he="), 2);
    EXPECT_TRUE(out.contains("Ger\xE4tetyp=7\r\n"));
    EXPECT_TRUE(out.contains("Tankh\xF6he=1500\r\n"));
    EXPECT_TRUE(out.contains("Tankbezeichnung=Keller S\xFC"
                             "d\r\n"));
    EXPECT_TRUE(out.contains("Standort=Keller S\xFC"
                             "d\r\n"))
        << "Standort stays untouched";
    EXPECT_TRUE(out.contains("VolumenAnzeige=12.34 m\xB3\r\n"));
    EXPECT_TRUE(out.contains("Uhrzeit=05.12.2025 15:09:54\r\n"));
    EXPECT_TRUE(out.contains("Alarm=1\r\n"));
    EXPECT_TRUE(out.contains("TempKorr=0,8\r\n")) << "the coefficient is not part of the save";
    EXPECT_TRUE(out.contains("Temperatur=-12\r\n"));

    // A second program instance reads back the same records.
    IniStore::DropCache();
    TankController again;
    again.LoadRegistry();
    ASSERT_EQ(again.DeviceCount(), 2);
    for (int n = 1; n <= 2; ++n) {
        const DeviceRecord &x = tanks.device(n), &y = again.device(n);
        EXPECT_EQ(x.SN, y.SN);
        EXPECT_EQ(x.Geraetetyp, y.Geraetetyp);
        EXPECT_EQ(x.Temperatur, y.Temperatur);
        EXPECT_EQ(x.Volumen, y.Volumen);
        EXPECT_EQ(x.Tankbezeichnung, y.Tankbezeichnung);
        EXPECT_EQ(x.Einheit, y.Einheit);
        EXPECT_EQ(x.Tankvolumen, y.Tankvolumen);
        EXPECT_EQ(x.Tankhoehe, y.Tankhoehe);
        EXPECT_EQ(x.Uhrzeit, y.Uhrzeit) << n;
        EXPECT_EQ(x.DezPunkt, y.DezPunkt);
        EXPECT_EQ(x.Alarm, y.Alarm);
        EXPECT_EQ(x.ClientIP, y.ClientIP);
    }
}

TEST_F(RegistryTest, DamagedValuesAndCountAbove56)
{
    QByteArray file =
        "[Ger\xE4te]\r\nAnzahl=70\r\n"
        "[Ger\xE4t1]\r\nSN=x\r\nTankvolumen=abc\r\nTemperatur=99999\r\nTempKorr=abc\r\nEinheit=2.0\r\n"
        "[Ger\xE4t2]\r\nTempKorr=1,5\r\nTankvolumen= 700 \r\n";
    for (int n = 56; n <= 58; ++n)
        file += "[Ger\xE4t" + QByteArray::number(n) + "]\r\nSN=" + QByteArray::number(n * 10) + "\r\n";
    writeBytes(iniPath(), file);
    tanks.LoadRegistry();
    EXPECT_EQ(tanks.DeviceCount(), 56);
    EXPECT_EQ(hooks.loaded.size(), 56);
    EXPECT_EQ(tanks.device(56).SN, 560);
    const DeviceRecord &a = tanks.device(1);
    EXPECT_EQ(a.SN, 0);
    EXPECT_EQ(a.Tankvolumen, 1) << "not a number: the key's default";
    EXPECT_EQ(a.Temperatur, 0) << "beyond the field: the key's default";
    EXPECT_EQ(a.Einheit, 2);
    EXPECT_DOUBLE_EQ(a.TempKorr, 0);
    EXPECT_DOUBLE_EQ(tanks.device(2).TempKorr, 1.5);
    EXPECT_EQ(tanks.device(2).Tankvolumen, 700);
}

TEST_F(RegistryTest, RecordWithoutTimeStaysWithoutTime)
{
    ASSERT_TRUE(feed(dev(4711)));
    tanks.device(1).Uhrzeit = QDateTime();
    tanks.SaveDeviceRegistry();
    tanks.LoadDeviceRecord(1);
    EXPECT_FALSE(tanks.device(1).Uhrzeit.isValid());
}

TEST_F(RegistryTest, SaveOf56DevicesReplacesTheFileOnce)
{
    for (int sn = 1; sn <= 56; ++sn)
        ASSERT_TRUE(feed(dev(sn)));
    for (int n = 1; n <= 56; ++n)
        tanks.device(n).Volumen = 100 + n;
    const quint64 before = inodeOf(iniPath());
    ReplaceCounter counter(dataDir());
    tanks.SaveDeviceRegistry();
    EXPECT_EQ(counter.replaces(QStringLiteral("Tankmon.ini")), 1);
    EXPECT_EQ(counter.inPlaceWrites(QStringLiteral("Tankmon.ini")), 0);
    EXPECT_NE(inodeOf(iniPath()), before) << "replaced, not rewritten in place";
    EXPECT_EQ(iniValue(QStringLiteral("Gerät56"), QStringLiteral("Volumen")), QStringLiteral("156"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät1"), QStringLiteral("Volumen")), QStringLiteral("101"));
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("56"));
}

TEST_F(RegistryTest, CopyInTheLogFolderIsReplacedAtomically)
{
    QTemporaryDir logDir;
    ASSERT_TRUE(logDir.isValid());
    State().logIniActive = true;
    State().logFolder = logDir.path() + QStringLiteral("/sub/");
    ASSERT_TRUE(feed(dev(4711)));
    const QString copy = State().logFolder + QStringLiteral("Tankmon.ini");
    ASSERT_TRUE(QFile::exists(copy)) << "the folder is created when missing";
    EXPECT_EQ(readBytes(copy), readBytes(iniPath()));

    ReplaceCounter counter(State().logFolder);
    const quint64 before = inodeOf(copy);
    tanks.device(1).Volumen = 4321;
    tanks.SaveDeviceRegistry();
    EXPECT_EQ(readBytes(copy), readBytes(iniPath()));
    EXPECT_TRUE(readBytes(copy).contains("Volumen=4321"));
    EXPECT_EQ(counter.replaces(QStringLiteral("Tankmon.ini")), 1);
    EXPECT_EQ(counter.inPlaceWrites(QStringLiteral("Tankmon.ini")), 0);
    EXPECT_NE(inodeOf(copy), before);

    // Switched off: the copy stays as it was.
    State().logIniActive = false;
    tanks.device(1).Volumen = 1;
    tanks.SaveDeviceRegistry();
    EXPECT_TRUE(readBytes(copy).contains("Volumen=4321"));
}

TEST_F(RegistryTest, NoCopyWhenTheLogFolderIsTheDataFolder)
{
    State().logIniActive = true;
    State().logFolder = dataDir() + QStringLiteral("./");
    ASSERT_TRUE(feed(dev(4711)));
    ReplaceCounter counter(dataDir());
    tanks.SaveDeviceRegistry();
    EXPECT_EQ(counter.replaces(QStringLiteral("Tankmon.ini")), 1) << "only the save itself";
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files), QStringList{QStringLiteral("Tankmon.ini")});
}

TEST_F(RegistryTest, ClientModeReadsTheServerFileAndWritesNothing)
{
    QTemporaryDir server;
    ASSERT_TRUE(server.isValid());
    writeBytes(
        server.path() + QStringLiteral("/Tankmon.ini"),
        "[Ger\xE4te]\r\nAnzahl=1\r\nAktuell=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nTankbezeichnung=Server\r\n");
    State().clientMode = true;
    State().clientPath = server.path();
    tanks.LoadRegistry();
    ASSERT_EQ(tanks.DeviceCount(), 1);
    EXPECT_EQ(tanks.device(1).Tankbezeichnung, QStringLiteral("Server"));
    tanks.ComboSN_Click(1);
    tanks.setTankName(QStringLiteral("Mine"));
    tanks.setUnit(4);
    tanks.SaveDeviceRegistry();
    EXPECT_EQ(tanks.device(1).Tankbezeichnung, QStringLiteral("Mine"));
    EXPECT_EQ(tanks.device(1).Einheit, 4);
    EXPECT_TRUE(events.contains(QStringLiteral("deviceChanged(1)")));
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_FALSE(readBytes(server.path() + QStringLiteral("/Tankmon.ini")).contains("Mine"));
}

TEST_F(RegistryTest, NewDeviceDoesNotInheritKeysOfARemovedOne)
{
    // Sections of removed devices stay in the file; a new device under that
    // number must not pick up their coefficient or old tank name at a restart.
    writeBytes(
        iniPath(),
        "[Ger\xE4te]\r\nAnzahl=0\r\n[Ger\xE4t1]\r\nSN=1\r\nTempKorr=7\r\nStandort=Alt\r\nEmailAktiv=0\r\n");
    ASSERT_TRUE(feed(dev(4711)));
    TankController restarted;
    restarted.LoadRegistry();
    ASSERT_EQ(restarted.DeviceCount(), 1);
    EXPECT_EQ(restarted.device(1).SN, 4711);
    EXPECT_DOUBLE_EQ(restarted.device(1).TempKorr, 1);
    EXPECT_EQ(restarted.device(1).Tankbezeichnung, QString());
}

TEST_F(RegistryTest, TankNameWithLineBreakCannotBreakTheFile)
{
    ASSERT_TRUE(feed(dev(4711)));
    tanks.setTankName(QStringLiteral("Hof\r\n[Ger\xE4te]\nAnzahl=0"));
    tanks.SaveDeviceRegistry();
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("1"));
    EXPECT_FALSE(tanks.device(1).Tankbezeichnung.contains(QLatin1Char('\n')));
    EXPECT_TRUE(iniValue(QStringLiteral("Gerät1"), QStringLiteral("Tankbezeichnung"))
                    .startsWith(QStringLiteral("Hof")));
}

TEST_F(SelectionTest, SelectingTheCurrentDeviceWritesNothing)
{
    ASSERT_TRUE(feed(dev(1)));
    ASSERT_TRUE(feed(dev(2)));
    ASSERT_EQ(tanks.currentDevice(), 2);
    events.clear();
    ReplaceCounter counter(dataDir());
    tanks.ComboSN_Click(2);
    EXPECT_EQ(counter.replaces(QStringLiteral("Tankmon.ini")), 0);
    EXPECT_EQ(events, QStringList{"detailChanged(2)"});
    tanks.ComboSN_Click(1);
    EXPECT_EQ(counter.replaces(QStringLiteral("Tankmon.ini")), 1);
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Aktuell")), QStringLiteral("1"));
    EXPECT_EQ(tanks.currentDevice(), 1);
    // Nothing selected, or a number outside the table: nothing happens.
    events.clear();
    tanks.ComboSN_Click(-1);
    tanks.ComboSN_Click(0);
    tanks.ComboSN_Click(3);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(tanks.currentDevice(), 1);
}

TEST_F(SelectionTest, NameAndUnitEditsOfTheCurrentDevice)
{
    ASSERT_TRUE(feed(dev(1)));
    ASSERT_TRUE(feed(dev(2)));
    tanks.ComboSN_Click(1);
    events.clear();
    tanks.setTankName(QStringLiteral("Süd"));
    EXPECT_EQ(tanks.device(1).Tankbezeichnung, QStringLiteral("Süd"));
    EXPECT_TRUE(readBytes(iniPath()).contains("Tankbezeichnung=S\xFC"
                                              "d\r\n"));
    EXPECT_EQ(events, QStringList{"deviceChanged(1)"});
    events.clear();
    tanks.setUnit(7);
    EXPECT_EQ(tanks.device(1).Einheit, 7);
    EXPECT_EQ(tanks.device(2).Einheit, 0);
    EXPECT_EQ(iniValue(QStringLiteral("Gerät1"), QStringLiteral("Einheit")), QStringLiteral("7"));
    EXPECT_EQ(events, (QStringList{"detailChanged(1)", "deviceChanged(1)"}));
}
