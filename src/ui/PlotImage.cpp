#include "PlotImage.h"

#include <QBuffer>
#include <QPdfWriter>
#include <qcustomplot.h>

bool IsPdfName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

QByteArray PaintedImageBytes(const QString &fileName, QSize size,
                             const std::function<void(QCPPainter &)> &paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!IsPdfName(fileName)) {
        QPixmap pixmap(size);
        if (pixmap.isNull())
            return {};
        pixmap.fill(Qt::white);
        QCPPainter painter(&pixmap);
        paint(painter);
        painter.end();
        return pixmap.save(&buffer, "PNG") ? bytes : QByteArray();
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(72); // one pixel of the plot is one point of the page
    writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QCPPainter painter;
    if (!painter.begin(&writer))
        return {};
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    paint(painter);
    painter.end();
    return bytes;
}
