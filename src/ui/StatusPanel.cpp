#include "StatusPanel.h"

#include <QMouseEvent>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

StatusPanel::StatusPanel(int number, QWidget *parent) : ElidedLabel(parent), number_(number)
{
    setObjectName(QStringLiteral("StatusBar1Panel%1").arg(number));
    setContentsMargins(8, 0, 8, 0);
    if (number != 1)
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StatusPanel::showProgress(double elapsed, double limit)
{
    if (!bar_) {
        bar_ = new QProgressBar(this);
        bar_->setObjectName(QStringLiteral("ProgressBar1"));
        bar_->setTextVisible(false);
        bar_->setGeometry(rect().adjusted(1, 3, -1, -3));
    }
    // QProgressBar counts in int; the watchdog passes seconds.
    const int max = std::max(1, int(std::lround(limit)));
    bar_->setMaximum(max);
    bar_->setValue(std::clamp(int(std::lround(elapsed)), 0, max));
    bar_->show();
    bar_->raise();
}

void StatusPanel::hideProgress()
{
    if (bar_)
        bar_->hide();
}

void StatusPanel::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked(number_);
    ElidedLabel::mousePressEvent(e);
}

void StatusPanel::resizeEvent(QResizeEvent *e)
{
    ElidedLabel::resizeEvent(e);
    if (bar_)
        bar_->setGeometry(rect().adjusted(1, 3, -1, -3));
}
