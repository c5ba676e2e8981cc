#include "TabRows.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

TabRows::TabRows(QTabWidget *tabs, QWidget *parent)
    : QWidget(parent), tabs_(tabs), grid_(new QGridLayout(this)), group_(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("TabRows"));
    grid_->setContentsMargins(0, 0, 0, 6);
    grid_->setHorizontalSpacing(4);
    grid_->setVerticalSpacing(4);
    group_->setExclusive(true);
    setStyleSheet(QStringLiteral(
        "QToolButton { border: none; border-radius: 6px; padding: 6px 14px; color: #4b5562;"
        " background: transparent; }"
        "QToolButton:checked { background: #1f6fb8; color: white; }"
        "QToolButton:hover:!checked { background: #dde3ea; color: #1d252e; }"));
    tabs_->tabBar()->hide();
    connect(group_, &QButtonGroup::idClicked, tabs_, &QTabWidget::setCurrentIndex);
    connect(tabs_, &QTabWidget::currentChanged, this, &TabRows::showCurrent);
}

void TabRows::sync(int perRow)
{
    perRow_ = std::max(1, perRow);
    for (QAbstractButton *b : group_->buttons()) {
        group_->removeButton(b);
        delete b;
    }
    int slot = 0;
    int widest = 0;
    QList<QToolButton *> made;
    for (int i = 0; i < tabs_->count(); ++i) {
        if (!tabs_->isTabVisible(i))
            continue;
        auto *b = new QToolButton(this);
        b->setObjectName(QStringLiteral("Tab%1").arg(i));
        b->setText(tabs_->tabText(i));
        b->setCheckable(true);
        b->setCursor(Qt::PointingHandCursor);
        group_->addButton(b, i);
        grid_->addWidget(b, slot / perRow_, slot % perRow_);
        widest = std::max(widest, b->sizeHint().width());
        made << b;
        ++slot;
    }
    // Equal widths: the rows line up as columns.
    for (QToolButton *b : made)
        b->setMinimumWidth(widest);
    for (int c = 0; c < grid_->columnCount(); ++c)
        grid_->setColumnStretch(c, 0);
    grid_->setColumnStretch(perRow_, 1);
    showCurrent(tabs_->currentIndex());
}

void TabRows::showCurrent(int index)
{
    if (QAbstractButton *b = group_->button(index))
        b->setChecked(true);
}
