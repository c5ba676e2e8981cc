#include "ExportData.h"

#include "CommandLine.h"

#include "core/Catalogue.h"
#include "core/Paths.h"
#include "history/TankHistoryLoader.h"
#include "lang/Lng.h"

#include <cstdio>

void ErrorLine(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool ExportData::hasTank(int tank, const QString &option) const
{
    if (tank <= table().DeviceCount)
        return true;
    ErrorLine(config.exeBaseName + QStringLiteral(": --%1: unknown tank %2 (the data folder has %3)")
                                       .arg(option)
                                       .arg(tank)
                                       .arg(table().DeviceCount));
    return false;
}

ExportData::ExportData(const CommandLine &cl) : config(ConfigFromCommandLine(cl))
{
    config.clientMode = false;
    if (!LngInit(config.words, settings, [] { return 1; }))
        SetLngId(1);
    config.logFolder = Paths::WithSeparator(settings.read(Cfg::LogIniPath, config.dataFolder));
    config.flagTempKorr = settings.readSwitch(Cfg::FlagTempKorr);
    const int count = registry.StoredDeviceCount();
    TankHistoryLoader loader(config, clock);
    loader.StartPreload(count);
    for (int n = 1; n <= count; ++n) {
        registry.LoadDeviceRecord(n);
        registry.AddDevice(n);
        loader.LoadOrTake(n, registry.device(n).History);
    }
    loader.FinishPreload();
}
