#pragma once
#include "Clock.h"

#include <QDateTime>
#include <QString>

class RunSwitches;

// The trace file ("Common"/"Log", RunSwitches::tracePath): one line per link
// event. Cheap to copy; every object that traces builds one from the run
// switches and its clock; a new trace path holds from the next line on.
class TraceLog
{
public:
    TraceLog(const RunSwitches &switches, ClockFn clock) : switches_(&switches), clock_(std::move(clock)) {}

    // Building trace texts costs time on busy links; skip it when nobody reads them.
    bool enabled() const;
    // Appends one line: date and time as the date-time text, a blank,
    // three-digit milliseconds, a comma and the text, CR LF. Nothing happens
    // without a trace file; one that cannot be opened or is no regular file
    // (a FIFO, a device) is skipped silently: it never stops the program.
    void LogInFile(const QString &text) const;

private:
    const RunSwitches *switches_;
    ClockFn clock_;
};

// The line LogInFile writes, for a given moment.
QByteArray TraceLine(const QDateTime &t, const QString &text);
