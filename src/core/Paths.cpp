#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <unistd.h>

QString Paths::WithSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString Paths::ProgramFilePath(const QString &name)
{
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    // Installed as <prefix>/bin/Tankmon: resources live in <prefix>/share/tankmon.
    if (dir.endsWith(QLatin1String("/bin"))) {
        const QString share = QDir::cleanPath(dir + QLatin1String("/../share/tankmon"));
        if (QFileInfo(share).isDir())
            dir = share;
    }
    return WithSeparator(dir) + name;
}

QString Paths::DefaultDataFolder(const QString &company, const QString &exeBaseName, const QString &given)
{
    QString folder = given.isEmpty() ? qEnvironmentVariable("TANKMON_DATA_DIR") : given;
    if (!folder.isEmpty())
        return WithSeparator(QDir::cleanPath(QDir(folder).absolutePath()));
    const QString tail = company + QLatin1Char('/') + exeBaseName + QLatin1Char('/');
    // A per-machine folder when this user may write there, as a service
    // installation has it; otherwise the user's own data folder.
    const QString machine = QStringLiteral("/var/lib/") + tail;
    if (QFileInfo(machine).isDir() && ::access(QFile::encodeName(machine).constData(), W_OK) == 0)
        return machine;
    QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (user.isEmpty())
        user = QDir::homePath() + QLatin1String("/.local/share");
    return WithSeparator(user) + tail;
}

bool Paths::EnsureFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(path);
    const QStringList parts = clean.split(QLatin1Char('/'));
    QString prefix = clean.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (const QString &part : parts) {
        if (part.isEmpty())
            continue;
        prefix += part;
        QFileInfo fi(prefix);
        if (!fi.exists()) {
            if (!QDir().mkdir(prefix))
                return true;
        } else if (!fi.isDir()) {
            return true;
        }
        prefix += QLatin1Char('/');
    }
    return false;
}

QString Paths::EnsureFolderPath(QString &path)
{
    path = WithSeparator(path);
    EnsureFolder(path);
    return path;
}

QString Paths::FileNameIfExists(const QString &path)
{
    const QFileInfo fi(path);
    QDir dir = fi.dir();
    if (!dir.exists())
        return {};
    const QString pattern = fi.fileName();
    if (pattern.isEmpty())
        return {};
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                QRegularExpression::CaseInsensitiveOption);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &n : names)
        if (n == pattern)
            return n;
    for (const QString &n : names)
        if (re.match(n).hasMatch())
            return n;
    return {};
}

QString Paths::ResolveNoCase(const QString &path)
{
    if (QFileInfo::exists(path))
        return path;
    const QFileInfo fi(path);
    const QDir dir = fi.dir();
    const QString want = fi.fileName();
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &n : names)
        if (n.compare(want, Qt::CaseInsensitive) == 0)
            return dir.filePath(n);
    return path;
}
