#include "Maintenance.h"

#include "TankController.h"

#include "core/Paths.h"
#include "core/RunSwitches.h"
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

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

Maintenance::Maintenance(TankController &tanks, const RunSwitches &switches, UiServices &ui,
                         const Texts &texts, ClockFn clock)
    : tanks_(tanks), switches_(switches), ui_(ui), texts_(texts), clock_(std::move(clock))
{
}

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

void Maintenance::DeleteTanks(const QString &title, std::function<void()> restart)
{
    if (switches_.options().clientMode) {
        ui_.beep();
        return;
    }
    ui_.inputBox(texts_(277), title, QString(), [this, title, restart](const QString &firstAnswer) {
        const int first = TankNumberAnswer(firstAnswer);
        if (first < 1) {
            ui_.beep();
            return;
        }
        ui_.inputBox(texts_(278) + QStringLiteral("\r\n") + texts_(279), title, QString::number(first),
                     [this, first, restart](const QString &lastAnswer) {
                         removeRange(first, TankNumberAnswer(lastAnswer), restart);
                     });
    });
}

void Maintenance::removeRange(int first, int last, const std::function<void()> &restart)
{
    // The count as it is now: telegrams may have registered tanks meanwhile.
    const int count = tanks_.DeviceCount();
    if (last < first || last > count) {
        ui_.beep();
        return;
    }
    // The files follow their tanks, so a moved tank keeps its own history
    // after the restart instead of loading the removed tank's file.
    MoveTankFiles(switches_.TankWriteFolder(), first, last, count,
                  clock_().toString(QStringLiteral("yyyyMMdd_hhmmss")));
    tanks_.RemoveDevices(first, last); // saves the registry
    if (restart)
        restart();
}

void Maintenance::DeleteConfiguration(std::function<void()> endNow)
{
    ui_.messageBox(texts_(299), texts_(304), MsgIcon::Question, MsgButtons::YesNo,
                   [this, endNow](MsgResult r) {
                       if (r != MsgResult::Yes)
                           return;
                       // Telegrams keep arriving while the next boxes are open; none of them
                       // may write the settings file or a tank file again.
                       tanks_.registry().stopForGood();
                       const QString settings = switches_.options().SettingsLocalPath();
                       const QString folder = switches_.TankWriteFolder();
                       const QString copy = folder + switches_.options().ExeFileName(QStringLiteral(".ini"));
                       const bool copyIsSettings = sameFile(copy, settings);
                       QFile::remove(settings);
                       if (!copyIsSettings)
                           QFile::remove(copy);
                       ui_.messageBox(texts_(305), texts_(300), MsgIcon::Question, MsgButtons::YesNo,
                                      [this, folder, endNow](MsgResult files) {
                                          if (files == MsgResult::Yes)
                                              for (int n = 1; n <= tanks_.DeviceCount(); ++n)
                                                  QFile::remove(tankFile(folder, n));
                                          ui_.messageBox(texts_(303), texts_(306), MsgIcon::Information,
                                                         MsgButtons::Ok, [endNow](MsgResult) {
                                                             if (endNow)
                                                                 endNow();
                                                         });
                                      });
                   });
}
