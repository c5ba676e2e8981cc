#include "support/TestSupport.h"

#include "core/Cp1252.h"
#include "core/IniStore.h"
#include "core/Paths.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Reads and writes of the run's settings by section and key.
class SettingsStore : public DataDirTest {
protected:
    static IniKey key(const QString &section, const QString &k, const QString &def = {}, bool local = false)
    {
        static QList<QByteArray> keep; // IniKey holds pointers
        keep << section.toUtf8() << k.toUtf8() << def.toUtf8();
        return IniKey{keep[keep.size() - 3].constData(), keep[keep.size() - 2].constData(),
                      keep.back().constData(), local};
    }
    QString ReadIniValue(const QString &section, const QString &k, const QString &def = {}, bool local = false)
    {
        return settings.read(key(section, k, def, local));
    }
    template <typename V>
    bool WriteIniValue(const QString &section, const QString &k, const V &value)
    {
        if constexpr (std::is_arithmetic_v<V>)
            return settings.write(key(section, k), qint64(value));
        else
            return settings.write(key(section, k), std::optional<QString>(value));
    }
};

TEST_F(SettingsStore, UmlautNamesAreStoredAsSingleBytes)
{
    WriteIniValue("Geräte", "Anzahl", 3);
    WriteIniValue("Gerät7", "Tankhöhe", 1200);
    WriteIniValue("E-Mail", "Empfänger 1", "müller@example.com");
    const QByteArray bytes = readBytes(iniPath());
    EXPECT_TRUE(bytes.contains("[Ger\xE4te]\r\nAnzahl=3\r\n"));
    EXPECT_TRUE(bytes.contains("[Ger\xE4t7]\r\nTankh\xF6he=1200\r\n"));
    EXPECT_TRUE(bytes.contains("Empf\xE4nger 1=m\xFCller@example.com"));
    EXPECT_FALSE(bytes.contains("\xC3")); // no UTF-8 anywhere
    copyToFreshFolder();
    EXPECT_EQ(ReadIniValue("GERÄTE", "anzahl"), "3");
    EXPECT_EQ(ReadIniValue("gerät7", "TANKHÖHE"), "1200");
}

TEST_F(SettingsStore, WritingKeepsOrderCommentsAndLineEnds)
{
    writeBytes(iniPath(), "; keep me\n[A]\nx=1\n\n; note\n[B]\r\ny=2\r\n\r\n[C]\nz=3");
    WriteIniValue("A", "X", "10");   // replace, keep the key's spelling
    WriteIniValue("B", "w", "new");  // new key after the last line of B, before the blank
    WriteIniValue("C", "q", "4");    // last line had no line end
    WriteIniValue("D", "k", "v");    // new section at the end
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
    EXPECT_EQ(ReadIniValue("Common", "Log", "d"), "d");
    EXPECT_FALSE(QFileInfo::exists(dataDir())) << "reading never creates the file";
    WriteIniValue("Common", "Log", "/tmp/trace");
    ASSERT_TRUE(QFileInfo::exists(tmp_.path() + "/new/VALMOR/Tankmon/Tankmon.ini"));
    const quint64 first = InodeOf(iniPath());
    const QString longValue(300, QLatin1Char('x'));
    WriteIniValue("Common", "Long", longValue);
    EXPECT_NE(InodeOf(iniPath()), first); // a new file renamed over the old one
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tankmon.ini"});
    EXPECT_EQ(ReadIniValue("Common", "Long"), longValue.left(254));
    EXPECT_TRUE(readBytes(iniPath()).contains(QByteArray(300, 'x')));
    WriteIniValue("Common", "Log", IniNoValue);
    EXPECT_EQ(ReadIniValue("Common", "Log", "gone"), "gone");
    EXPECT_FALSE(readBytes(iniPath()).contains("Log="));
    EXPECT_EQ(ReadIniValue("Common", "Long"), longValue.left(254)); // the other key stays
}

TEST_F(SettingsStore, ChangesByAnotherProcessAreSeenAtNextRead)
{
    WriteIniValue("COM", "Port", 2);
    EXPECT_EQ(ReadIniValue("COM", "Port"), "2");
    // Same size, replaced by another program (new inode).
    const QString other = dataDir() + "other.ini";
    writeBytes(other, "[COM]\r\nPort=5\r\n");
    ASSERT_TRUE(QFile::remove(iniPath()));
    ASSERT_TRUE(QFile::rename(other, iniPath()));
    EXPECT_EQ(ReadIniValue("COM", "Port"), "5");
    // Edited in place.
    writeBytes(iniPath(), "[COM]\r\nPort=77\r\n");
    EXPECT_EQ(ReadIniValue("COM", "Port"), "77");
}

TEST_F(SettingsStore, BatchWritesOnceAndReadsPendingValues)
{
    WriteIniValue("A", "k", "0");
    const quint64 before = InodeOf(iniPath());
    {
        Settings::Batch batch(settings);
        for (int n = 1; n <= 56; ++n)
            for (int k = 0; k < 15; ++k)
                WriteIniValue(QStringLiteral("Gerät%1").arg(n), QStringLiteral("K%1").arg(k), n * 100 + k);
        EXPECT_EQ(InodeOf(iniPath()), before); // nothing written yet
        EXPECT_EQ(ReadIniValue("Gerät56", "K14"), "5614");
    }
    EXPECT_NE(InodeOf(iniPath()), before);
    copyToFreshFolder();
    EXPECT_EQ(ReadIniValue("Gerät56", "K14"), "5614");
    EXPECT_EQ(ReadIniValue("Gerät1", "K0"), "100");
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
    EXPECT_FALSE(WriteIniValue("A", "k", "1"));
    EXPECT_EQ(reports, QStringList{iniPath()});
    EXPECT_TRUE(QFileInfo(iniPath()).isDir());
    {
        Settings::Batch batch(settings);
        WriteIniValue("A", "k", "2");
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(reports.size(), 2);
    // A data folder that cannot be created: the report, no crash.
    writeBytes(tmp_.path() + "/blocker", "x");
    config.dataFolder = tmp_.path() + "/blocker/sub/";
    WriteIniValue("COM", "Port", 3);
    EXPECT_EQ(reports.size(), 3);
}

TEST_F(SettingsStore, ClientModeReadsServerFileAndWritesLocally)
{
    QTemporaryDir share;
    writeBytes(share.path() + "/TANKMON.INI", "[COM]\r\nPort=4\r\n"); // copied from Windows
    config.clientMode = true;
    config.clientPath = share.path() + "/";
    EXPECT_EQ(ReadIniValue("COM", "Port"), "4");
    WriteIniValue("COM", "Port", 6);
    EXPECT_EQ(ReadIniValue("COM", "Port"), "4");
    EXPECT_EQ(ReadIniValue("COM", "Port", "", true), "6"); // a key that is always local
    EXPECT_EQ(readBytes(share.path() + "/TANKMON.INI"), QByteArray("[COM]\r\nPort=4\r\n"));
    config.clientPath.clear();
    EXPECT_EQ(ReadIniValue("COM", "Port"), "6"); // empty client path: the local file
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

