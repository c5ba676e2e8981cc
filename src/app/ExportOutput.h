#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

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

// Writes bytes to output as described above; false with error set when the
// output could not be written (a stream may then hold part of the bytes).
bool Write(const QString &output, const QByteArray &bytes, QString *error);

} // namespace ExportOutput
