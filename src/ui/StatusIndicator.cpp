#include "StatusIndicator.h"

#include <QLayout>
#include <QMouseEvent>
#include <algorithm>

namespace
{
// A shortened indicator keeps this many letters, so that it is still told apart.
constexpr int kKeptLetters = 4;
} // namespace

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
    full_ = text;
    tip_ = tip;
    // The bar makes room now, so that a longer text is not cut to the old width.
    updateGeometry();
    if (QWidget *bar = parentWidget(); bar && bar->layout())
        bar->layout()->activate();
    fit();
}

void StatusIndicator::setShortenable(bool on)
{
    shortenable_ = on;
    updateGeometry();
}

QSize StatusIndicator::sizeHint() const
{
    ensurePolished();
    const QMargins m = contentsMargins();
    // One pixel to spare: a text measured to the pixel may still be cut by rounding.
    return {fontMetrics().horizontalAdvance(full_) + m.left() + m.right() + 1, QLabel::sizeHint().height()};
}

QSize StatusIndicator::minimumSizeHint() const
{
    if (!shortenable_)
        return sizeHint();
    ensurePolished();
    const QMargins m = contentsMargins();
    const int shortest = fontMetrics().horizontalAdvance(full_.left(kKeptLetters) + QChar(0x2026));
    return {std::min(shortest + m.left() + m.right() + 1, sizeHint().width()),
            QLabel::minimumSizeHint().height()};
}

void StatusIndicator::resizeEvent(QResizeEvent *e)
{
    QLabel::resizeEvent(e);
    fit();
}

void StatusIndicator::fit()
{
    ensurePolished();
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width());
    if (text() != shown)
        setText(shown);
    setToolTip(shown == full_ || full_.isEmpty() ? tip_ : full_ + QLatin1Char('\n') + tip_);
}

void StatusIndicator::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(e);
}
