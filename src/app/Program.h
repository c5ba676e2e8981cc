#pragma once
#include "AppController.h"
#include "MenuCommands.h"
#include "WindowParts.h"

#include "core/RunConfig.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"

struct CommandLine;

// The objects of one program run, built in one place from the command-line
// options and the UI services: the options (kept, never changed), the
// switches, the settings, the controller with everything it holds, the menu
// commands and what the windows are given of it all. The
// window program, the headless program and the start-up tests build it the
// same way; what differs is only the UiServices, the clock and the seams.
struct Program {
    Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware = {},
            AppController::ProcessStarter starter = {});
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    const RunConfig options;
    RunSwitches switches{options};
    Settings settings{switches};
    AppController app;
    MenuCommands menu;
    const WindowParts windowParts;
};

// What the windows use of a controller's run.
WindowParts WindowPartsOf(AppController &app);

// The program of this command line (our own options passed on to a restart).
std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui);
