#include "FleetView.h"

#include "StateBadge.h"
#include "core/TextHelpers.h"
#include "lang/Lng.h"
#include "model/FleetModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
// The level as a small bar behind its text; the state in its colour.
class FleetDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto condition = TankCondition(index.data(FleetModel::ConditionRole).toInt());
        if (index.column() == FleetModel::State) {
            // A badge in the condition's colour; ok in green letters only.
            QStyleOptionViewItem o(option);
            const bool ok = condition == TankCondition::Ok;
            const QColor ink = ok ? StateLook::Colour(condition) : StateLook::Ink(condition);
            if (!ok)
                p->fillRect(option.rect.adjusted(1, 1, -1, -1), StateLook::Colour(condition));
            o.palette.setColor(QPalette::Text, ink);
            o.palette.setColor(QPalette::HighlightedText, ink);
            o.font.setWeight(QFont::DemiBold);
            o.state &= ~QStyle::State_Selected;
            if (!ok)
                o.backgroundBrush = Qt::NoBrush;
            QStyledItemDelegate::paint(p, o, index);
            if (option.state & QStyle::State_Selected) {
                p->setPen(QPen(option.palette.highlight(), 2));
                p->drawRect(option.rect.adjusted(1, 1, -2, -2));
            }
            return;
        }
        if (index.column() == FleetModel::Percent) {
            const double f = index.data(FleetModel::FractionRole).toDouble();
            if (f >= 0) {
                const QRect r = option.rect.adjusted(4, 3, -4, -3);
                const int w = int(r.width() * std::min(f, 1.0));
                p->save();
                p->setPen(Qt::NoPen);
                p->setBrush(QColor(0xe3, 0xe8, 0xee));
                p->drawRoundedRect(r, 3, 3);
                p->setBrush(StateLook::Tint(condition));
                p->drawRoundedRect(QRect(r.left(), r.top(), w, r.height()), 3, 3);
                p->restore();
            }
        }
        QStyledItemDelegate::paint(p, option, index);
    }
};
} // namespace

FleetView::FleetView(FleetModel &model, const Texts &texts, QWidget *parent)
    : QWidget(parent), model_(model), texts_(texts)
{
    setObjectName(QStringLiteral("FleetView"));
    filter_ = new FleetFilter(this);
    filter_->setSourceModel(&model_);

    txtFilter_ = new QLineEdit(this);
    txtFilter_->setObjectName(QStringLiteral("txtFleetFilter"));
    txtFilter_->setPlaceholderText(texts_(829));
    txtFilter_->setMaximumWidth(320);
    txtFilter_->setMinimumWidth(fontMetrics().horizontalAdvance(texts_(829)) + 16);
    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblFleetSummary"));
    cboSite_ = new QComboBox(this);
    cboSite_->setObjectName(QStringLiteral("cboFleetSite"));
    cboSite_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblSite_ = new QLabel(texts_(1410), this);
    lblSite_->setObjectName(QStringLiteral("lblFleetSite"));
    lblSite_->setBuddy(cboSite_);
    chkAttention_ = new QCheckBox(texts_(1411), this);
    chkAttention_->setObjectName(QStringLiteral("chkFleetAttention"));

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("FleetTable"));
    table_->setModel(filter_);
    table_->setItemDelegate(new FleetDelegate(table_));
    table_->setSortingEnabled(true);
    // What needs attention first.
    table_->sortByColumn(FleetModel::State, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setMinimumSectionSize(12);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->viewport()->installEventFilter(this);
    QHeaderView *h = table_->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setSectionResizeMode(FleetModel::Name, QHeaderView::Stretch);
    h->setMinimumSectionSize(36);
    // The state next to the name: seen first, even in a narrow window; a
    // remote tank's site before both.
    h->moveSection(h->visualIndex(FleetModel::State), FleetModel::Name + 1);
    h->moveSection(h->visualIndex(FleetModel::Site), FleetModel::Name);
    h->setHighlightSections(false);
    const QFontMetrics fm = fontMetrics();
    table_->setColumnWidth(FleetModel::Number, fm.horizontalAdvance(QStringLiteral("000")) + 24);
    table_->setColumnWidth(FleetModel::Name, fm.horizontalAdvance(QLatin1Char('M')) * 14);
    table_->setColumnWidth(FleetModel::Content, fm.horizontalAdvance(QStringLiteral("00000.000 Liter")) + 12);
    table_->setColumnWidth(FleetModel::Percent, fm.horizontalAdvance(QStringLiteral("000%")) + 60);
    table_->setColumnWidth(FleetModel::Days, fm.horizontalAdvance(texts_(820)) + 24);
    table_->setColumnWidth(FleetModel::LastTelegram, fm.horizontalAdvance(texts_(821)) + 24);
    table_->setColumnWidth(FleetModel::Site, fm.horizontalAdvance(QLatin1Char('M')) * 10);
    table_->setColumnWidth(FleetModel::State,
                           fm.horizontalAdvance(QStringLiteral("\u21ca ") + texts_(802)) + 40);
    table_->installEventFilter(this);
    table_->setStyleSheet(QStringLiteral("QTableView { background: white; border: 1px solid #d5dbe3;"
                                         " border-radius: 6px; }"));

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(txtFilter_, 1);
    top->addWidget(lblSite_);
    top->addWidget(cboSite_);
    top->addWidget(chkAttention_);
    top->addStretch(0);
    top->addWidget(lblSummary_);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);
    v->addLayout(top);
    v->addWidget(table_, 1);

    connect(txtFilter_, &QLineEdit::textChanged, filter_, &FleetFilter::setNameFilter);
    connect(cboSite_, &QComboBox::currentIndexChanged, this,
            [this](int i) { filter_->setSiteFilter(i <= 0 ? QString() : cboSite_->itemText(i)); });
    connect(chkAttention_, &QCheckBox::toggled, filter_, &FleetFilter::setAttentionOnly);
    connect(table_, &QTableView::doubleClicked, this, &FleetView::activateRow);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = table_->indexAt(pos);
        if (!index.isValid())
            return;
        const QString site = index.data(FleetModel::SiteRole).toString();
        const int n = index.data(FleetModel::DeviceRole).toInt();
        QMenu menu(this);
        menu.addAction(texts_(162), this, [this, site, n] { emit chartWanted(site, n); });
        menu.addAction(texts_(354), this, [this, site, n] { emit tableWanted(site, n); });
        menu.exec(table_->viewport()->mapToGlobal(pos));
    });
    // Counted again once after a burst of changes, not after each row.
    auto *summary = new QTimer(this);
    summary->setSingleShot(true);
    summary->setInterval(250);
    connect(summary, &QTimer::timeout, this, &FleetView::updateSummary);
    connect(summary, &QTimer::timeout, this, &FleetView::sitesShown);
    const auto later = [summary] {
        if (!summary->isActive())
            summary->start();
    };
    connect(&model_, &QAbstractItemModel::dataChanged, summary, later);
    connect(&model_, &QAbstractItemModel::layoutChanged, summary, later);
    connect(&model_, &QAbstractItemModel::modelReset, this, &FleetView::updateSummary);
    connect(&model_, &QAbstractItemModel::rowsInserted, summary, later);
    connect(&model_, &QAbstractItemModel::modelReset, this, &FleetView::sitesShown);
    connect(filter_, &QAbstractItemModel::rowsInserted, this, &FleetView::fitRows);
    connect(filter_, &QAbstractItemModel::rowsRemoved, this, &FleetView::fitRows);
    connect(filter_, &QAbstractItemModel::modelReset, this, &FleetView::fitRows);
    // "3 min ago" moves on without a telegram.
    auto *tick = new QTimer(this);
    tick->setInterval(30 * 1000);
    connect(tick, &QTimer::timeout, &model_, &FleetModel::refreshTimes);
    tick->start();
    updateSummary();
    sitesShown();
}

void FleetView::sitesShown()
{
    // The site's parts only where there are remote sites.
    const bool sites = model_.hasSites();
    table_->setColumnHidden(FleetModel::Site, !sites);
    cboSite_->setVisible(sites);
    lblSite_->setVisible(sites);
    chkAttention_->setVisible(sites);
    if (!sites)
        return;
    QStringList names;
    QSet<QString> seen;
    for (int r = 0; r < model_.rowCount(); ++r) {
        const QString site = model_.index(r, FleetModel::Site).data().toString();
        if (!seen.contains(site)) {
            seen.insert(site);
            names << site;
        }
    }
    if (names.size() + 1 == cboSite_->count())
        return;
    std::sort(names.begin(), names.end(), NaturalLess);
    const QString current = cboSite_->currentIndex() > 0 ? cboSite_->currentText() : QString();
    const QSignalBlocker block(cboSite_);
    cboSite_->clear();
    cboSite_->addItem(texts_(1404));
    cboSite_->addItems(names);
    cboSite_->setCurrentIndex(std::max(0, cboSite_->findText(current)));
}

void FleetView::fitRows()
{
    // Roomy rows where there is room; down to the text's own height, so a
    // full installation (56 tanks) fits a full-HD screen without scrolling.
    const int rows = std::max(1, filter_->rowCount());
    const int text = table_->fontMetrics().height();
    const int fit = table_->viewport()->height() / rows;
    const int h = std::clamp(fit, text + 1, text + 6);
    if (table_->verticalHeader()->defaultSectionSize() != h)
        table_->verticalHeader()->setDefaultSectionSize(h);
}

bool FleetView::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == table_->viewport() && e->type() == QEvent::Resize)
        fitRows();
    if (watched == table_ && e->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            activateRow(table_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void FleetView::activateRow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString site = index.data(FleetModel::SiteRole).toString();
    const int n = index.data(FleetModel::DeviceRole).toInt();
    if (site.isEmpty())
        emit deviceActivated(n);
    else
        emit chartWanted(site, n);
}

void FleetView::updateSummary()
{
    const int rows = model_.rowCount();
    int warnings = 0;
    for (int r = 0; r < rows; ++r)
        warnings += model_.index(r, 0).data(FleetModel::ConditionRole).toInt() != int(TankCondition::Ok);
    lblSummary_->setText(FormatText(texts_(875), {QString::number(rows), QString::number(warnings)}));
}
