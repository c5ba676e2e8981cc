#pragma once
#include "AppController.h"
#include "MenuCommands.h"
#include "ProgramCore.h"
#include "WindowParts.h"

struct CommandLine;

// The objects of one program run, built in one place from the command-line
// options and the UI services: the core (options, switches, settings), the
// controller with everything it holds, the menu commands and what the windows
// are given of it all. The window program, the headless program and the
// start-up tests build it the same way; what differs is only the UiServices,
// the clock and the seams. The exports build on the same core (ExportData).
struct Program : ProgramCore {
    Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware = {},
            AppController::ProcessStarter starter = {});

    AppController app;
    MenuCommands menu;
    const WindowParts windowParts;
};

// What the windows use of a controller's run.
WindowParts WindowPartsOf(AppController &app);

// The program of this command line (our own options passed on to a restart).
std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui);
