#pragma once
#include <QString>

// Where the program finds its files. Folders end in the platform separator.
namespace Paths {
// Executable base name (without extension) followed by suffix: "Tankmon.ini".
QString ExeFileName(const QString &suffix);
// The folder of the program's installed resources (help, sound), + name.
QString ProgramFilePath(const QString &name);
// The data folder + name. An empty name returns the folder itself (ending in
// the separator) and caches it for the life of the process.
QString DataFilePath(const QString &name);
// "VALMOR", or "ARV" when the partner branding flag is set.
QString CompanyFolderName();
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

// Start-up settings: the executable's base name (from argv[0]) and a data
// folder that replaces the computed one (--data-dir, TANKMON_DATA_DIR).
void SetExeBaseName(const QString &name);
void SetDataDirOverride(const QString &folder);
// Forgets the cached data folder (tests that switch folders).
void ResetDataFolderCache();
}
