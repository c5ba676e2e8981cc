#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

struct RunConfig;

// Where an export's bytes go. "-" is standard output; an output that exists
// and is no regular file (a FIFO, a device such as /dev/null, /dev/stdout) is
// written to as a stream, never replaced; a regular file is replaced as a
// whole (SafeFile::Replace). A file the program owns is never written, by
// whatever path the output leads there (symbolic link, hard link, "..").
namespace ExportOutput
{

// The owned file that output leads to, or empty text when there is none.
// owned: the program's files (they need not exist yet).
QString OwnedFileBehind(const QString &output, const QStringList &owned);

// The files the program writes itself, by the paths it uses (they need not
// exist): the settings file (settingsPath), its lock, its copy and the tank
// files in logFolder, the consumption protocol. The trace is not among them.
QStringList ProgramFiles(const RunConfig &config, const QString &settingsPath, const QString &logFolder);

// Why path cannot be the trace file ("Common"/"Log"): it leads to one of the
// owned files by any path, is no regular file (a FIFO, a device, a folder)
// or its folder does not exist. Empty text when it can. Looks only, never
// opens anything.
QString TraceFileProblem(const QString &path, const QStringList &owned);

// Writes bytes to output as described above; false with error set when the
// output could not be written (a stream may then hold part of the bytes).
bool Write(const QString &output, const QByteArray &bytes, QString *error);

} // namespace ExportOutput
