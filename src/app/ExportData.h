#pragma once
#include "core/Clock.h"
#include "core/RunConfig.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "model/TankController.h"

struct CommandLine;

// What an export from the command line works on: the registry and the tank
// histories of the data folder, read only (no instance lock, nothing written,
// so it runs beside a serving instance), in the language the program would
// use there.
class ExportData
{
public:
    explicit ExportData(const CommandLine &cl);

    const DeviceTable &table() const { return tanks.table(); }
    // False, after the error line naming option, when the data folder has no
    // device of that number (0, all tanks, is always there).
    bool hasTank(int tank, const QString &option) const;

    RunConfig config;
    Settings settings{config};
    QuietUi ui;
    ClockFn clock = SystemClock();
    TankController tanks{config, settings, ui, clock};
};

// One line on standard error: how an export says what went wrong.
void ErrorLine(const QString &text);
