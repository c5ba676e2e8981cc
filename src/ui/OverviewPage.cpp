#include "OverviewPage.h"

#include "DisplayRules.h"
#include "OverviewEntry.h"

#include <QEvent>
#include <algorithm>

namespace
{
constexpr int kMargin = 14;
constexpr int kGap = 14;
} // namespace

OverviewPage::OverviewPage(int tab, QWidget *parent) : QScrollArea(parent), inner_(new QWidget)
{
    setObjectName(QStringLiteral("TabTanks%1").arg(tab));
    inner_->setObjectName(QStringLiteral("TabTanks%1Inner").arg(tab));
    setWidget(inner_);
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The entries take the keyboard focus; the area only follows it.
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(
        QStringLiteral("QScrollArea, QWidget#%1 { background: transparent; }").arg(inner_->objectName()));
    viewport()->setAutoFillBackground(false);
}

void OverviewPage::addEntry(OverviewEntry *e, int slot)
{
    slots_.insert(slot, e);
    e->setParent(inner_);
    e->show();
    reflow();
}

bool OverviewPage::viewportEvent(QEvent *e)
{
    // The viewport narrows when the scroll bar comes: count from it.
    const bool r = QScrollArea::viewportEvent(e);
    if (e->type() == QEvent::Resize)
        reflow();
    return r;
}

QSize OverviewPage::minimumSizeHint() const
{
    return {OverviewEntry::kMinWidth + 2 * kMargin, 120};
}

void OverviewPage::reflow()
{
    // Entries side by side as far as whole ones fit, in rows of equal height.
    const int width = viewport()->width();
    columns_ = DisplayRules::OverviewColumns(width - 2 * kMargin, OverviewEntry::kMinWidth, kGap);
    const int w =
        std::max(OverviewEntry::kMinWidth, (width - 2 * kMargin - (columns_ - 1) * kGap) / columns_);
    int rowHeight = 0;
    for (OverviewEntry *e : std::as_const(slots_))
        if (e)
            rowHeight =
                std::max(rowHeight, e->heightForWidth(w) > 0 ? e->heightForWidth(w) : e->sizeHint().height());
    int bottom = 0;
    for (auto it = slots_.cbegin(); it != slots_.cend(); ++it) {
        if (!it.value())
            continue;
        const int slot = it.key();
        const QRect r(kMargin + (slot % columns_) * (w + kGap),
                      kMargin + (slot / columns_) * (rowHeight + kGap), w, rowHeight);
        it.value()->setGeometry(r);
        bottom = std::max(bottom, r.bottom() + 1);
    }
    inner_->resize(std::max(width, kMargin + columns_ * (w + kGap) - kGap + kMargin), bottom + kMargin);
}
