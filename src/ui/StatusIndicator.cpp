#include "StatusIndicator.h"

#include <QMouseEvent>

StatusIndicator::StatusIndicator(const char *name, QWidget *parent) : QLabel(parent)
{
    setObjectName(QLatin1String(name));
    setTextFormat(Qt::PlainText);
    setContentsMargins(6, 0, 6, 0);
    setCursor(Qt::PointingHandCursor);
}

void StatusIndicator::show(const QString &text, const QString &tip, bool warn)
{
    // The style first: a bold text needs its own width.
    setStyleSheet(warn ? QStringLiteral("QLabel { color: #b71c1c; font-weight: 600; }") : QString());
    setText(text);
    setToolTip(tip);
    updateGeometry();
}

void StatusIndicator::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(e);
}
