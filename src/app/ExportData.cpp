#include "ExportData.h"

#include "CommandLine.h"
#include "ExportOutput.h"

#include "core/Catalogue.h"
#include "core/Paths.h"
#include "history/TankFile.h"
#include "history/TankLoading.h"
#include "lang/Lng.h"

#include <QFileInfo>

#include <cstdio>
#include <utility>
#include <vector>

void ErrorLine(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool ExportData::hasTank(int tank, const QString &option) const
{
    if (tank <= table().DeviceCount)
        return true;
    ErrorLine(config().exeBaseName + QStringLiteral(": ") +
              LngFormat(505, {option, QString::number(tank), QString::number(table().DeviceCount)}));
    return false;
}

QStringList ExportData::ownedFiles() const
{
    QStringList files = ExportOutput::ProgramFiles(config(), settings.localPath(), switches.logFolder());
    if (const QString trace = settings.read(Cfg::TraceLog); !trace.isEmpty())
        files << trace;
    return files;
}

void ExportData::leaveHistoriesToExit()
{
    // Reachable from here until the process ends, so leak checkers see no leak.
    static std::vector<TankHistory> *const left = [] {
        auto *v = new std::vector<TankHistory>();
        v->reserve(kMaxDevices);
        return v;
    }();
    DeviceTable &t = tanks.table();
    for (int n = 1; n <= kMaxDevices; ++n) {
        TankHistory &h = t[n].History;
        if (h.HistoryTimes.capacity() > 1)
            left->push_back(std::exchange(h, TankHistory()));
    }
}

int ExportData::refusal(const QString &output) const
{
    if (!QFileInfo(settings.localPath()).isFile()) {
        ErrorLine(config().exeBaseName + QStringLiteral(": ") + LngFormat(503, {settings.localPath()}));
        return ExitFailed;
    }
    if (const QString owned = ExportOutput::OwnedFileBehind(output, ownedFiles()); !owned.isEmpty()) {
        ErrorLine(config().exeBaseName + QStringLiteral(": ") + LngFormat(500, {output, owned}));
        return ExitUsage;
    }
    return 0;
}

namespace
{
// An export reads this folder's own files, never a serving installation's.
RunConfig exportOptions(const CommandLine &cl)
{
    RunConfig o = ConfigFromCommandLine(cl);
    o.clientMode = false;
    return o;
}
} // namespace

ExportData::ExportData(const CommandLine &cl) : ProgramCore(exportOptions(cl))
{
    if (!LngInit(config().words, settings, [] { return 1; }))
        SetLngId(1);
    texts = CurrentTexts();
    switches.setLogFolder(Paths::WithSeparator(settings.read(Cfg::LogIniPath, config().dataFolder)));
    switches.setFlagTempKorr(settings.readSwitch(Cfg::FlagTempKorr));
    tanks.setHistoryHooks(&history);
    LoadTanks(tanks, history);
}
