#include "ChartExport.h"

#include "ChartPlot.h"
#include "PlotImage.h"
#include "app/CommandLine.h"
#include "app/ExportData.h"
#include "app/ExportOutput.h"
#include "chart/ChartCombos.h"
#include "chart/ChartNavigation.h"
#include "core/Catalogue.h"
#include "core/Settings.h"
#include "lang/Lng.h"

#include <QApplication>

QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size)
{
    // The window's opening: the chosen tanks' ranges, each unit on its own axis.
    ChartState state;
    OpenChartRange(state, table, options, now);
    if (months > 0)
        ChooseTimeRange(state, months, now);
    const auto picture = BeginRebuild(state, table, options, now, CurrentTexts(), size.width());
    ChartPlot plot;
    plot.setLabelLocale(LanguageLocale(LngId()));
    // A hidden widget gets no resize event: lay the plot out at the image size.
    plot.resize(size);
    plot.setViewport(QRect(QPoint(0, 0), size));
    plot.showPicture(picture, false, true);
    FinishRebuild(state, plot.plotRect());
    return PlotImageBytes(plot, fileName, size.width(), size.height());
}

int RunChartExport(int &argc, char **argv, const CommandLine &cl)
{
    const CommandLine::ChartExport &job = cl.chart;

    ExportData data(cl);
    const DeviceTable &table = data.table();

    if (const int status = data.refusal(job.output))
        return status;
    if (!data.hasTank(job.tank, QStringLiteral("export-chart")))
        return ExitUsage;
    if (job.tank == 0 ? !HasChartData(table) : table[job.tank].History.count() == 0) {
        for (int id : {161, 171, 172})
            ErrorLine(LngText(id));
        return ExitUsage;
    }
    // Drawing needs the widget classes, but no display even where there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries the command's own lines only: the platform's
    // notes (no runtime folder, say) would read as errors to a script.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            ErrorLine(message);
    });
    QApplication application(argc, argv);
    ChartOptions options;
    options.tank = job.tank;
    options.points = job.points;
    options.percent = job.percent;
    options.gridMonth = data.settings.readIsOne(Cfg::GrafikGridMonth);
    options.tempKorr = data.switches.flagTempKorr();
    // Standard output gets a PNG.
    const QString format = job.output == QLatin1String("-") ? QStringLiteral("-.png") : job.output;
    const QByteArray bytes = ChartImage(table, options, job.months, TankHistory::toSecs(data.clock()), format,
                                        QSize(job.width, job.height));
    data.leaveHistoriesToExit();
    if (bytes.isEmpty()) {
        ErrorLine(cl.exeBaseName + QStringLiteral(": ") + job.output + QStringLiteral(": ") + LngText(514));
        return ExitFailed;
    }
    // A path that cannot be written is a wrong --output, as for the consumption export.
    QString error;
    if (!ExportOutput::Write(job.output, bytes, &error)) {
        ErrorLine(cl.exeBaseName + QStringLiteral(": ") + LngFormat(502, {job.output, error}));
        return ExitUsage;
    }
    return ExitOk;
}
