#include "SafeFile.h"

#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
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

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString randomSuffix()
{
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString s(6, QLatin1Char('0'));
    for (QChar &c : s)
        c = QLatin1Char(chars[QRandomGenerator::global()->bounded(int(sizeof chars) - 1)]);
    return s;
}

enum class Rights { Keep, Private, Exact };

bool replaceFile(const QString &path, const QByteArray &bytes, QString *error, Rights rights, mode_t exact);

} // namespace

SafeFile::ReadStatus SafeFile::ReadRegular(const QString &path, QByteArray *bytes, QString *error,
                                           qint64 maxBytes)
{
    bytes->clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat st {
    };
    // Look before opening: opening a FIFO or a device can block or act.
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadStatus::Missing;
        setError(error, errnoText(errno));
        return ReadStatus::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, QStringLiteral("not a regular file"));
        return ReadStatus::NotRegular;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int e = errno;
        setError(error, errnoText(e));
        return e == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    // Swapped for something else between the look and the open.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        setError(error, QStringLiteral("not a regular file"));
        return ReadStatus::NotRegular;
    }
    if (maxBytes >= 0 && st.st_size > maxBytes) {
        ::close(fd);
        setError(error, QStringLiteral("larger than %1 bytes").arg(maxBytes));
        return ReadStatus::Failed;
    }
    bytes->reserve(qsizetype(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            bytes->clear();
            setError(error, errnoText(e));
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        bytes->append(buf, n);
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool SafeFile::Replace(const QString &path, const QByteArray &bytes, QString *error)
{
    return replaceFile(path, bytes, error, Rights::Keep, 0);
}

bool SafeFile::ReplacePrivate(const QString &path, const QByteArray &bytes, QString *error)
{
    return replaceFile(path, bytes, error, Rights::Private, 0);
}

bool SafeFile::ReplaceWithMode(const QString &path, const QByteArray &bytes, unsigned mode, QString *error)
{
    return replaceFile(path, bytes, error, Rights::Exact, mode_t(mode & kPrivateMode));
}

int SafeFile::ModeOf(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

namespace
{

bool replaceFile(const QString &path, const QByteArray &bytes, QString *error, Rights rights, mode_t exact)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        target = info.canonicalFilePath();
    const QByteArray name = QFile::encodeName(target);
    struct stat old {
    };
    const bool existed = ::stat(name.constData(), &old) == 0;

    QByteArray tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = name + '.' + randomSuffix().toLatin1();
        // A file for secrets is nobody else's until its rights are set.
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    rights == Rights::Keep ? 0666
                    : existed              ? 0600
                                           : SafeFile::kPrivateMode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        setError(error, errnoText(errno));
        return false;
    }
    if (existed) {
        // The new file keeps the old one's owner, where we may, and its rights.
        (void)!::fchown(fd, old.st_uid, old.st_gid);
        mode_t mode = old.st_mode & 07777;
        if (rights == Rights::Private)
            mode &= SafeFile::kPrivateMode;
        else if (rights == Rights::Exact)
            mode = exact;
        (void)!::fchmod(fd, mode);
    } else if (rights != Rights::Keep) {
        struct stat folder {
        };
        if (::stat(QFile::encodeName(QFileInfo(QFile::decodeName(name)).absolutePath()).constData(),
                   &folder) == 0)
            (void)!::fchown(fd, uid_t(-1), folder.st_gid);
        if (rights == Rights::Exact)
            (void)!::fchmod(fd, exact);
    }
    int failure = 0;
    if (!SafeFile::WriteAll(fd, bytes) || ::fsync(fd) != 0)
        failure = errno;
    // close() can report a write error of its own (network file systems).
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(tmp.constData(), name.constData()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(tmp.constData());
        setError(error, errnoText(failure));
        return false;
    }
    SafeFile::SyncFolderOf(QFile::decodeName(name));
    return true;
}

} // namespace

void SafeFile::SyncFolderOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool SafeFile::WriteAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

QString SafeFile::FolderWriteProblem(const QString &folder)
{
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return errnoText(errno);
    // The folder may be written, yet a file in it not: a full disk says so
    // only when bytes go out.
    const QByteArray probe =
        QFile::encodeName(Paths::WithSeparator(folder)) + ".probe." + randomSuffix().toLatin1();
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errnoText(errno);
    int failure = 0;
    if (!WriteAll(fd, QByteArray(4096, 'x')) || ::fsync(fd) != 0)
        failure = errno;
    ::close(fd);
    ::unlink(probe.constData());
    return failure != 0 ? errnoText(failure) : QStringLiteral("not writable");
}

QString SafeFile::RegularFileProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {
    };
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0)
        return errnoText(path.isEmpty() ? ENOENT : errno);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    if (::access(name.constData(), R_OK) != 0)
        return errnoText(errno);
    return {};
}

QString SafeFile::WritableFileProblem(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return S_ISREG(st.st_mode) ? QString() : QStringLiteral("not a regular file");
    if (errno != ENOENT)
        return errnoText(errno);
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &st) != 0)
        return errnoText(errno);
    return S_ISDIR(st.st_mode) ? QString() : errnoText(ENOTDIR);
}

bool SafeFile::IsReadOnly(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {
    };
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // The owner's rights count even for root, who may write anyway.
    return (st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0;
}

QString SafeFile::FolderProblem(const QString &folder, bool write)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::access(name.constData(), F_OK) != 0)
        return errnoText(errno);
    if (!QFileInfo(folder).isDir())
        return errnoText(ENOTDIR);
    if (::access(name.constData(), R_OK | X_OK) != 0)
        return errnoText(errno);
    if (write && ::access(name.constData(), W_OK) != 0)
        return errnoText(errno);
    return {};
}

int SafeFile::RemoveStaleTemporaries(const QString &folder, const QString &fileName)
{
    const QRegularExpression ours(QLatin1Char('^') + QRegularExpression::escape(fileName) +
                                  QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    QDir dir(folder);
    int removed = 0;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &n : names)
        if (ours.match(n).hasMatch() && dir.remove(n))
            ++removed;
    return removed;
}
