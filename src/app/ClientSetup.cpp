#include "ClientSetup.h"

#include "core/Paths.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "lang/Lng.h"

#include <QFile>
#include <QFileInfo>

namespace ClientSetup
{

Outcome StorePath(RunSwitches &switches, Settings &settings, const QString &text, int lngId)
{
    // Only looked at: a mistyped folder must not appear on the disk or share.
    const QString path = Paths::WithSeparator(text.trimmed());
    const RunConfig &config = switches.options();
    const QString file = path + config.ExeFileName(QString());
    if (text.trimmed().isEmpty() ||
        !QFileInfo(Paths::ResolveNoCase(path + config.ExeFileName(QStringLiteral(".ini")))).isFile())
        return {false, LngText(1383).replace(QStringLiteral("%s"), file + LngText(244)), MsgIcon::Stop};
    // The language of this run goes with it, also one chosen just before
    // and not stored yet, so the restart speaks it.
    if (lngId >= 1 && lngId <= 10 && settings.readInt(Cfg::LngId) != lngId)
        settings.write(Cfg::LngId, lngId);
    settings.write(Cfg::ClientPath, path);
    switches.setClientPath(path);
    return {true, LngText(247) + QStringLiteral("\r\n") + file + LngText(248), MsgIcon::Information};
}

bool ReduceLocalSettings(Settings &settings, int lngId)
{
    // The language the run speaks, which the command line may have chosen.
    const int keep = lngId >= 1 && lngId <= 10 ? lngId : int(settings.readInt(Cfg::LngId));
    const QString lng = QString::number(keep);
    const QString path = settings.read(Cfg::ClientPath);
    return settings.replaceLocal({{Cfg::LngId, lng}, {Cfg::ClientPath, path}});
}

bool IsWindowsPath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\")))
        return true;
    return path.size() >= 3 && path[0].isLetter() && path[1] == QLatin1Char(':') &&
           path[2] == QLatin1Char('\\');
}

namespace
{
// Fields of a mounts line escape blanks, tabs, newlines and backslashes as octal.
QString Unescape(const QByteArray &field)
{
    QByteArray out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int c = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && c < 256) {
                out += char(c);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QString::fromUtf8(out);
}
} // namespace

QString MountedFolder(const QString &windowsPath, const QByteArray &mounts)
{
    if (!windowsPath.startsWith(QLatin1String("\\\\")))
        return {};
    const QStringList parts = windowsPath.mid(2).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return {};
    const QString share = QStringLiteral("//") + parts[0] + QLatin1Char('/') + parts[1];
    for (const QByteArray &line : mounts.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        QString source = Unescape(fields[0]);
        while (source.endsWith(QLatin1Char('/')))
            source.chop(1);
        if (source.compare(share, Qt::CaseInsensitive) != 0)
            continue;
        QString folder = Paths::WithSeparator(Unescape(fields[1]));
        for (int i = 2; i < parts.size(); ++i)
            folder += parts[i] + QLatin1Char('/');
        return folder;
    }
    return {};
}

QString MountedFolder(const QString &windowsPath)
{
    QFile f(QStringLiteral("/proc/self/mounts"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return MountedFolder(windowsPath, f.readAll());
}

} // namespace ClientSetup
