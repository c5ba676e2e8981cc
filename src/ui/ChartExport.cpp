#include "ChartExport.h"

#include "ChartPlot.h"
#include "PlotImage.h"
#include "chart/ChartNavigation.h"

QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size)
{
    ChartState state;
    state.data = ComputeDataRange(table, options.percent, options.tempKorr, now);
    ZoomAll(state, now);
    if (months > 0)
        ChooseTimeRange(state, months, now);
    const auto picture = BeginRebuild(state, table, options, now);
    ChartPlot plot;
    // A hidden widget gets no resize event: lay the plot out at the image size.
    plot.resize(size);
    plot.setViewport(QRect(QPoint(0, 0), size));
    plot.showPicture(*picture);
    FinishRebuild(state, plot.plotRect());
    return PlotImageBytes(plot, fileName, size.width(), size.height());
}
