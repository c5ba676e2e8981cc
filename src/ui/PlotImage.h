#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>

class QCPPainter;

// An image painted by paint as PNG or PDF bytes at the given size in pixels
// (PDF: one page of that size in points, vector drawing); the format by the
// file name's extension, any other extension gives PNG. Empty when
// rendering failed.
QByteArray PaintedImageBytes(const QString &fileName, QSize size,
                             const std::function<void(QCPPainter &)> &paint);
bool IsPdfName(const QString &fileName);
