#include "HeadlessRunner.h"

#include "AppController.h"
#include "CommandLine.h"
#include "ProgramInfo.h"
#include "SignalQuit.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"

#include <QCoreApplication>
#include <cstdio>

int RunHeadless(int &argc, char **argv, const CommandLine &cl)
{
    QCoreApplication application(argc, argv);
    RunSwitches switches(ConfigFromCommandLine(cl));
    Settings settings(switches);
    HeadlessUi ui;
    AppController app(switches, settings, ui, SystemClock());
    app.setRestartOptions(cl.restartOptions);
    QuitOnSignals(app, true);

    switch (app.start()) {
    case AppController::Start::ClientPathMissing:
        app.reportClientPathMissing();
        break;
    case AppController::Start::Ended:
        break;
    case AppController::Start::Run:
        if (app.interfaceDialogWanted())
            std::printf("[interface] neither the serial nor the TCP link is switched on\n");
        app.activate();
        std::printf("[ready] %s\n", qPrintable(ProgramTitle(switches.options(), false)));
        std::fflush(stdout);
        break;
    }
    return QCoreApplication::exec();
}
