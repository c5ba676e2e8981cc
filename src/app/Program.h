#pragma once
#include "AppController.h"
#include "MenuCommands.h"
#include "ProgramCore.h"
#include "RunParts.h"
#include "WindowParts.h"

struct CommandLine;

// The composition root of one program run: the core (options, switches,
// settings), the parts of the run built and wired over it, the life cycle
// that runs them, the menu commands (which hand out every dialog's logic)
// and what the windows are given of it all. The window program, the headless
// program and the tests build it the same way; what differs is only the
// UiServices, the clock and the seams. The exports build on the same core
// (ExportData), --get/--set on the core's settings.
struct Program : ProgramCore {
    Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware = {},
            AppController::ProcessStarter starter = {});

    RunParts parts;
    AppController app;
    MenuCommands menu;
    const WindowParts windowParts;
};

// What the windows use of a run.
WindowParts WindowPartsOf(RunParts &parts);

// The program of this command line (our own options passed on to a restart).
std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui);
