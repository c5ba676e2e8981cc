// The installed program: install into a temporary prefix and run the program
// from there.
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <csignal>

namespace
{

using Installation = DataDirTest;

// The program, the unit, the desktop entry, the icons, the docs and every
// help page of the source tree.
TEST_F(Installation, LayoutHoldsProgramHelpDesktopEntryIconsUnitAndDocsAndRunsFromItsPrefix)
{
    QTemporaryDir prefix;
    ASSERT_EQ(QProcess::execute(TANKMON_CMAKE_COMMAND,
                                {"--install", TANKMON_BINARY_DIR, "--prefix", prefix.path()}),
              0);
    const auto installed = [&](const QString &rel) { return prefix.path() + '/' + rel; };
    QStringList files = {"bin/Tankmon",
                         "lib/systemd/system/tankmon.service",
                         "share/applications/tankmon.desktop",
                         "share/icons/hicolor/scalable/apps/tankmon.svg",
                         "share/icons/hicolor/256x256/apps/tankmon.png",
                         "share/doc/tankmon/README.md",
                         "share/doc/tankmon/copyright"};
    const QDir help(TANKMON_SOURCE_DIR "/help");
    for (QDirIterator it(help.path(), {"*.html", "*.css"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files << "share/tankmon/help/" + help.relativeFilePath(it.next());
    for (const QString &file : files)
        EXPECT_TRUE(QFileInfo::exists(installed(file))) << qPrintable(file);
    // Both name the installed executable by its full path.
    const QString exe = installed("bin/Tankmon");
    EXPECT_TRUE(
        readBytes(installed("share/applications/tankmon.desktop")).contains("\nExec=" + exe.toUtf8() + "\n"));
    EXPECT_TRUE(readBytes(installed("lib/systemd/system/tankmon.service"))
                    .contains("\nExecStart=" + exe.toUtf8() + " --headless\n"));

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
}

} // namespace
