#pragma once
#include "core/Clock.h"
#include "link/ItemList.h"

#include <QString>

class Settings;
class RunSwitches;

// What the log settings dialog frmLog does, without the widgets: its
// captions, the two interval lists, the values it shows, and OK's writes.
// The window mirrors the fields and calls Ok; Cancel needs nothing here.
class LogDialogLogic
{
public:
    LogDialogLogic(RunSwitches &switches, Settings &settings, ClockFn clock);

    struct Captions {
        QString window, help, logIni, logFile, cancel, ok, note, path, noteText;
    };
    static Captions captions();

    // The lines of a multi-line text paired with the fixed seconds of their
    // positions (the numbers are the same in every language).
    static ItemList IntervalList(int textId, const QList<qint32> &seconds);
    static const QList<qint32> &LogIniSeconds();  // text 233: 1 minute .. 1 month
    static const QList<qint32> &LogFileSeconds(); // text 234: 10 minutes .. 1 month

    // The values in memory, as the dialog opens: lists at the nearest entries.
    ItemList comboLogFile;
    ItemList comboLogIni;
    bool logFile = false;
    bool logIni = false;
    QString folder;

    // Stores the fields into memory and the settings file in this order: both
    // switches, both intervals (-1 for a list without a selection), the folder
    // (made to end in the separator and created), then both "Last" values set
    // to now, so both interval clocks start again. A folder that is no full
    // path or cannot be made or written to is refused, as --set refuses it:
    // nothing is stored and the text says why; empty when stored.
    QString Ok();

    // Why the tank files cannot be kept in folder (an empty folder stands for
    // the data folder): the text the dialog shows; empty when they can.
    static QString FolderProblem(const QString &folder);

private:
    RunSwitches &switches_;
    Settings &settings_;
    ClockFn clock_;
};
