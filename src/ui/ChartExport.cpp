#include "ChartExport.h"

#include "ChartPlot.h"
#include "PlotImage.h"
#include "app/CommandLine.h"
#include "chart/ChartNavigation.h"
#include "core/Catalogue.h"
#include "core/Paths.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "history/TankHistoryLoader.h"
#include "lang/Lng.h"
#include "model/TankController.h"

#include <QApplication>
#include <cstdio>

QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size)
{
    ChartState state;
    state.data = ComputeDataRange(table, options.percent, options.tempKorr, now);
    ZoomAll(state, now);
    if (months > 0)
        ChooseTimeRange(state, months, now);
    const auto picture = BeginRebuild(state, table, options, now, size.width());
    ChartPlot plot;
    // A hidden widget gets no resize event: lay the plot out at the image size.
    plot.resize(size);
    plot.setViewport(QRect(QPoint(0, 0), size));
    plot.showPicture(*picture, false);
    FinishRebuild(state, plot.plotRect());
    return PlotImageBytes(plot, fileName, size.width(), size.height());
}

namespace
{

void errorLine(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int RunChartExport(int &argc, char **argv, const CommandLine &cl)
{
    const CommandLine::ChartExport &job = cl.chart;

    // The data folder's own registry and tank files, read only.
    RunConfig config = ConfigFromCommandLine(cl);
    config.clientMode = false;
    Settings settings(config);
    if (!LngInit(config.words, settings, [] { return 1; }))
        SetLngId(1);
    config.logFolder = Paths::WithSeparator(settings.read(Cfg::LogIniPath, config.dataFolder));
    config.flagTempKorr = settings.readSwitch(Cfg::FlagTempKorr);
    const ClockFn clock = SystemClock();
    QuietUi ui;
    TankController tanks(config, settings, ui, clock);
    const int count = int(std::clamp<qint64>(settings.readInt(Cfg::GeraeteAnzahl), 0, kMaxDevices));
    TankHistoryLoader loader(config, clock);
    loader.StartPreload(count);
    for (int n = 1; n <= count; ++n) {
        tanks.LoadDeviceRecord(n);
        tanks.AddDevice(n);
        loader.LoadOrTake(n, tanks.table()[n].History);
    }
    loader.FinishPreload();
    const DeviceTable &table = tanks.table();

    if (job.tank > table.DeviceCount) {
        errorLine(cl.exeBaseName +
                  QStringLiteral(": --export-chart: unknown tank %1 (the data folder has %2)")
                      .arg(job.tank)
                      .arg(table.DeviceCount));
        return ExitUsage;
    }
    if (job.tank == 0 ? !HasChartData(table) : table[job.tank].History.count() == 0) {
        for (int id : {161, 171, 172})
            errorLine(LngText(id));
        return ExitUsage;
    }
    // Drawing needs the widget classes, but no display even where there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ChartOptions options;
    options.tank = job.tank;
    options.points = job.points;
    options.percent = job.percent;
    options.gridMonth = settings.readIsOne(Cfg::GrafikGridMonth);
    options.tempKorr = config.flagTempKorr;
    const QByteArray bytes = ChartImage(table, options, job.months, TankHistory::toSecs(clock()), job.output,
                                        QSize(job.width, job.height));
    QString error;
    if (bytes.isEmpty() || !SafeFile::Replace(job.output, bytes, &error)) {
        errorLine(cl.exeBaseName + QStringLiteral(": ") + job.output + QStringLiteral(": ") +
                  (error.isEmpty() ? QStringLiteral("the chart could not be drawn") : error));
        return ExitFailed;
    }
    return ExitOk;
}
