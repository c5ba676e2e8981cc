// The installed program and the Debian package: install into a temporary
// prefix and run the program from there; build the package and read its
// file list.
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
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
                         "share/doc/tankmon/copyright"};
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
    ::kill(pid_t(p.processId()), SIGTERM);
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

TEST(Package, DebianPackageHoldsTheInstalledFilesAndDependsOnWhatTheProgramLinks)
{
    const QString dpkgDeb = QStandardPaths::findExecutable("dpkg-deb");
    const QString cpack = QStandardPaths::findExecutable("cpack", {QFileInfo(TANKMON_CMAKE_COMMAND).path()});
    if (dpkgDeb.isEmpty() || cpack.isEmpty())
        GTEST_SKIP() << "dpkg-deb or cpack is missing: the Debian package was not built";
    QTemporaryDir out;
    ASSERT_TRUE(RunTool(
        cpack, {"--config", TANKMON_BINARY_DIR "/CPackConfig.cmake", "-G", "DEB", "-B", out.path()}, 240000));
    const QStringList debs = QDir(out.path()).entryList({"tankmon_*.deb"});
    ASSERT_EQ(debs.size(), 1) << qPrintable(QDir(out.path()).entryList().join(' '));
    const QString deb = out.path() + '/' + debs.first();

    const auto files = RunTool(dpkgDeb, {"--contents", deb});
    ASSERT_TRUE(files);
    for (const QString &file : InstalledFiles())
        EXPECT_TRUE(files->contains(" ./usr/" + file.toUtf8() + '\n')) << qPrintable(file);

    // Dependencies read from the binary (the listed ones and the scripts are
    // the packaging's own constants).
    const auto depends = RunTool(dpkgDeb, {"--field", deb, "Depends"});
    ASSERT_TRUE(depends);
    EXPECT_TRUE(depends->contains("libqt6core6")) << depends->constData();
}

} // namespace
