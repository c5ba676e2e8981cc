#include "TankFile.h"

#include "core/Cp1252.h"
#include "core/DateText.h"
#include "core/Paths.h"
#include "core/SafeFile.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString TankFile::PathIn(const QString &folder, int n)
{
    return Paths::ResolveNoCase(folder + QStringLiteral("Tank") + QString::number(n) +
                                QStringLiteral(".csv"));
}

QByteArray TankFile::Line(const QDateTime &t, const DeviceRecord &rec, const Texts &texts)
{
    return Line(t, rec, rec.Volumen, texts);
}

QByteArray TankFile::Line(const QDateTime &t, const DeviceRecord &rec, qint32 volumen, const Texts &texts)
{
    QString s = FormatDateText(t);
    s += QLatin1Char(',');
    s += FormatValue(volumen, rec, texts).replace(QLatin1Char(' '), QLatin1Char(','));
    if (rec.Temperatur != kNoTemperature) {
        s += QLatin1Char(',');
        s += QString::number(rec.Temperatur);
    }
    s += QLatin1String("\r\n");
    return Cp1252::encode(s);
}

namespace
{
// Longest tail that can be a line of ours torn by a power cut; anything
// longer without a line end is not ours to cut.
constexpr qint64 kTornLineMax = 4096;

// What to do before appending to a file of size bytes: how far to cut it
// back (a torn last line) and what to write first (LF after a lone CR).
// False when the tail cannot be read.
bool prepareTail(int fd, qint64 size, qint64 *keep, QByteArray *lead)
{
    *keep = size;
    lead->clear();
    if (size == 0)
        return true;
    const qint64 from = std::max<qint64>(0, size - kTornLineMax);
    QByteArray tail(size - from, Qt::Uninitialized);
    if (::pread(fd, tail.data(), size_t(tail.size()), from) != tail.size())
        return false;
    const char last = tail.back();
    if (last == '\n')
        return true;
    if (last == '\r') {
        *lead = "\n";
        return true;
    }
    const qsizetype end = std::max(tail.lastIndexOf('\n'), tail.lastIndexOf('\r'));
    if (end < 0 && from > 0) {
        *lead = "\r\n"; // a long foreign line: end it, keep it
        return true;
    }
    // The torn line would load as a false level: it goes.
    *keep = from + end + 1;
    if (end >= 0 && tail[end] == '\r')
        *lead = "\n";
    return true;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TankFile::AppendResult TankFile::Append(const QString &path, const QByteArray &line, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const bool existed = QFileInfo::exists(path);
    // Never blocks on a FIFO of that name; only regular files are written.
    const int fd =
        ::open(name.constData(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        if (error)
            *error = errnoText();
        return AppendResult::OpenFailed;
    }
    const auto fail = [&](AppendResult r, const QString &text) {
        ::close(fd);
        if (error)
            *error = text;
        return r;
    };
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return fail(AppendResult::OpenFailed, errnoText());
    if (!S_ISREG(st.st_mode))
        return fail(AppendResult::OpenFailed, path + QStringLiteral(": not a regular file"));
    qint64 keep = 0;
    QByteArray out;
    if (!prepareTail(fd, st.st_size, &keep, &out))
        return fail(AppendResult::WriteFailed, errnoText());
    if (keep < st.st_size && ::ftruncate(fd, keep) != 0)
        return fail(AppendResult::WriteFailed, errnoText());
    out += line;
    if (!SafeFile::WriteAll(fd, out) || ::fsync(fd) != 0)
        return fail(AppendResult::WriteFailed, errnoText());
    if (::close(fd) != 0) {
        if (error)
            *error = errnoText();
        return AppendResult::WriteFailed;
    }
    if (!existed)
        SafeFile::SyncFolderOf(path);
    return AppendResult::Written;
}
