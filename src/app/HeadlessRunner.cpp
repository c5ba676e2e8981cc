#include "HeadlessRunner.h"

#include "CommandLine.h"
#include "Program.h"
#include "ProgramInfo.h"
#include "SignalQuit.h"
#include "core/UiServices.h"

#include <QCoreApplication>
#include <cstdio>

int RunHeadless(int &argc, char **argv, const CommandLine &cl)
{
    QCoreApplication application(argc, argv);
    HeadlessUi ui;
    const std::unique_ptr<Program> program = BuildProgram(cl, ui);
    AppController &app = program->app;
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
        std::printf("[ready] %s\n", qPrintable(ProgramTitle(program->options, false)));
        std::fflush(stdout);
        break;
    }
    return QCoreApplication::exec();
}
