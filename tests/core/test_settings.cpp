#include "support/TestSupport.h"

#include "core/Catalogue.h"
#include "core/Cp1252.h"
#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>

// Reads and writes of the settings file by section and key.
using SettingsStore = DataDirTest;

TEST_F(SettingsStore, WritingKeepsOrderCommentsAndLineEnds)
{
    writeBytes(iniPath(), "; keep me\n[A]\nx=1\n\n; note\n[B]\r\ny=2\r\n\r\n[C]\nz=3");
    WriteIniValue(iniPath(), "A", "X", "10");  // replace, keep the key's spelling
    WriteIniValue(iniPath(), "B", "w", "new"); // new key after the last line of B, before the blank
    WriteIniValue(iniPath(), "C", "q", "4");   // last line had no line end
    WriteIniValue(iniPath(), "D", "k", "v");   // new section at the end
    EXPECT_EQ(readBytes(iniPath()),
              QByteArray("; keep me\n[A]\nx=10\n\n; note\n[B]\r\ny=2\r\nw=new\r\n\r\n[C]\nz=3\r\nq=4\r\n"
                         "[D]\r\nk=v\r\n"));
}

// Every write replaces the file (no temporary left); the first one creates
// the data folder. The no-value marker deletes a key; a long value is stored
// whole and read cut at 254 characters.
TEST_F(SettingsStore, WritesReplaceCreateDeleteAndKeepLongValues)
{
    config.dataFolder = tmp_.path() + "/new/VALMOR/Tankmon/";
    EXPECT_EQ(ReadIniValue(iniPath(), "Common", "Log", "d"), "d");
    EXPECT_FALSE(QFileInfo::exists(dataDir())) << "reading never creates the file";
    WriteIniValue(iniPath(), "Common", "Log", "/tmp/trace");
    ASSERT_TRUE(QFileInfo::exists(tmp_.path() + "/new/VALMOR/Tankmon/Tankmon.ini"));
    const quint64 first = InodeOf(iniPath());
    const QString longValue(300, QLatin1Char('x'));
    WriteIniValue(iniPath(), "Common", "Long", longValue);
    EXPECT_NE(InodeOf(iniPath()), first); // a new file renamed over the old one
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tankmon.ini"});
    EXPECT_TRUE(readBytes(iniPath()).contains(QByteArray(300, 'x')));
    WriteIniValue(iniPath(), "Common", "Log", IniNoValue);
    EXPECT_FALSE(readBytes(iniPath()).contains("Log="));
    EXPECT_EQ(ReadIniValue(iniPath(), "Common", "Long"), longValue.left(254)); // the other key stays
}

TEST_F(SettingsStore, ChangesByAnotherProcessAreSeenAtNextRead)
{
    WriteIniValue(iniPath(), "COM", "Port", "2");
    EXPECT_EQ(ReadIniValue(iniPath(), "COM", "Port"), "2");
    // Same size, replaced by another program (new inode).
    const QString other = dataDir() + "other.ini";
    writeBytes(other, "[COM]\r\nPort=5\r\n");
    ASSERT_EQ(std::rename(qPrintable(other), qPrintable(iniPath())), 0);
    EXPECT_EQ(ReadIniValue(iniPath(), "COM", "Port"), "5");
    // Edited in place.
    writeBytes(iniPath(), "[COM]\r\nPort=77\r\n");
    EXPECT_EQ(ReadIniValue(iniPath(), "COM", "Port"), "77");
}

TEST_F(SettingsStore, BatchWritesOnceAndReadsPendingValues)
{
    WriteIniValue(iniPath(), "A", "k", "0");
    const quint64 before = InodeOf(iniPath());
    {
        Settings::Batch batch(settings);
        for (int n = 1; n <= 56; ++n)
            for (int k = 0; k < 15; ++k)
                WriteIniValue(iniPath(), "Gerät" + QString::number(n), "K" + QString::number(k),
                              QString::number(n * 100 + k));
        EXPECT_EQ(InodeOf(iniPath()), before); // nothing written yet
        EXPECT_EQ(ReadIniValue(iniPath(), "Gerät56", "K14"), "5614");
    }
    EXPECT_NE(InodeOf(iniPath()), before);
    copyToFreshFolder();
    EXPECT_EQ(ReadIniValue(iniPath(), "Gerät56", "K14"), "5614");
}

TEST_F(SettingsStore, FailedWritesReportAndCarryOn)
{
    QStringList reports;
    settings.setFailureReport([&](const QString &path, const QString &reason) {
        reports << path;
        EXPECT_FALSE(reason.isEmpty()) << "the file layer's reason comes along";
    });
    // Works as root too: the settings file's name is taken by a folder.
    QDir().mkpath(iniPath());
    EXPECT_FALSE(settings.write(Cfg::ComPort, 1));
    EXPECT_EQ(reports, QStringList{iniPath()});
    EXPECT_TRUE(QFileInfo(iniPath()).isDir());
    {
        Settings::Batch batch(settings);
        settings.write(Cfg::ComPort, 2);
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(reports.size(), 2);
    // A data folder that cannot be created: the report, no crash.
    writeBytes(tmp_.path() + "/blocker", "x");
    config.dataFolder = tmp_.path() + "/blocker/sub/";
    settings.write(Cfg::ComPort, 3);
    EXPECT_EQ(reports.size(), 3);
}

// Reads from the serving installation's file (but the keys that are always
// local), writes to the local one.
TEST_F(SettingsStore, ClientModeReadsServerFileAndWritesLocally)
{
    QTemporaryDir share;
    const QByteArray server = "[COM]\r\nPort=4\r\n[LngPtnr]\r\nLngId=9\r\n";
    writeBytes(share.path() + "/TANKMON.INI", server); // copied from Windows
    config.clientMode = true;
    config.clientPath = share.path() + "/";
    EXPECT_EQ(settings.read(Cfg::ComPort), "4");
    settings.write(Cfg::ComPort, 6);
    settings.write(Cfg::LngId, 2);
    EXPECT_EQ(settings.read(Cfg::ComPort), "4");
    EXPECT_EQ(settings.read(Cfg::LngId), "2");
    EXPECT_EQ(readBytes(share.path() + "/TANKMON.INI"), server);
    config.clientPath.clear();
    EXPECT_EQ(settings.read(Cfg::ComPort), "6"); // empty client path: the local file
}

TEST(Cp1252, RoundTripsTheCodePage)
{
    QByteArray all;
    for (int i = 1; i < 256; ++i)
        all.append(char(i));
    EXPECT_EQ(Cp1252::encode(Cp1252::decode(all)), all);
    EXPECT_EQ(Cp1252::decode(QByteArray("\x80\xB3")), QString::fromUtf8("€³"));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("m³ Ω")), QByteArray("m\xB3 ?"));
}

