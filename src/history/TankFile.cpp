#include "TankFile.h"

#include "core/Cp1252.h"
#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

QString TankFile::WriteFolder()
{
    const QString f = Paths::WithSeparator(State().logFolder);
    return f.isEmpty() ? Paths::DataFilePath(QString()) : f;
}

QString TankFile::ReadFolder()
{
    const RunState &s = State();
    if (s.clientMode && !s.clientPath.isEmpty())
        return Paths::WithSeparator(s.clientPath);
    return WriteFolder();
}

QString TankFile::PathIn(const QString &folder, int n)
{
    return Paths::ResolveNoCase(folder + QStringLiteral("Tank") + QString::number(n) +
                                QStringLiteral(".csv"));
}

QByteArray TankFile::Line(const QDateTime &t, const DeviceRecord &rec)
{
    QString s = FormatDateText(t);
    s += QLatin1Char(',');
    s += FormatValue(rec.Volumen, rec).replace(QLatin1Char(' '), QLatin1Char(','));
    if (rec.Temperatur != kNoTemperature) {
        s += QLatin1Char(',');
        s += QString::number(rec.Temperatur);
    }
    s += QLatin1String("\r\n");
    return Cp1252::encode(s);
}

namespace {
// A new file's name must survive a power cut as well as its contents.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

TankFile::AppendResult TankFile::Append(const QString &path, const QByteArray &line, QString *error)
{
    const bool existed = QFileInfo::exists(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = f.errorString();
        return AppendResult::OpenFailed;
    }
    QByteArray out = line;
    const qint64 size = f.size();
    if (size > 0) {
        char last = '\n';
        if (f.seek(size - 1) && f.read(&last, 1) == 1 && last != '\n')
            out.prepend("\r\n");
    }
    if (f.write(out) != out.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return AppendResult::WriteFailed;
    }
    if (::fsync(f.handle()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return AppendResult::WriteFailed;
    }
    f.close();
    if (!existed)
        syncFolderOf(path);
    return AppendResult::Written;
}
