#pragma once
#include "core/Clock.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "lang/Lng.h"
#include "model/DeviceRegistry.h"

struct CommandLine;

// What an export from the command line works on: the registry and the tank
// histories of the data folder, read only (no instance lock, nothing written,
// so it runs beside a serving instance), in the language the program would
// use there.
class ExportData
{
public:
    explicit ExportData(const CommandLine &cl);

    const DeviceTable &table() const { return registry.table(); }
    // False, after the error line naming option, when the data folder has no
    // device of that number (0, all tanks, is always there).
    bool hasTank(int tank, const QString &option) const;
    // Before anything is computed: 0 when the export may go on; else the exit
    // status after one line on stderr: 1 when the data folder has no settings
    // file, 2 when output leads to a file of the program.
    int refusal(const QString &output) const;
    // The files the program writes in this data folder (they need not exist).
    QStringList ownedFiles() const;
    // For a command about to end the process: the histories are left to the
    // system, which takes back the whole process memory at once, instead of
    // being freed array by array (with many full tanks a noticeable part of
    // the command's time). The table keeps its devices with empty histories.
    void leaveHistoriesToExit();

    const RunConfig &config() const { return options; }

    const RunConfig options;
    RunSwitches switches{options};
    Settings settings{switches};
    ClockFn clock = SystemClock();
    Texts texts; // the export's language, fixed by the constructor
    DeviceRegistry registry{switches, settings, texts, clock};
};

// One line on standard error: how an export says what went wrong.
void ErrorLine(const QString &text);
