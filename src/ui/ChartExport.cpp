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

namespace
{

QColor rgb(quint32 c)
{
    return QColor(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF));
}

} // namespace

LegendLayout LayoutLegend(const std::vector<QString> &names, const QFontMetrics &fm, int height, int maxWidth)
{
    constexpr int kKey = 34; // colour key and gap before the name
    LegendLayout l;
    const int count = int(names.size());
    l.rowHeight = std::max(fm.height(), 14) + 4;
    l.rows = std::max(1, height / l.rowHeight);
    int widest = 0;
    for (const QString &n : names)
        widest = std::max(widest, fm.horizontalAdvance(n));
    l.columnWidth = std::min(kKey + widest + 14, std::max(kKey + 60, maxWidth));
    const int maxColumns = std::max(1, maxWidth / l.columnWidth);
    l.columns = std::min(maxColumns, (count + l.rows - 1) / l.rows);
    l.shown = count;
    if (count > l.rows * l.columns) {
        l.shown = l.rows * l.columns - 1;
        l.more = count - l.shown;
    }
    l.rows = std::min(l.rows, std::max(1, (l.shown + (l.more ? 1 : 0) + l.columns - 1) / l.columns));
    return l;
}

QByteArray ComposeChartImage(ChartPlot &plot, const ChartPicture &picture, const ChartHeading &heading,
                             const QString &fileName, QSize size)
{
    QFont titleFont = plot.font(), spanFont = plot.font(), legendFont = plot.font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setBold(true);
    legendFont.setPointSizeF(legendFont.pointSizeF() * 0.9);
    const QFontMetrics titleFm(titleFont), spanFm(spanFont), legendFm(legendFont);
    constexpr int kMargin = 10;
    const int headingHeight = kMargin + titleFm.height() + spanFm.height() + kMargin / 2;
    const int plotHeight = std::max(50, size.height() - headingHeight);

    std::vector<QString> names;
    const bool units = picture.y.size() > 1;
    if (!picture.placeholder && picture.series.size() >= 2)
        for (const ChartSeries &s : picture.series)
            names.push_back(units && size_t(s.axis) < picture.y.size()
                                ? s.name + QStringLiteral(" (") + picture.y[size_t(s.axis)].title +
                                      QLatin1Char(')')
                                : s.name);
    LegendLayout legend;
    if (!names.empty())
        legend = LayoutLegend(names, legendFm, plotHeight - 2 * kMargin, size.width() * 2 / 5);
    const int legendWidth = legend.columns * legend.columnWidth;
    const int plotWidth = std::max(100, size.width() - legendWidth - (legendWidth ? kMargin : 0));

    plot.setLabelLocale(LanguageLocale(LngId()));
    plot.resize(plotWidth, plotHeight);
    plot.setViewport(QRect(0, 0, plotWidth, plotHeight));
    plot.showPicture(picture, false);
    return PaintedImageBytes(fileName, size, [&](QCPPainter &painter) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        painter.setPen(Qt::black);
        painter.setFont(titleFont);
        const QRect titleRect(kMargin, kMargin, size.width() - 2 * kMargin, titleFm.height());
        painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                         titleFm.elidedText(heading.title, Qt::ElideRight, titleRect.width()));
        painter.setFont(spanFont);
        painter.setPen(QColor(0x44, 0x44, 0x44));
        painter.drawText(QRect(kMargin, titleRect.bottom() + 1, titleRect.width(), spanFm.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, heading.span);
        painter.save();
        painter.translate(0, headingHeight);
        plot.toPainter(&painter, plotWidth, plotHeight);
        painter.restore();
        if (legend.columns == 0)
            return;
        painter.setFont(legendFont);
        const int left = plotWidth + kMargin, top = headingHeight + kMargin;
        const auto place = [&](int i) {
            return QPoint(left + i / legend.rows * legend.columnWidth,
                          top + i % legend.rows * legend.rowHeight);
        };
        for (int i = 0; i < legend.shown; ++i) {
            const ChartSeries &s = picture.series[size_t(i)];
            const QPoint at = place(i);
            const int mid = at.y() + legend.rowHeight / 2;
            const QColor c = rgb(s.colour);
            painter.setPen(QPen(c, 3));
            painter.drawLine(QLineF(at.x() + 2, mid, at.x() + 26, mid));
            const QCPScatterStyle style(ChartPlot::MarkerShape(s.marker), c, c, 7);
            style.applyTo(&painter, QPen(c, 1.5));
            style.drawShape(&painter, at.x() + 14, mid);
            painter.setPen(Qt::black);
            const QRect text(at.x() + 34, at.y(), legend.columnWidth - 38, legend.rowHeight);
            painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                             legendFm.elidedText(names[size_t(i)], Qt::ElideRight, text.width()));
        }
        if (legend.more > 0) {
            const QPoint at = place(legend.shown);
            painter.setPen(QColor(0x44, 0x44, 0x44));
            painter.drawText(QRect(at.x() + 4, at.y(), legend.columnWidth - 8, legend.rowHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             LngFormat(1382, {QString::number(legend.more)}));
        }
    });
}

QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size)
{
    // The window's opening: the chosen tanks' ranges, each unit on its own axis.
    ChartState state;
    OpenChartRange(state, table, options, now);
    if (months > 0)
        ChooseTimeRange(state, months, now);
    const Texts texts = CurrentTexts();
    const auto picture = BeginRebuild(state, table, options, now, texts, size.width());
    ChartHeading heading{options.tank > 0 ? TankLabel(table[options.tank], options.tank, texts) : QString(),
                         ViewSpanText(state.view.firstTime, state.view.lastTime, LanguageLocale(LngId()))};
    for (const ComboEntry &e : ComboTankEntries(table, texts))
        if (e.value == options.tank)
            heading.title = e.text;
    ChartPlot plot;
    QByteArray bytes = ComposeChartImage(plot, picture, heading, fileName, size);
    FinishRebuild(state, plot.plotRect());
    return bytes;
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
