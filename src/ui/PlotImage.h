#pragma once
#include <QByteArray>
#include <QString>

class QCustomPlot;

// A plot as PNG or PDF bytes at the given size in pixels (PDF: one page of
// that size in points, vector drawing); the format by the file name's
// extension, any other extension gives PNG. Empty when rendering failed.
QByteArray PlotImageBytes(QCustomPlot &plot, const QString &fileName, int width, int height);
bool IsPdfName(const QString &fileName);
