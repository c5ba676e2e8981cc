// The installed program and the Debian package: install into a temporary
// prefix and run the program from there; build the package and read its
// file list.
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>

namespace
{

// Runs a command to its end; its merged output, or nullopt when it failed.
std::optional<QByteArray> RunTool(const QString &program, const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << qPrintable(program) << " " << qPrintable(args.join(' ')) << ":\n"
                      << p.readAll().constData();
        return std::nullopt;
    }
    return p.readAll();
}

// What an installation holds, relative to its prefix: the program, the unit,
// the desktop entry, the icons, the docs and every help page of the source tree.
QStringList InstalledFiles()
{
    QStringList files = {"bin/Tankmon",
                         "lib/systemd/system/tankmon.service",
                         "share/applications/tankmon.desktop",
                         "share/icons/hicolor/scalable/apps/tankmon.svg",
                         "share/icons/hicolor/256x256/apps/tankmon.png",
                         "share/doc/tankmon/README.md",
                         "share/doc/tankmon/copyright",
                         "share/man/man1/Tankmon.1.gz"};
    const QDir help(TANKMON_SOURCE_DIR "/help");
    QDirIterator it(help.path(), {"*.html", "*.css"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << "share/tankmon/help/" + help.relativeFilePath(it.next());
    return files;
}

using Installation = DataDirTest;

TEST_F(Installation, LayoutHoldsProgramHelpDesktopEntryIconsUnitAndDocsAndRunsFromItsPrefix)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(RunTool(TANKMON_CMAKE_COMMAND, {"--install", TANKMON_BINARY_DIR, "--prefix", prefix.path()}));
    const auto installed = [&](const QString &rel) { return prefix.path() + '/' + rel; };
    for (const QString &file : InstalledFiles())
        EXPECT_TRUE(QFileInfo::exists(installed(file))) << qPrintable(file);
    // Both name the installed executable by its full path.
    const QString exe = installed("bin/Tankmon");
    EXPECT_TRUE(
        readBytes(installed("share/applications/tankmon.desktop")).contains("\nExec=" + exe.toUtf8() + "\n"));
    const QString unit = installed("lib/systemd/system/tankmon.service");
    EXPECT_TRUE(readBytes(unit).contains("\nExecStart=" + exe.toUtf8() + " --headless\n"));

    // The English help beside the program turns a stored language id that names
    // none into English: proof that the program looks into share/tankmon from bin.
    writeBytes(installed("share/tankmon/Tankmon_e.chm"), "");
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=99\r\n");
    QTemporaryDir elsewhere;
    QProcess p;
    p.setWorkingDirectory(elsewhere.path());
    QByteArray out;
    ASSERT_TRUE(StartHeadless(p, exe, dataDir(), out)) << out.constData();
    Signal(p, SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(readBytes(iniPath()).contains("LngId=2")) << readBytes(iniPath()).constData();

    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is missing: the unit was not verified";
    const auto verify = RunTool(analyze, {"verify", unit});
    ASSERT_TRUE(verify);
    EXPECT_EQ(*verify, QByteArray()) << verify->constData();
}

// The Debian package, built once for all its tests (cpack takes a while).
class Package : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString cpack =
            QStandardPaths::findExecutable("cpack", {QFileInfo(TANKMON_CMAKE_COMMAND).path()});
        if (QStandardPaths::findExecutable("dpkg-deb").isEmpty() || cpack.isEmpty())
            return;
        out_ = new QTemporaryDir;
        if (!RunTool(cpack,
                     {"--config", TANKMON_BINARY_DIR "/CPackConfig.cmake", "-G", "DEB", "-B", out_->path()},
                     900000))
            return;
        const QStringList debs = QDir(out_->path()).entryList({"tankmon_*.deb"});
        if (debs.size() == 1)
            deb_ = out_->path() + '/' + debs.first();
    }
    static void TearDownTestSuite()
    {
        delete out_;
        out_ = nullptr;
    }
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("dpkg-deb").isEmpty())
            GTEST_SKIP() << "dpkg-deb or cpack is missing: the Debian package was not built";
        ASSERT_FALSE(deb_.isEmpty()) << "no package was built";
    }
    static std::optional<QByteArray> field(const char *name)
    {
        return RunTool("dpkg-deb", {"--field", deb_, name});
    }

    static inline QTemporaryDir *out_ = nullptr;
    static inline QString deb_;
};

TEST_F(Package, HoldsTheInstalledFilesAndManualPageAndDependsOnWhatTheProgramLinks)
{
    const auto files = RunTool("dpkg-deb", {"--contents", deb_});
    ASSERT_TRUE(files);
    for (const QString &file : InstalledFiles())
        EXPECT_TRUE(files->contains(" ./usr/" + file.toUtf8() + '\n')) << qPrintable(file);

    // Dependencies read from the binary (the listed ones and the scripts are
    // the packaging's own constants).
    const auto depends = field("Depends");
    ASSERT_TRUE(depends);
    EXPECT_TRUE(depends->contains("libqt6core6")) << depends->constData();
}

// lintian, Debian's own check of a package: no error, no warning. Then the
// unpacked package: its manual page renders, and its program names the
// package's version.
TEST_F(Package, LintianFindsNoErrorNorWarningManualPageRendersVersionsAgree)
{
    const QString lintian = QStandardPaths::findExecutable("lintian");
    if (lintian.isEmpty()) {
        ADD_FAILURE() << "lintian is missing: run tools/setup.sh";
    } else {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(lintian, {"--no-tag-display-limit", deb_});
        ASSERT_TRUE(p.waitForFinished(300000));
        const QByteArray report = p.readAll();
        const QList<QByteArray> lines = report.split('\n');
        const bool flagged = std::any_of(lines.begin(), lines.end(), [](const QByteArray &l) {
            return l.startsWith("E:") || l.startsWith("W:");
        });
        EXPECT_FALSE(flagged) << report.constData();
        EXPECT_NE(p.exitCode(), 2) << "lintian itself failed:\n" << report.constData();
    }

    QTemporaryDir root;
    ASSERT_TRUE(RunTool("dpkg-deb", {"-x", deb_, root.path()}));
    const auto page = RunTool("man", {"-l", root.filePath("usr/share/man/man1/Tankmon.1.gz")});
    ASSERT_TRUE(page);
    for (const char *section :
         {"NAME", "SYNOPSIS", "DESCRIPTION", "ENVIRONMENT", "FILES", "EXAMPLES", "COPYRIGHT"})
        EXPECT_TRUE(page->contains(QByteArray("\n") + section + '\n')) << section << '\n'
                                                                       << page->constData();

    const auto version = field("Version");
    ASSERT_TRUE(version);
    const auto banner = RunTool(root.filePath("usr/bin/Tankmon"), {"--version"});
    ASSERT_TRUE(banner);
    EXPECT_TRUE(banner->startsWith("VALMOR Tankmon V")) << banner->constData();
    EXPECT_TRUE(banner->contains("(package " + version->trimmed() + ")\n")) << banner->constData();
    EXPECT_TRUE(banner->contains("GPL-3.0-or-later")) << banner->constData();
}

} // namespace
