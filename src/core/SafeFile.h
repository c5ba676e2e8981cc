#pragma once
#include <QByteArray>
#include <QString>

// Reading and replacing the files the program owns so that nothing blocks on
// odd files and a full disk or a power cut never leaves a file half written.
namespace SafeFile
{

enum class ReadStatus { Ok, Missing, NotRegular, Failed };
// Reads a whole regular file. Never blocks: a FIFO, device or folder of that
// name is NotRegular and is not read. error receives the reason otherwise.
// A file larger than maxBytes (when not negative) Failed without being read.
ReadStatus ReadRegular(const QString &path, QByteArray *bytes, QString *error = nullptr,
                       qint64 maxBytes = -1);

// Why a configured path is no readable regular file ("not a regular file", or
// the system's reason such as "No such file or directory"), or empty text when
// it is one. Only looks (stat, access), never opens: a FIFO or device there
// cannot block or act.
QString RegularFileProblem(const QString &path);
// The same for a file about to be written (appended to): empty text when it is
// a regular file, or does not exist yet in an existing folder.
QString WritableFileProblem(const QString &path);
// True when the file exists and must not be written: no write right for
// anyone in its mode (chmod 444), or none for this process.
bool IsReadOnly(const QString &path);

// Replaces the file by bytes only once they are completely on disk: a
// temporary file beside it (name + "." + 6 characters), every write checked,
// synced and closed, then renamed over the name. On any failure the old file
// stays exactly as it was, the temporary is removed and error says why.
// A symbolic link is followed: its target is replaced.
// The new file keeps the old one's rights and owner; a new name gets 0666
// less the umask, as any file the program creates.
bool Replace(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The rights a file that holds secrets (the settings file and its copy) may
// have at most: owner read/write, group read, nothing for others.
constexpr unsigned kPrivateMode = 0640;
// Replace for such a file: an existing file keeps at most kPrivateMode of its
// rights (looser ones are tightened now); a new one gets kPrivateMode less
// the umask and the group of its folder, so that the folder's group decides
// who else may read it.
bool ReplacePrivate(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// Replace giving the file exactly mode (within kPrivateMode), whatever it had:
// a copy that must be no more readable than its original.
bool ReplaceWithMode(const QString &path, const QByteArray &bytes, unsigned mode, QString *error = nullptr);
// The rights (permission bits) of a file, or -1 when it cannot be looked at.
int ModeOf(const QString &path);

// Writes all of bytes to an open descriptor, going on after short writes;
// false with errno set (a write that takes nothing counts as a full disk).
bool WriteAll(int fd, const QByteArray &bytes);
// Syncs the folder of a file, so its new or replaced name survives a power cut.
void SyncFolderOf(const QString &path);

// Why no file can be made in a folder: the system's text (a read-only file
// system, no permission, no such folder, no space left), found by making and
// writing a small probe file there; a plain "not writable" when even that works.
QString FolderWriteProblem(const QString &folder);
// Why files of a folder cannot be listed and read (or, with write, also not
// made): the system's text, "not a folder"; empty when they can.
QString FolderProblem(const QString &folder, bool write);

// Removes the temporaries Replace leaves when the process is killed half-way.
// Returns how many were removed.
int RemoveStaleTemporaries(const QString &folder, const QString &fileName);

} // namespace SafeFile
