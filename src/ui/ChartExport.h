#pragma once
#include "chart/ChartState.h"
#include "model/DeviceRecord.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// The chart the window shows for a selection after "Zoom alles", or after
// the time-range choice of months when months > 0, as PNG or PDF bytes by
// the file name's extension. Empty when rendering failed.
QByteArray ChartImage(const DeviceTable &table, const ChartOptions &options, int months, qint64 now,
                      const QString &fileName, QSize size);
