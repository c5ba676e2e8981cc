#include "TabRows.h"

#include "StateBadge.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace
{
constexpr int kGap = 4;
constexpr int kBottom = 6;

constexpr int kMarkSize = 14;
} // namespace

TabRows::TabRows(QTabWidget *tabs, QWidget *parent)
    : QWidget(parent), tabs_(tabs), group_(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("TabRows"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    group_->setExclusive(true);
    setStyleSheet(
        QStringLiteral("QToolButton { border: 2px solid transparent; border-radius: 6px; padding: 2px 8px;"
                       " color: #4b5562; background: transparent; }"
                       "QToolButton:checked { background: #1f6fb8; color: white; }"
                       "QToolButton:hover:!checked { background: #dde3ea; color: #1d252e; }"
                       "QToolButton:focus { border-color: #f0a400; }"
                       "QToolButton[attention=\"true\"] { color: #1d252e; font-weight: bold; }"
                       "QToolButton[attention=\"true\"]:checked { color: white; }"));
    // The strip stands in for the tab bar, for the mouse and the keyboard.
    tabs_->tabBar()->hide();
    tabs_->tabBar()->setFocusPolicy(Qt::NoFocus);
    tabs_->setFocusPolicy(Qt::NoFocus);
    connect(group_, &QButtonGroup::idClicked, tabs_, &QTabWidget::setCurrentIndex);
    connect(tabs_, &QTabWidget::currentChanged, this, &TabRows::showCurrent);
}

void TabRows::sync(int perRow)
{
    perRow_ = std::max(1, perRow);
    for (QToolButton *b : buttons_) {
        group_->removeButton(b);
        delete b;
    }
    buttons_.clear();
    cell_ = 0;
    for (int i = 0; i < tabs_->count(); ++i) {
        if (!tabs_->isTabVisible(i))
            continue;
        auto *b = new QToolButton(this);
        b->setObjectName(QStringLiteral("Tab%1").arg(i));
        b->setText(tabs_->tabText(i));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setCursor(Qt::PointingHandCursor);
        group_->addButton(b, i);
        applyMark(b, mark(i));
        b->show();
        buttons_ << b;
    }
    // Equal widths, room for the sign included: the rows line up as
    // columns. The first caption ("Details") may take more than one cell.
    for (int i = buttons_.size() > 1 ? 1 : 0; i < buttons_.size(); ++i) {
        QToolButton *b = buttons_[i];
        const bool m = b->property("attention").toBool();
        if (!m)
            b->setIcon(StateLook::Mark(TankCondition::Alarm, kMarkSize));
        cell_ = std::max(cell_, b->sizeHint().width());
        if (!m)
            b->setIcon(QIcon());
    }
    showCurrent(tabs_->currentIndex());
    place();
    updateGeometry();
    emit buttonsRebuilt();
}

void TabRows::setMark(int tab, TankCondition worst)
{
    if (worst == mark(tab))
        return;
    if (worst == TankCondition::Ok)
        marks_.remove(tab);
    else
        marks_.insert(tab, worst);
    if (auto *b = qobject_cast<QToolButton *>(group_->button(tab)))
        applyMark(b, worst);
}

void TabRows::applyMark(QToolButton *b, TankCondition worst)
{
    const bool marked = worst != TankCondition::Ok;
    b->setProperty("attention", marked);
    b->setIcon(marked ? StateLook::Mark(worst, kMarkSize) : QIcon());
    b->style()->unpolish(b);
    b->style()->polish(b);
}

int TabRows::columnsFor(int w) const
{
    if (cell_ <= 0)
        return perRow_;
    return std::clamp((w + kGap) / (cell_ + kGap), 1, perRow_);
}

int TabRows::spanOf(const QToolButton *b, int cols) const
{
    const int w = b->sizeHint().width();
    return std::min(cols, std::max(1, (w + kGap + cell_ + kGap - 1) / (cell_ + kGap)));
}

QList<QRect> TabRows::cellsFor(int w) const
{
    // Left to right, a new row when a caption does not fit the rest of one.
    const int cols = columnsFor(w);
    const int h = buttons_.isEmpty() ? 0 : buttons_.first()->sizeHint().height();
    QList<QRect> cells;
    int slot = 0;
    for (const QToolButton *b : buttons_) {
        const int span = spanOf(b, cols);
        if (slot % cols + span > cols)
            slot += cols - slot % cols;
        cells << QRect((slot % cols) * (cell_ + kGap), (slot / cols) * (h + kGap),
                       span * cell_ + (span - 1) * kGap, h);
        slot += span;
    }
    return cells;
}

int TabRows::heightForWidth(int w) const
{
    const QList<QRect> cells = cellsFor(w);
    return cells.isEmpty() ? 0 : cells.last().bottom() + 1 + kBottom;
}

QSize TabRows::sizeHint() const
{
    const int w = perRow_ * cell_ + (perRow_ - 1) * kGap;
    return {w, heightForWidth(w)};
}

// The height the layout gives follows the width (heightForWidth); the least
// height is the one of the widest arrangement.
QSize TabRows::minimumSizeHint() const
{
    int first = buttons_.isEmpty() ? 0 : buttons_.first()->sizeHint().width();
    return {std::max(cell_, first), heightForWidth(sizeHint().width())};
}

void TabRows::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    place();
}

void TabRows::place()
{
    const QList<QRect> cells = cellsFor(width());
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setGeometry(cells[i]);
    if (heightForWidth(width()) != height())
        updateGeometry();
}

void TabRows::showCurrent(int index)
{
    if (QAbstractButton *b = group_->button(index))
        b->setChecked(true);
    // As a tab bar: one stop for the Tab key, the arrow keys go from caption
    // to caption and show the page.
    for (QToolButton *b : buttons_)
        b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}
