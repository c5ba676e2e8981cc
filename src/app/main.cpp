#include "AppController.h"
#include "HeadlessRunner.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "lang/Lng.h"
#include "ui/GuiMain.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {
void usage()
{
    std::printf("Usage: Tankmon [--headless] [--data-dir FOLDER] [CLIENT] [LNGID=n]\n"
                "  --headless        run without any window (service mode)\n"
                "  --data-dir FOLDER use FOLDER as the data folder (also TANKMON_DATA_DIR)\n");
}
} // namespace

int main(int argc, char **argv)
{
    bool headless = false;
    QString dataDir;
    QStringList words, options;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (!std::strcmp(a, "--headless")) {
            headless = true;
            options << QStringLiteral("--headless");
        } else if (!std::strcmp(a, "--data-dir") && i + 1 < argc) {
            dataDir = QString::fromLocal8Bit(argv[++i]);
            options << QStringLiteral("--data-dir") << dataDir;
        } else if (!std::strncmp(a, "--data-dir=", 11)) {
            dataDir = QString::fromLocal8Bit(a + 11);
            options << QStringLiteral("--data-dir") << dataDir;
        } else if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            usage();
            return 0;
        } else {
            words << QString::fromLocal8Bit(a);
        }
    }
    Paths::SetExeBaseName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    if (!dataDir.isEmpty())
        Paths::SetDataDirOverride(dataDir);
    State().headless = headless;

    if (headless) {
        QCoreApplication app(argc, argv);
        InstallLanguage();
        AppController controller;
        controller.setCommandLine(words);
        controller.setRestartOptions(options);
        HeadlessRunner runner(controller);
        return runner.run();
    }
    return RunGui(argc, argv, words, options);
}
