#pragma once
#include <QString>

// Where the program finds its files. Folders end in the platform separator.
namespace Paths
{
// The folder of the program's installed resources (help, sound), + name.
QString ProgramFilePath(const QString &name);
// The data folder of an installation, ending in the separator: the given
// folder (--data-dir) when not empty, else TANKMON_DATA_DIR, else the
// per-machine folder /var/lib/<company>/<program>/ when this user may write
// there (a service installation), else the user's data folder + the same tail.
// The start-up resolves it once; RunConfig::DataFilePath appends names.
QString DefaultDataFolder(const QString &company, const QString &exeBaseName, const QString &given = {});
// Creates the missing levels of a folder; true when a level could not be made.
bool EnsureFolder(const QString &path);
// Appends the separator when missing, creates the folder, returns the path.
QString EnsureFolderPath(QString &path);
// Name of the first file matching path (wildcards * and ? in the file part,
// letter case ignored), or empty text.
QString FileNameIfExists(const QString &path);
// The existing file whose name matches path's file name without regard to
// letter case (files copied from Windows), or path itself when none does.
QString ResolveNoCase(const QString &path);
// Appends the separator unless the text already ends in it (or is empty).
QString WithSeparator(const QString &folder);
} // namespace Paths
