#include "LogDialogLogic.h"

#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunSwitches.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "lang/Lng.h"

#include <QFileInfo>

LogDialogLogic::LogDialogLogic(RunSwitches &switches, Settings &settings, ClockFn clock)
    : comboLogFile(IntervalList(234, LogFileSeconds())), comboLogIni(IntervalList(233, LogIniSeconds())),
      logFile(switches.logFileActive()), logIni(switches.logIniActive()), folder(switches.logFolder()),
      switches_(switches), settings_(settings), clock_(std::move(clock))
{
    comboLogFile.SelectByItemData(switches.logFileInterval());
    comboLogIni.SelectByItemData(switches.logIniInterval());
}

LogDialogLogic::Captions LogDialogLogic::captions()
{
    return {LngText(225), LngText(226), LngText(227), LngText(228), LngText(229),
            LngText(230), LngText(231), LngText(232), LngText(235)};
}

const QList<qint32> &LogDialogLogic::LogIniSeconds()
{
    static const QList<qint32> s{60, 600, 1800, 3600, 43200, 86400, 604800, 2678400};
    return s;
}

const QList<qint32> &LogDialogLogic::LogFileSeconds()
{
    static const QList<qint32> s{600, 1800, 3600, 43200, 86400, 604800, 2678400};
    return s;
}

ItemList LogDialogLogic::IntervalList(int textId, const QList<qint32> &seconds)
{
    // A table with fewer lines than positions keeps the remaining numbers
    // reachable under their seconds; surplus lines have no number and are left out.
    const QStringList lines = LngLines(textId);
    ItemList list;
    for (int i = 0; i < seconds.size(); ++i)
        list.AddListItem(i < lines.size() ? lines[i] : QString::number(seconds[i]), seconds[i]);
    return list;
}

QString LogDialogLogic::FolderProblem(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return {};
    // As --set: a full path only; what is missing of it is made here.
    QString why = LngText(526);
    if (QFileInfo(folder).isAbsolute()) {
        Paths::EnsureFolder(Paths::WithSeparator(folder));
        why = SafeFile::FolderProblem(folder, true);
    }
    return why.isEmpty() ? QString() : FormatText(LngText(1384), {folder, why});
}

QString LogDialogLogic::Ok()
{
    if (QString problem = FolderProblem(folder); !problem.isEmpty())
        return problem;
    const QString now = FormatDateText(clock_());
    Settings::Batch batch(settings_);
    switches_.setLogFileActive(logFile);
    settings_.write(Cfg::LogfileAktiv, logFile ? 1 : 0);
    switches_.setLogIniActive(logIni);
    settings_.write(Cfg::LogIniAktiv, logIni ? 1 : 0);
    switches_.setLogFileInterval(comboLogFile.SelectedItemData());
    settings_.write(Cfg::LogfileIntervall, switches_.logFileInterval());
    switches_.setLogIniInterval(comboLogIni.SelectedItemData());
    settings_.write(Cfg::LogIniIntervall, switches_.logIniInterval());
    switches_.setLogFolder(Paths::EnsureFolderPath(folder));
    settings_.write(Cfg::LogIniPath, switches_.logFolder());
    settings_.write(Cfg::LogfileLast, now);
    settings_.write(Cfg::LogIniLast, now);
    return {};
}
