#pragma once
#include <QDateTime>
#include <QString>

// Appends one line to the trace file ("Common"/"Log"): date and time as the
// date-time text, a blank, three-digit milliseconds, a comma and the text,
// CR LF. Nothing happens when no trace file is set; a trace file that cannot
// be opened is skipped silently, it never stops the program.
void LogInFile(const QString &text);
// The line LogInFile writes, for a given moment (tests).
QByteArray TraceLine(const QDateTime &t, const QString &text);
