#include "WindowPrint.h"

#include <QPainter>
#include <QPrinter>
#include <QWidget>
#include <algorithm>

bool PrintWidget(QWidget &w, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize size = w.size();
    if (size.isEmpty())
        return false;
    const double scale = std::min(double(page.width()) / size.width(), double(page.height()) / size.height());
    painter.scale(scale, scale);
    w.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
    return painter.end();
}
