#pragma once
#include "core/RunConfig.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"

#include <utility>

// What every run is built on, the window program's, the headless program's
// and an export's alike: the command-line options (kept, never changed), the
// switches that start from them and the settings read through the switches.
struct ProgramCore {
    explicit ProgramCore(RunConfig options) : options(std::move(options)) {}
    ProgramCore(const ProgramCore &) = delete;
    ProgramCore &operator=(const ProgramCore &) = delete;

    const RunConfig options;
    RunSwitches switches{options};
    Settings settings{switches};
};
