#include "LogDialogLogic.h"

#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunConfig.h"
#include "core/Settings.h"
#include "lang/Lng.h"

LogDialogLogic::LogDialogLogic(RunConfig &config, Settings &settings, ClockFn clock)
    : comboLogFile(IntervalList(234, LogFileSeconds())), comboLogIni(IntervalList(233, LogIniSeconds())),
      logFile(config.logFileActive), logIni(config.logIniActive), folder(config.logFolder), config_(config),
      settings_(settings), clock_(std::move(clock))
{
    comboLogFile.SelectByItemData(config.logFileInterval);
    comboLogIni.SelectByItemData(config.logIniInterval);
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

void LogDialogLogic::Ok()
{
    const QString now = FormatDateText(clock_());
    Settings::Batch batch(settings_);
    config_.logFileActive = logFile;
    settings_.write(Cfg::LogfileAktiv, logFile ? 1 : 0);
    config_.logIniActive = logIni;
    settings_.write(Cfg::LogIniAktiv, logIni ? 1 : 0);
    config_.logFileInterval = comboLogFile.SelectedItemData();
    settings_.write(Cfg::LogfileIntervall, config_.logFileInterval);
    config_.logIniInterval = comboLogIni.SelectedItemData();
    settings_.write(Cfg::LogIniIntervall, config_.logIniInterval);
    config_.logFolder = Paths::EnsureFolderPath(folder);
    settings_.write(Cfg::LogIniPath, config_.logFolder);
    settings_.write(Cfg::LogfileLast, now);
    settings_.write(Cfg::LogIniLast, now);
}
