#include "ExportOutput.h"

#include "core/Paths.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "history/TankFile.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

bool statOf(const QString &path, struct stat *st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}

// The path with every symbolic link of its last part followed (also a
// dangling one), then its folder made canonical: two paths to the same
// place, existing or not, come out equal. The folder is resolved by the
// system as written: "link/.." is the link target's parent, not ".".
QString resolved(const QString &path)
{
    QString p = QFileInfo(path).isAbsolute() ? path : QDir::currentPath() + QLatin1Char('/') + path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(QFile::encodeName(p).constData(), target, sizeof target - 1);
        if (n <= 0)
            break;
        const QString t = QFile::decodeName(QByteArray(target, n));
        // A relative target counts from the link's folder, as written.
        p = t.startsWith(QLatin1Char('/')) ? t : p.left(p.lastIndexOf(QLatin1Char('/')) + 1) + t;
    }
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    QString folder = p.left(slash + 1), name = p.mid(slash + 1);
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        folder = p; // names a folder itself
        name.clear();
    }
    char real[PATH_MAX];
    if (::realpath(QFile::encodeName(folder).constData(), real))
        return Paths::WithSeparator(QFile::decodeName(real)) + name;
    return QDir::cleanPath(p);
}

// The descriptor a name of an open descriptor stands for (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N), or -1. Opening such a name anew would start
// at the file's beginning and ignore how the caller opened it.
int descriptorOf(const QString &output)
{
    const QString p = QDir::cleanPath(QFileInfo(output).absoluteFilePath());
    if (p == QLatin1String("/dev/stdout"))
        return 1;
    if (p == QLatin1String("/dev/stderr"))
        return 2;
    static const QRegularExpression fdName(QStringLiteral("^/(dev|proc/self)/fd/(\\d{1,4})$"));
    const auto m = fdName.match(p);
    return m.hasMatch() ? m.captured(2).toInt() : -1;
}

bool writeStream(int fd, const QByteArray &bytes, QString *error)
{
    // A reader that has gone is an error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    if (SafeFile::WriteAll(fd, bytes))
        return true;
    *error = errnoText(errno);
    return false;
}

} // namespace

QString ExportOutput::OwnedFileBehind(const QString &output, const QStringList &owned)
{
    struct stat out {
    };
    const int fd = output == QLatin1String("-") ? 1 : descriptorOf(output);
    const bool exists = fd >= 0 ? ::fstat(fd, &out) == 0 : statOf(output, &out);
    // The same file: also through a hard link or a redirection of standard output.
    if (exists)
        for (const QString &file : owned) {
            struct stat st {
            };
            if (statOf(file, &st) && st.st_dev == out.st_dev && st.st_ino == out.st_ino)
                return file;
        }
    // A file of ours that does not exist yet, named through a link or "..".
    if (fd < 0) {
        const QString target = resolved(output);
        for (const QString &file : owned)
            if (target.compare(resolved(file), Qt::CaseInsensitive) == 0)
                return file;
    }
    return {};
}

QStringList ExportOutput::ProgramFiles(const RunConfig &config, const QString &settingsPath,
                                       const QString &logFolder)
{
    const QString folder = Paths::WithSeparator(logFolder);
    QStringList files{settingsPath, config.DataFilePath(config.ExeFileName(QStringLiteral(".lock"))),
                      folder + config.ExeFileName(QStringLiteral(".ini")),
                      config.DataFilePath(QStringLiteral("LogVerbrauch.txt"))};
    for (int n = 1; n <= kMaxDevices; ++n)
        files << TankFile::PathIn(folder, n);
    return files;
}

QString ExportOutput::TraceFileProblem(const QString &path, const QStringList &owned)
{
    if (!OwnedFileBehind(path, owned).isEmpty())
        return LngText(1191);
    return SafeFile::WritableFileProblem(path);
}

bool ExportOutput::Write(const QString &output, const QByteArray &bytes, QString *error)
{
    const int fd = output == QLatin1String("-") ? 1 : descriptorOf(output);
    if (fd >= 0)
        return writeStream(fd, bytes, error);
    struct stat st {
    };
    if (!statOf(output, &st) || S_ISREG(st.st_mode))
        return SafeFile::Replace(output, bytes, error);
    if (S_ISDIR(st.st_mode)) {
        *error = errnoText(EISDIR);
        return false;
    }
    // A FIFO waits here for its reader, as any writer of one does.
    const int stream = ::open(QFile::encodeName(output).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (stream < 0) {
        *error = errnoText(errno);
        return false;
    }
    bool ok = writeStream(stream, bytes, error);
    if (::close(stream) != 0 && ok) {
        *error = errnoText(errno);
        ok = false;
    }
    return ok;
}
