// The device registry in the settings file: loading (Windows-1252 keys,
// "Standort", damaged values), saving in one replace, the copy in the log
// folder, client mode, and the user's edits.
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

using RegistryTest = ControllerTest;

TEST_F(RegistryTest, RoundTripThroughAWindows1252FileWithALineBreakInATankName)
{
    writeBytes(
        iniPath(),
        "; written by an older version\r\n"
        "[Ger\xE4te]\r\nAnzahl=2\r\nAktuell=2\r\n"
        "[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=7\r\nTemperatur=-12\r\nVolumen=1234\r\nStandort=Keller S\xFC"
        "d\r\nEinheit=1\r\nTanktyp=3\r\nTankvolumen=5000\r\nTankh\xF6he=1500\r\nUhrzeit=05.12.2025 "
        "15:09:54\r\n"
        "Dez-Punkt=2\r\nAlarm=1\r\nClientIP=10.1.2.3\r\nTempKorr=0,8\r\n"
        "[Ger\xE4t2]\r\nSN=12\r\nTankbezeichnung=Hof\r\nStandort=Alt\r\nUhrzeit=01.01.2099 00:00:00\r\n");
    // The history is reset before the tank file is read.
    tanks.device(1).History.append(now, 5, 5);
    int historyAtLoad = -1;
    hooks.insideLoad = [&](int n) {
        if (n == 1)
            historyAtLoad = tanks.device(1).History.count();
    };

    ASSERT_EQ(tanks.LoadRegistry(), 2);
    EXPECT_EQ(historyAtLoad, 0);
    EXPECT_EQ(events.mid(0, 4),
              (QStringList{"deviceAdded(1)", "deviceChanged(1)", "deviceAdded(2)", "deviceChanged(2)"}));
    EXPECT_EQ(Fields(tanks.device(1)),
              "SN=4711 Typ=7 Temp=-12 Vol=1234 Einheit=1 Tanktyp=3 Dez=2 Cap=5000 H=1500 "
              "Alarm=1 K=0.8 Zeit=05.12.2025 15:09:54 Name=Keller Süd IP=10.1.2.3");
    // "Standort" only when the name is empty; 2099 is more than a day ahead.
    EXPECT_EQ(Fields(tanks.device(2)),
              "SN=12 Typ=0 Temp=0 Vol=0 Einheit=0 Tanktyp=0 Dez=0 Cap=1 H=0 Alarm=0 K=1 Zeit= Name=Hof IP=");

    // A tank name with a line break cannot break the file.
    tanks.ComboSN_Click(2);
    tanks.setTankName("Hof\r\n[Geräte]\nAnzahl=0");
    // Saved under the single-byte names; "Standort" untouched, the coefficient
    // not part of the save. The rest is checked by the read-back below (the
    // record without a time stays without one).
    tanks.registry().SaveDeviceRegistry();
    EXPECT_EQ(readBytes(iniPath()).count("Tankh\xF6he="), 2);
    EXPECT_EQ(ini({"Gerät1/Tankbezeichnung", "Gerät1/Standort", "Gerät1/VolumenAnzeige", "Gerät1/TempKorr"}),
              (QStringList{"Keller Süd", "Keller Süd", "12.34 m³", "0,8"}));

    // A second program instance reads back the same records.
    copyToFreshFolder();
    TankController again(switches, settings, ui, texts, clock);
    again.LoadRegistry();
    ASSERT_EQ(again.DeviceCount(), 2);
    for (int n = 1; n <= 2; ++n)
        EXPECT_EQ(Fields(again.device(n)), Fields(tanks.device(n)));
}

// A count edited up without the sections behind it stops at the last section
// (of the first 56) that holds a serial number: no phantom devices that lock
// real ones out. Values that are no number or beyond the field: the key's default.
// A new device does not pick up the coefficient or old tank name of a removed
// one whose section stayed in the file.
TEST_F(RegistryTest, DamagedValuesCountBeyondTheSectionsAndKeysOfARemovedDevice)
{
    writeBytes(iniPath(),
               "[Ger\xE4te]\r\nAnzahl=70\r\n"
               "[Ger\xE4t1]\r\nSN=x\r\nTankvolumen=abc\r\nTemperatur=99999\r\nTempKorr=abc\r\nEinheit=2.0\r\n"
               "[Ger\xE4t2]\r\nTempKorr=1,5\r\nTankvolumen= 700 \r\n"
               "[Ger\xE4t3]\r\nSN=33\r\n[Ger\xE4t4]\r\nTempKorr=7\r\nStandort=Alt\r\n"
               "[Ger\xE4t57]\r\nSN=570\r\n");
    tanks.LoadRegistry();
    EXPECT_EQ(tanks.DeviceCount(), 3);
    EXPECT_EQ(hooks.loaded.size(), 3);
    EXPECT_EQ(Fields(tanks.device(1)),
              "SN=0 Typ=0 Temp=0 Vol=0 Einheit=2 Tanktyp=0 Dez=0 Cap=1 H=0 Alarm=0 K=0 Zeit= Name= IP=");
    EXPECT_DOUBLE_EQ(tanks.device(2).TempKorr, 1.5);
    EXPECT_EQ(tanks.device(2).Tankvolumen, 700);
    ASSERT_TRUE(feed(4711));
    ASSERT_EQ(tanks.DeviceCount(), 4);
    EXPECT_EQ(tanks.device(4).SN, 4711);
    TankController restarted(switches, settings, ui, texts, clock);
    restarted.LoadRegistry();
    // The record as registered: coefficient 1, no name.
    EXPECT_EQ(Fields(restarted.device(4)), Fields(tanks.device(4)));
}

// The copy holds the stored passwords as the settings file does: it is
// replaced, never written in place, and gets the settings file's rights at
// every save, whatever it had (umask 022).
TEST_F(RegistryTest, CopyInTheLogFolderIsReplacedAtomicallyWithTheRightsOfTheSettingsFile)
{
    ScopedUmask mask(022);
    QTemporaryDir logDir;
    switches.setLogIniActive(true);
    switches.setLogFolder(logDir.path() + "/sub/");
    ASSERT_TRUE(feed(4711));
    const QString copy = switches.logFolder() + "Tankmon.ini";
    EXPECT_EQ(readBytes(copy), readBytes(iniPath())) << "the folder is created when missing";
    QStringList seen{"first: " + RightsOf(iniPath()).left(3) + " " + RightsOf(copy).left(3)};
    const auto save = [&](const char *what) {
        tanks.registry().SaveDeviceRegistry();
        seen << QString::fromLatin1(what) + ": " + RightsOf(iniPath()).left(3) + " " + RightsOf(copy).left(3);
    };

    ReplaceCounter counter(switches.logFolder());
    ::chmod(QFile::encodeName(copy).constData(), 0666); // loosened by someone else
    tanks.device(1).Volumen = 4321;
    save("copy loosened");
    ::chmod(QFile::encodeName(iniPath()).constData(), 0600);
    save("settings file tightened");
    EXPECT_EQ(seen,
              QStringList({"first: 640 640", "copy loosened: 640 640", "settings file tightened: 600 600"}));
    EXPECT_EQ(readBytes(copy), readBytes(iniPath()));
    EXPECT_EQ(counter.replaces("Tankmon.ini"), 2);
    EXPECT_EQ(counter.inPlaceWrites("Tankmon.ini"), 0);

    // Switched off: the copy stays as it was.
    switches.setLogIniActive(false);
    tanks.device(1).Volumen = 1;
    tanks.registry().SaveDeviceRegistry();
    EXPECT_TRUE(readBytes(copy).contains("Volumen=4321"));

    // The log folder is the data folder: no copy over the file itself.
    switches.setLogIniActive(true);
    switches.setLogFolder(dataDir() + "./");
    ReplaceCounter inData(dataDir());
    tanks.registry().SaveDeviceRegistry();
    EXPECT_EQ(inData.replaces("Tankmon.ini"), 1) << "only the save itself";
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files), QStringList{"Tankmon.ini"});
}

// A client evaluates telegrams and records histories, but calls no e-mail
// rules and writes no settings file.
TEST_F(RegistryTest, ClientModeReadsTheServerFileAndWritesNothing)
{
    QTemporaryDir server;
    const QByteArray serverFile =
        "[Ger\xE4te]\r\nAnzahl=1\r\nAktuell=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nTankbezeichnung=Server\r\n";
    writeBytes(server.path() + "/Tankmon.ini", serverFile);
    config.clientMode = true;
    switches.setClientPath(server.path());
    tanks.LoadRegistry();
    ASSERT_EQ(tanks.DeviceCount(), 1);
    EXPECT_EQ(tanks.device(1).Tankbezeichnung, "Server");
    tanks.registry().SaveDeviceRegistry();
    ASSERT_TRUE(feed(4711));
    ASSERT_TRUE(feed(815));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_TRUE(hooks.emailed.isEmpty());
    EXPECT_EQ(hooks.recorded.size(), 2);
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(readBytes(server.path() + "/Tankmon.ini"), serverFile);
}

// Keys the table does not hold (coefficient, old tank name, e-mail limits)
// follow a moved tank into its new slot; the freed slot at the end keeps none.
TEST_F(RegistryTest, RemovingATankMovesEveryKeyOfTheTanksBehind)
{
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\n"
                          "[Ger\xE4t1]\r\nSN=101\r\nTempKorr=0,1\r\nStandort=Ort 1\r\n"
                          "[Ger\xE4t2]\r\nSN=102\r\nTempKorr=0,2\r\nStandort=Ort 2\r\n"
                          "[Ger\xE4t3]\r\nSN=103\r\nTempKorr=0,3\r\n"
                          "[E-Mail]\r\nMinProzent1=10\r\nMinProzent2=20\r\nMinProzent3=30\r\n"
                          "MinVolumen1=500\r\nMinVolumen2=1000\r\n");
    tanks.LoadRegistry();
    ASSERT_EQ(tanks.DeviceCount(), 3);

    ReplaceCounter counter(dataDir());
    ASSERT_TRUE(tanks.RemoveDevices(1, 1));
    EXPECT_EQ(counter.replaces("Tankmon.ini"), 1);
    // Tank 3 had no old name nor volume limit: slot 2 loses tank 2's.
    EXPECT_EQ(
        ini({"Gerät1/SN", "Gerät1/TempKorr", "Gerät1/Standort", "E-Mail/MinProzent1", "E-Mail/MinVolumen1",
             "Gerät2/SN", "Gerät2/TempKorr", "Gerät2/Standort", "E-Mail/MinProzent2", "E-Mail/MinVolumen2",
             "Gerät3/SN", "Gerät3/TempKorr", "E-Mail/MinProzent3"}),
        (QStringList{"102", "0,2", "Ort 2", "20", "1000", "103", "0,3", "<absent>", "30", "<absent>",
                     "<absent>", "<absent>", "<absent>"}));
}
