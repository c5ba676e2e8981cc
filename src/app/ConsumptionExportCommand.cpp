#include "ConsumptionExportCommand.h"

#include "CommandLine.h"
#include "ExportData.h"
#include "ExportOutput.h"

#include "consumption/ConsumptionController.h"
#include "consumption/ConsumptionCsv.h"
#include "lang/Lng.h"

int RunConsumptionExport(const CommandLine &cl)
{
    const CommandLine::ConsumptionExport &job = cl.consumption;
    ExportData data(cl);
    const DeviceTable &table = data.table();
    if (const int status = data.refusal(job.output))
        return status;
    const auto noData = [] {
        for (int id : {353, 379, 380})
            ErrorLine(LngText(id));
        return int(ExitUsage);
    };
    if (!HasConsumptionData(table))
        return noData();
    if (!data.hasTank(job.tank, QStringLiteral("export-consumption")))
        return ExitUsage;
    // With one device the list has no all-tanks entry: "all" is that tank.
    const int selection = job.tank == 0 && table.DeviceCount == 1 ? 1 : job.tank;
    const QString entry = ConsumptionEntryText(table, selection, data.texts);
    if (entry.isEmpty())
        return noData(); // a tank without history
    const ConsumptionExportFile result = ConsumptionExportBytes(
        table, ConsumptionRequestFor(data.settings, data.config(), data.clock(), selection),
        job.longFormat ? ConsumptionCsvFormat::Long : ConsumptionCsvFormat::Table, entry,
        ConsumptionCsvTexts::forLanguage(data.texts));
    data.leaveHistoriesToExit();
    const QByteArray &bytes = result.bytes;
    QString error;
    if (!ExportOutput::Write(job.output, bytes, &error)) {
        ErrorLine(cl.exeBaseName + QStringLiteral(": ") + LngFormat(502, {job.output, error}));
        return ExitUsage;
    }
    if (!result.protocolError.isEmpty())
        ErrorLine(cl.exeBaseName + QStringLiteral(": LogVerbrauch.txt: ") + result.protocolError);
    return ExitOk;
}
