#pragma once
#include "Clock.h"

#include <QDateTime>
#include <QString>

struct RunConfig;

// The trace file ("Common"/"Log", RunConfig::tracePath): one line per link
// event. Cheap to copy; every object that traces builds one from the run
// configuration and its clock.
class TraceLog
{
public:
    TraceLog(const RunConfig &config, ClockFn clock) : config_(&config), clock_(std::move(clock)) {}

    // Building trace texts costs time on busy links; skip it when nobody reads them.
    bool enabled() const;
    // Appends one line: date and time as the date-time text, a blank,
    // three-digit milliseconds, a comma and the text, CR LF. Nothing happens
    // without a trace file; one that cannot be opened is skipped silently,
    // it never stops the program.
    void LogInFile(const QString &text) const;

private:
    const RunConfig *config_;
    ClockFn clock_;
};

// The line LogInFile writes, for a given moment.
QByteArray TraceLine(const QDateTime &t, const QString &text);
