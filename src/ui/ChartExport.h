#pragma once
#include "chart/ChartState.h"
#include "model/DeviceRecord.h"

#include <QByteArray>
#include <QSize>
#include <QString>

struct CommandLine;

// The chart the window shows for a selection after "Zoom alles", or after
// the time-range choice of months when months > 0, as PNG or PDF bytes by
// the file name's extension. Empty when rendering failed.
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
