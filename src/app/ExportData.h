#pragma once
#include "ProgramCore.h"

#include "core/Clock.h"
#include "core/UiServices.h"
#include "history/HistoryRecorder.h"
#include "lang/Lng.h"
#include "model/TankController.h"

struct CommandLine;

// What an export from the command line works on: the registry and the tank
// histories of the data folder, read only (no instance lock, nothing written,
// so it runs beside a serving instance), in the language the program would
// use there. Built as the program builds its run: on the same core, the
// tanks and their histories loaded by the same step (LoadTanks).
class ExportData : public ProgramCore
{
public:
    explicit ExportData(const CommandLine &cl);

    const DeviceTable &table() const { return tanks.table(); }
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

    ClockFn clock = SystemClock();
    Texts texts; // the export's language, fixed by the constructor
    // Nothing of an export shows a box; its errors are lines on stderr.
    QuietUi ui;
    TankController tanks{switches, settings, ui, texts, clock};
    // Only loads: no telegram reaches an export, so nothing is recorded.
    HistoryRecorder history{tanks.table(), switches, settings, ui, texts, clock, {}};
};

// One line on standard error: how an export says what went wrong.
void ErrorLine(const QString &text);
