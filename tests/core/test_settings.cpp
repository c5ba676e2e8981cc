#include "support/TestSupport.h"

#include "core/Catalogue.h"
#include "core/Cp1252.h"
#include "core/SafeFile.h"
#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

// Reads and writes of the settings file by section and key.
using SettingsStore = DataDirTest;

TEST_F(SettingsStore, WritingKeepsOrderCommentsAndLineEnds)
{
    writeBytes(iniPath(), "; keep me\n[A]\nx=1\n\n; note\n[B]\r\ny=2\r\n\r\n[C]\nz=3");
    settings.store().write(iniPath(), "A", "X", "10");  // replace, keep the key's spelling
    settings.store().write(iniPath(), "B", "w", "new"); // new key after the last line of B, before the blank
    settings.store().write(iniPath(), "C", "q", "4");   // last line had no line end
    settings.store().write(iniPath(), "D", "k", "v");   // new section at the end
    EXPECT_EQ(readBytes(iniPath()),
              QByteArray("; keep me\n[A]\nx=10\n\n; note\n[B]\r\ny=2\r\nw=new\r\n\r\n[C]\nz=3\r\nq=4\r\n"
                         "[D]\r\nk=v\r\n"));
    // A file edited in place is seen at the next read. (A replace by another
    // writer: TwoSettingsShareNeitherBatchNorCacheNorReport.)
    writeBytes(iniPath(), "[COM]\r\nPort=77\r\n");
    EXPECT_EQ(settings.store().read(iniPath(), "COM", "Port"), "77");
}

// Every write replaces the file (no temporary left); the first one creates
// the data folder. The no-value marker deletes a key; a long value is stored
// whole and read cut at 254 characters.
TEST_F(SettingsStore, WritesReplaceCreateDeleteAndKeepLongValues)
{
    config.dataFolder = tmp_.path() + "/new/VALMOR/Tankmon/";
    EXPECT_EQ(settings.store().read(iniPath(), "Common", "Log").value_or("d"), "d");
    EXPECT_FALSE(QFileInfo::exists(dataDir())) << "reading never creates the file";
    settings.store().write(iniPath(), "Common", "Log", "/tmp/trace");
    ASSERT_TRUE(QFileInfo::exists(tmp_.path() + "/new/VALMOR/Tankmon/Tankmon.ini"));
    const quint64 first = InodeOf(iniPath());
    const QString longValue(300, QLatin1Char('x'));
    settings.store().write(iniPath(), "Common", "Long", longValue);
    EXPECT_NE(InodeOf(iniPath()), first); // a new file renamed over the old one
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tankmon.ini"});
    EXPECT_TRUE(readBytes(iniPath()).contains(QByteArray(300, 'x')));
    settings.store().write(iniPath(), "Common", "Log", IniNoValue);
    EXPECT_FALSE(readBytes(iniPath()).contains("Log="));
    EXPECT_EQ(settings.store().read(iniPath(), "Common", "Long"), longValue.left(254)); // the other key stays
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
    switches.setClientPath(share.path() + "/");
    EXPECT_EQ(settings.read(Cfg::ComPort), "4");
    settings.write(Cfg::ComPort, 6);
    settings.write(Cfg::LngId, 2);
    EXPECT_EQ(settings.read(Cfg::ComPort), "4");
    EXPECT_EQ(settings.read(Cfg::LngId), "2");
    EXPECT_EQ(readBytes(share.path() + "/TANKMON.INI"), server);
    switches.setClientPath(QString());
    EXPECT_EQ(settings.read(Cfg::ComPort), "6"); // empty client path: the local file
}

// A file stays Windows-1252, byte for byte, while all it holds fits that
// code page (other programs read it); the first text that does not turns the
// whole file into UTF-8 with its mark, read back as such by another instance,
// and it stays UTF-8. Reads are cut after 254 characters, not bytes.
TEST_F(SettingsStore, FileStaysWindows1252UntilATextNeedsMoreThenStaysUtf8)
{
    const QByteArray head = "; Tanks \xE4\r\n[Ger\xE4t1]\r\nTankbezeichnung=";
    const QByteArray tail = "\r\nX=\x80\n[Common]\r\nLast=no end";
    writeBytes(iniPath(), head + "Keller" + tail);
    const IniKey name = Cfg::Device::Tankbezeichnung.at(1);
    settings.write(name, QStringLiteral("Öl Süd €"));
    EXPECT_EQ(readBytes(iniPath()), head +
                                        "\xD6l S\xFC"
                                        "d \x80" +
                                        tail);

    settings.write(name, QStringLiteral("Zbiornik łąś"));
    const QByteArray utf8Head = "\xEF\xBB\xBF; Tanks \xC3\xA4\r\n[Ger\xC3\xA4t1]\r\nTankbezeichnung=";
    const QByteArray utf8Tail = "\r\nX=\xE2\x82\xAC\n[Common]\r\nLast=no end";
    EXPECT_EQ(readBytes(iniPath()), utf8Head + "Zbiornik \xC5\x82\xC4\x85\xC5\x9B" + utf8Tail);
    copyToFreshFolder();
    EXPECT_EQ(QStringList({settings.read(name), settings.read({"Gerät1", "X", ""})}),
              QStringList({"Zbiornik łąś", "€"}));

    settings.write(name, QStringLiteral("Öl"));
    EXPECT_EQ(readBytes(iniPath()), utf8Head + "\xC3\x96l" + utf8Tail);

    const QString polish = QString(150, QChar(0x0142)) + QString(150, QLatin1Char('x'));
    const QString emoji = QString(253, QLatin1Char('a')) + QString::fromUtf8("\xF0\x9F\x9B\xA2");
    settings.write(name, polish);
    settings.write(Cfg::Email::Bemerkung, emoji);
    copyToFreshFolder();
    EXPECT_EQ(QStringList({settings.read(name), settings.read(Cfg::Email::Bemerkung)}),
              QStringList({polish.left(254), emoji.left(253)})); // no half of a character
}

// The settings file holds the stored passwords. Under umask 022 it is made
// without rights for others, in the group of its folder; every replace keeps
// that, a looser file is tightened at its next replace, a tighter one stays.
// Files without secrets keep the rights they had, as before.
TEST_F(SettingsStore, SettingsFileIsForItsOwnerAndTheFolderGroupOnly)
{
    ScopedUmask mask(022);
    ASSERT_TRUE(QDir().mkpath(dataDir()));
    // As root the test can give the folder a group that is not its own.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(dataDir()).constData(), uid_t(-1), 100), 0);
    }
    QStringList seen;
    // Rights given before the write (0: as they are), then the write.
    const auto step = [&](const char *what, int mode, const std::function<void()> &write) {
        if (mode)
            ::chmod(QFile::encodeName(iniPath()).constData(), mode_t(mode));
        write();
        seen << QString::fromLatin1(what) + ": " + RightsOf(iniPath());
    };
    const auto port = [&](int n) { return [&, n] { settings.write(Cfg::ComPort, n); }; };
    step("new", 0, port(3));
    step("replaced", 0, port(4));
    step("looser one replaced", 0664, port(5));
    step("tighter one replaced", 0600, port(6));
    step("made anew over it", 0, [&] { settings.replaceLocal({{Cfg::ComPort, "7"}}); });
    ASSERT_TRUE(QFile::remove(iniPath()));
    step("made anew", 0, [&] { settings.replaceLocal({{Cfg::ComPort, "8"}}); });
    const QString other = dataDir() + "Tank1.csv";
    SafeFile::Replace(other, "x");
    seen << "other: " + RightsOf(other).left(3);
    ::chmod(QFile::encodeName(other).constData(), 0666);
    SafeFile::Replace(other, "y");
    seen << "other replaced: " + RightsOf(other).left(3);
    EXPECT_EQ(seen, QStringList({"new: 640 folder's group", "replaced: 640 folder's group",
                                 "looser one replaced: 640 folder's group",
                                 "tighter one replaced: 600 folder's group",
                                 "made anew over it: 600 folder's group", "made anew: 640 folder's group",
                                 "other: 644", "other replaced: 666"}));
    EXPECT_EQ(settings.read(Cfg::ComPort), "8");
}

TEST(Cp1252, RoundTripsTheCodePage)
{
    QByteArray all(255, '\0');
    std::iota(all.begin(), all.end(), char(1));
    EXPECT_EQ(Cp1252::encode(Cp1252::decode(all)), all);
    EXPECT_EQ(Cp1252::decode(QByteArray("\x80\xB3")), QString::fromUtf8("€³"));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("m³ Ω")), QByteArray("m\xB3 ?"));
}

// Each Settings owns its store: a batch open on one delays none of another's
// writes, its failures reach only its own report, and what it has pending or
// cached is not what another Settings over the same file reads.
TEST_F(SettingsStore, TwoSettingsShareNeitherBatchNorCacheNorReport)
{
    QTemporaryDir otherDir;
    RunConfig otherConfig = config;
    otherConfig.dataFolder = otherDir.path() + "/";
    const RunSwitches otherSwitches(otherConfig);
    QStringList reports, otherReports;
    settings.setFailureReport([&](const QString &path, const QString &) { reports << path; });
    Settings other(otherSwitches, [&](const QString &path, const QString &) { otherReports << path; });
    settings.write(Cfg::ComPort, 1);
    {
        Settings::Batch batch(settings);
        settings.write(Cfg::ComPort, 2);
        EXPECT_TRUE(other.write(Cfg::ComPort, 3));
        EXPECT_TRUE(readBytes(other.localPath()).contains("Port=3")) << "written at once";
        EXPECT_TRUE(readBytes(iniPath()).contains("Port=1")) << "the batch holds it back";

        // Over the same file, another Settings reads the disk, not the pending value.
        Settings sameFile(switches);
        EXPECT_EQ(sameFile.read(Cfg::ComPort), "1");
        sameFile.write(Cfg::ComPort, 4);
        EXPECT_EQ(settings.read(Cfg::ComPort), "2") << "pending values win until the batch ends";

        // A failure of the other store is reported to the other only.
        QFile::remove(other.localPath());
        QDir().mkpath(other.localPath());
        EXPECT_FALSE(other.write(Cfg::ComPort, 5));
        EXPECT_EQ(otherReports, QStringList{other.localPath()});
        EXPECT_EQ(reports, QStringList());
    }
    EXPECT_TRUE(readBytes(iniPath()).contains("Port=2"));
    // Written through one Settings, read at once through another over the file.
    Settings sameFile(switches);
    EXPECT_EQ(sameFile.read(Cfg::ComPort), "2");
    sameFile.write(Cfg::ComPort, 6);
    EXPECT_EQ(settings.read(Cfg::ComPort), "6");
}
