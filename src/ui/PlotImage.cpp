#include "PlotImage.h"

#include <QBuffer>
#include <QPdfWriter>
#include <qcustomplot.h>

bool IsPdfName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

QByteArray PlotImageBytes(QCustomPlot &plot, const QString &fileName, int width, int height)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!IsPdfName(fileName)) {
        const QPixmap pixmap = plot.toPixmap(width, height);
        return !pixmap.isNull() && pixmap.save(&buffer, "PNG") ? bytes : QByteArray();
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(72); // one pixel of the plot is one point of the page
    writer.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QCPPainter painter;
    if (!painter.begin(&writer))
        return {};
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    plot.toPainter(&painter, width, height);
    painter.end();
    return bytes;
}
