// Settings files a bad day leaves behind: each is read for what it holds, and
// never written over when that could lose what the user has.
#include "support/TestSupport.h"

#include "core/IniStore.h"
#include "core/SafeFile.h"
#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <sys/stat.h>

namespace {

QByteArray utf16(const QString &text, QStringConverter::Encoding enc, bool bom)
{
    QStringEncoder e(enc, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    return e(text);
}

class HostileSettings : public DataDirTest {
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        IniStore::SetWriteFailureReporter(
            [this](const QString &path, const QString &reason) { reports << path + " | " + reason; });
    }
    void TearDown() override
    {
        IniStore::SetWriteFailureReporter({});
        DataDirTest::TearDown();
    }
    QStringList reports;
};

} // namespace

TEST_F(HostileSettings, OnlyWindows1252TextIsWrittenInto)
{
    const QString text = QStringLiteral("[Geräte]\r\nAnzahl=3\r\n");
    const struct {
        const char *name;
        QByteArray bytes;
        const char *refusal; // nullptr: written, as Windows-1252 without a mark
    } cases[] = {
        {"UTF-8 mark, Windows-1252 text", "\xEF\xBB\xBF[Ger\xE4te]\r\nAnzahl=3\r\n", nullptr},
        {"UTF-8 mark, UTF-8 text", "\xEF\xBB\xBF[Ger\xC3\xA4te]\r\nAnzahl=3\r\n", nullptr},
        {"zero-filled tail", "[Ger\xE4te]\r\nAnzahl=3\r\n" + QByteArray(4096, '\0'), nullptr},
        {"UTF-16LE with mark", utf16(text, QStringConverter::Utf16LE, true), "UTF-16"},
        {"UTF-16BE with mark", utf16(text, QStringConverter::Utf16BE, true), "UTF-16"},
        {"UTF-16LE without mark", utf16(text, QStringConverter::Utf16LE, false), "UTF-16"},
        {"UTF-8 text Windows-1252 cannot hold", "\xEF\xBB\xBF[Ger\xC3\xA4te]\r\nAnzahl=3\r\nName=\xC5\x82\r\n",
         "Windows-1252"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        const QString path = dataDir() + c.name + ".ini";
        writeBytes(path, c.bytes);
        EXPECT_EQ(ReadIniValue(path, "Geräte", "Anzahl"), "3");
        WriteIniValue(path, "Common", "Log", QStringLiteral("x"));
        const QByteArray after = readBytes(path);
        if (c.refusal) {
            EXPECT_EQ(after, c.bytes);
            ASSERT_EQ(reports.size(), 1);
            EXPECT_TRUE(reports[0].startsWith(path + " | ")) << reports[0].toStdString();
            EXPECT_TRUE(reports[0].contains(c.refusal)) << reports[0].toStdString();
        } else {
            EXPECT_TRUE(reports.isEmpty());
            EXPECT_TRUE(after.startsWith("[Ger\xE4te]\r\nAnzahl=3\r\n")) << after.toHex().toStdString();
            EXPECT_TRUE(after.contains("[Common]\r\nLog=x\r\n"));
        }
    }
}

// Reading a FIFO would block until some writer came along; replacing it or a
// folder of that name would lose whatever the user put there.
TEST_F(HostileSettings, NonRegularFileIsNeitherOpenedBlockingNorReplaced)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
    EXPECT_EQ(ReadIniValue(iniPath(), "COM", "Port", "1"), "1");
    WriteIniValue(iniPath(), "COM", "Port", QStringLiteral("3"));
    EXPECT_EQ(reports.size(), 1);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(iniPath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(HostileSettings, StaleTemporariesOfOurPatternOnlyAreRemoved)
{
    const QStringList ours = {"Tankmon.ini.Ab3dE9", "Tankmon.ini.XXXXXX"};
    const QStringList others = {"Tankmon.ini", "Tankmon.ini.bak", "Tankmon.ini.Ab3dE9x", "Other.ini.Ab3dE9",
                                "Tankmon.ini.Ab-dE9"};
    for (const QString &n : ours + others)
        writeBytes(dataDir() + n, "[A]\r\n");
    EXPECT_EQ(SafeFile::RemoveStaleTemporaries(dataDir(), "Tankmon.ini"), 2);
    QStringList left = QDir(dataDir()).entryList(QDir::Files);
    QStringList expected = others;
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
}
