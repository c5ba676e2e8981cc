#pragma once
#include "chart/ChartData.h"
#include "chart/ChartState.h"
#include "model/DeviceRecord.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QLocale>
#include <QSize>
#include <QString>
#include <vector>

class ChartPlot;
struct CommandLine;

// What heads an image of the chart, for it stands alone: which tanks and
// over which time.
struct ChartHeading {
    QString title; // "3: Keller", "Tank 1-56"
    QString span;  // ViewSpanText of the view
};

// The legend of an image: which series it names, in how many columns and rows.
struct LegendLayout {
    int shown = 0; // series named, in picture order
    int rows = 0, columns = 0;
    int columnWidth = 0, rowHeight = 0;
    int more = 0; // series left out: "… and 40 more" in the last place
};
// The names in columns of rows that fill height, as many columns as they
// need within maxWidth; the ones beyond make way for "… and N more".
LegendLayout LayoutLegend(const std::vector<QString> &names, const QFontMetrics &fm, int height,
                          int maxWidth);

// The picture as PNG or PDF bytes (by the file name's extension): the
// heading above, the plot, and for two tanks or more a legend beside it with
// each tank's colour key, in as many columns as the height asks for; when
// they would take more than two fifths of the width, the tanks that fit and
// "… and 40 more". plot draws the picture (it is laid out again at the
// image's size). Empty when rendering failed.
QByteArray ComposeChartImage(ChartPlot &plot, const ChartPicture &picture, const ChartHeading &heading,
                             const QString &fileName, QSize size);

// The chart the window shows for a selection after "Zoom alles", or after
// the time-range choice of months when months > 0, as ComposeChartImage
// gives it. Empty when rendering failed.
QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size);

// --export-chart: reads the registry and the tank files of the data folder
// (no instance lock, nothing written but the output file) and writes the
// chart image, on the offscreen platform, as ExportOutput writes ("-": PNG on
// standard output). 0 when written; 2 for an unknown tank, no history (the
// "no data" lines on stderr), a file of the program or an output path that
// cannot be written; 1 without a settings file or when the chart could not
// be drawn.
int RunChartExport(int &argc, char **argv, const CommandLine &cl);
