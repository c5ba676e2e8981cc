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
    setText(text);
    setToolTip(tip);
    setStyleSheet(warn ? QStringLiteral("QLabel { color: #b71c1c; font-weight: 600; }") : QString());
}

void StatusIndicator::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(e);
}
