#include "Maintenance.h"

#include "TankController.h"

#include "core/Clock.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace
{

QString tankFile(const QString &folder, int n)
{
    return Paths::WithSeparator(folder) + QStringLiteral("Tank%1.csv").arg(n);
}

QString logFolder()
{
    const QString f = State().logFolder;
    return f.isEmpty() ? Paths::DataFilePath(QString()) : Paths::WithSeparator(f);
}

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

int Maintenance::TankNumberAnswer(const QString &answer)
{
    QString t = answer;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = std::nearbyint(LeadingNumber(t));
    if (!std::isfinite(v) || std::fabs(v) > 1e6)
        return 0;
    return int(v);
}

bool Maintenance::MoveTankFiles(const QString &folder, int first, int last, int count, const QString &stamp)
{
    for (int k = first; k <= last; ++k) {
        const QString from = tankFile(folder, k);
        if (!QFile::exists(from))
            continue;
        const QString aside =
            Paths::WithSeparator(folder) + QStringLiteral("deleted_Tank%1_%2.csv").arg(k).arg(stamp);
        if (!QFile::rename(from, aside))
            return false;
    }
    for (int j = last + 1; j <= count; ++j) {
        const QString from = tankFile(folder, j);
        if (!QFile::exists(from))
            continue;
        const QString to = tankFile(folder, first + (j - last - 1));
        // The target was moved aside or moved on in an earlier step; a file
        // still there belongs to no tank (e.g. left over from older deletions).
        if (QFile::exists(to) && !QFile::rename(to, to + QStringLiteral(".old_") + stamp))
            return false;
        if (!QFile::rename(from, to))
            return false;
    }
    return true;
}

bool Maintenance::DeleteTanks(TankController &tanks, const QString &title,
                              const std::function<void()> &restart)
{
    if (State().clientMode) {
        Ui().beep();
        return false;
    }
    const int first = TankNumberAnswer(Ui().inputBox(LngText(277), title, QString()));
    if (first < 1) {
        Ui().beep();
        return false;
    }
    const int last = TankNumberAnswer(
        Ui().inputBox(LngText(278) + QStringLiteral("\r\n") + LngText(279), title, QString::number(first)));
    // The count as it is now: telegrams may have registered tanks meanwhile.
    const int count = tanks.DeviceCount();
    if (last < first || last > count) {
        Ui().beep();
        return false;
    }
    // The files follow their tanks, so a moved tank keeps its own history
    // after the restart instead of loading the removed tank's file.
    MoveTankFiles(logFolder(), first, last, count, Clock::Now().toString(QStringLiteral("yyyyMMdd_hhmmss")));
    tanks.RemoveDevices(first, last);
    tanks.SaveDeviceRegistry();
    if (restart)
        restart();
    return true;
}

bool Maintenance::DeleteConfiguration(TankController &tanks, const std::function<void()> &endNow)
{
    if (Ui().messageBox(LngText(299), LngText(304), MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    // Telegrams keep arriving while the next boxes are open; none of them may
    // write the settings file or a tank file again.
    tanks.stopForGood();
    const QString settings = SettingsLocalPath();
    const QString copy = logFolder() + Paths::ExeFileName(QStringLiteral(".ini"));
    const bool copyIsSettings = sameFile(copy, settings);
    QFile::remove(settings);
    if (!copyIsSettings)
        QFile::remove(copy);
    if (Ui().messageBox(LngText(305), LngText(300), MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes) {
        for (int n = 1; n <= tanks.DeviceCount(); ++n)
            QFile::remove(tankFile(logFolder(), n));
    }
    Ui().messageBox(LngText(303), LngText(306), MsgIcon::Information, MsgButtons::Ok);
    if (endNow)
        endNow();
    return true;
}
