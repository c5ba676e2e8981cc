// Settings files a bad day leaves behind: each is read for what it holds, and
// never written over when that could lose what the user has.
#include "support/TestSupport.h"

#include "core/IniStore.h"
#include "core/SafeFile.h"
#include "core/Settings.h"

#include <QDir>
#include <QStringEncoder>
#include <numeric>
#include <sys/stat.h>

using HostileSettings = DataDirTest;

// Each file is read as the private-profile functions read it; a write keeps
// every byte of it (or refuses and reports when that cannot be done).
TEST_F(HostileSettings, EachFileIsReadForWhatItHoldsAndWrittenOnlyWhenSafe)
{
    const QByteArray hand = "; comment line\r\n[COM]\r\n  Port = 3  \r\nTimeout=\r\n#note=1\n[ com ]\n"
                            "Port=9\n[Common]\nQuoted=\"a b\"\nLast=no line end";
    QByteArray junk(256, '\0');
    std::iota(junk.begin(), junk.end(), char(0));
    const QByteArray garbage = junk + "\n[A]\nk=first\nk=second\n" + QByteArray(100000, 'z') +
                               "\n[A]\nk=third\n[" + QByteArray(100000, 'q') + "\n=novalue\n[B\nv=1\n";
    const auto utf16 = [](QStringConverter::Encoding enc, bool bom) -> QByteArray {
        return QStringEncoder(enc, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default)(
            QStringLiteral("[Geräte]\r\nAnzahl=3\r\n"));
    };
    const QByteArray cp1252 = "[Ger\xE4te]\r\nAnzahl=3\r\n";
    const QByteArray utf8 = "\xEF\xBB\xBF[Ger\xC3\xA4te]\r\nAnzahl=3\r\n";
    QStringList reports;
    settings.setFailureReport(
        [&](const QString &path, const QString &reason) { reports << path + " | " + reason; });
    // name, bytes; "section/key=value" read with the default "dflt"; the refusal's
    // reason, or nullptr: written, keeping the last field (or the bytes) in front
    const std::tuple<const char *, QByteArray, const char *, const char *, QByteArray> cases[] = {
        {"case, blanks, first section wins", hand, "com/PORT=3", nullptr, {}},
        {"present but empty", hand, "COM/Timeout=", nullptr, {}},
        {"comment is no key", hand, "COM/#note=dflt", nullptr, {}},
        {"quoted", hand, "Common/Quoted=a b", nullptr, {}},
        {"umlauts in any case", cp1252, "GERÄTE/anzahl=3", nullptr, {}},
        {"last line without line end", hand, "Common/Last=no line end", nullptr, {}},
        {"garbage, first occurrence wins", garbage, "A/k=first", nullptr, {}},
        {"garbage, empty key", garbage, "A/=dflt", nullptr, {}},
        {"UTF-8 mark, Windows-1252 text", "\xEF\xBB\xBF" + cp1252, "Geräte/Anzahl=3", nullptr, cp1252},
        {"UTF-8 mark, UTF-8 text", utf8, "Geräte/Anzahl=3", nullptr, utf8},
        {"zero-filled tail", cp1252 + QByteArray(4096, '\0'), "Geräte/Anzahl=3", nullptr, cp1252},
        {"UTF-16LE with mark", utf16(QStringConverter::Utf16LE, true), "Geräte/Anzahl=3", "UTF-16", {}},
        {"UTF-16BE with mark", utf16(QStringConverter::Utf16BE, true), "Geräte/Anzahl=3", "UTF-16", {}},
        {"UTF-16LE, no mark", utf16(QStringConverter::Utf16LE, false), "Geräte/Anzahl=3", "UTF-16", {}},
        {"UTF-8 beyond Windows-1252", utf8 + "Name=\xC5\x82\r\n", "Geräte/Name=ł", nullptr, {}},
    };
    for (const auto &[name, bytes, readText, refusal, kept] : cases) {
        SCOPED_TRACE(name);
        reports.clear();
        const QString read = QString::fromUtf8(readText);
        const QString section = read.section('/', 0, 0);
        const QString key = read.section('/', 1).section('=', 0, 0);
        const QString path = dataDir() + name + ".ini";
        writeBytes(path, bytes);
        EXPECT_EQ(settings.store().read(path, section, key).value_or("dflt"), read.section('=', 1));
        settings.store().write(path, "Common", "Log", QStringLiteral("x"));
        const QByteArray after = readBytes(path);
        if (refusal) {
            EXPECT_EQ(after, bytes);
            ASSERT_EQ(reports.size(), 1);
            EXPECT_TRUE(reports[0].startsWith(path + " | ")) << reports[0].toStdString();
            EXPECT_TRUE(reports[0].contains(refusal)) << reports[0].toStdString();
        } else {
            EXPECT_TRUE(reports.isEmpty());
            EXPECT_TRUE(after.startsWith(kept.isEmpty() ? bytes : kept))
                << after.left(80).toHex().toStdString();
            EXPECT_TRUE(after.contains("Log=x\r\n"));
            EXPECT_EQ(settings.store().read(path, section, key).value_or("dflt"), read.section('=', 1));
        }
    }
}

// Reading a FIFO would block until some writer came along; replacing it or a
// folder of that name would lose whatever the user put there.
TEST_F(HostileSettings, NonRegularFileIsNeitherOpenedBlockingNorReplaced)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
    int reports = 0;
    settings.setFailureReport([&](const QString &, const QString &) { ++reports; });
    EXPECT_EQ(settings.store().read(iniPath(), "COM", "Port").value_or("1"), "1");
    settings.store().write(iniPath(), "COM", "Port", QStringLiteral("3"));
    EXPECT_EQ(reports, 1);
    struct stat st {
    };
    ASSERT_EQ(::stat(QFile::encodeName(iniPath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(HostileSettings, StaleTemporariesOfOurPatternOnlyAreRemoved)
{
    const QStringList ours = {"Tankmon.ini.Ab3dE9", "Tankmon.ini.XXXXXX"};
    const QStringList others = {"Other.ini.Ab3dE9", "Tankmon.ini", "Tankmon.ini.Ab-dE9",
                                "Tankmon.ini.Ab3dE9x", "Tankmon.ini.bak"}; // sorted
    for (const QString &n : ours + others)
        writeBytes(dataDir() + n, "[A]\r\n");
    EXPECT_EQ(SafeFile::RemoveStaleTemporaries(dataDir(), "Tankmon.ini"), 2);
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files, QDir::Name), others);
}
