#include "FrmTabelle.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"
#include "ScreenFit.h"
#include "UiLook.h"
#include "lang/Lng.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <qcustomplot.h>

frmTabelle *frmTabelle::OpenForm(const DeviceTable &devices, Settings &settings, UiServices &ui,
                                 const Texts &texts, const RunConfig &config, ClockFn clock, int selectedTank,
                                 QWidget *parent)
{
    if (!ConsumptionController::OpenForm(devices, ui, texts))
        return nullptr;
    auto *w = new frmTabelle(devices, settings, ui, texts, config, std::move(clock), parent);
    w->fillTankList(ConsumptionController::initialSelection(selectedTank));
    w->show();
    return w;
}

frmTabelle::frmTabelle(const DeviceTable &devices, Settings &settings, UiServices &ui, const Texts &texts,
                       const RunConfig &config, ClockFn clock, QWidget *parent)
    : QWidget(parent, Qt::Window), texts_(texts),
      ctrl_(devices, settings, ui, texts_, config, std::move(clock), this)
{
    setObjectName(QStringLiteral("frmTabelle"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(texts_(382));

    auto *LabelTank = new QLabel(texts_(386), this);
    ComboTank = new QComboBox(this);
    ComboTank->setObjectName(QStringLiteral("ComboTank"));
    ComboTank->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    LabelTank->setBuddy(ComboTank);

    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("caption"));
    UiLook::SetRole(caption_, UiLook::Role::FieldName);

    t = new QTableView(this);
    t->setObjectName(QStringLiteral("t"));
    t->setModel(&ctrl_.model());
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    // The year's total beside the year: in view on a small screen too.
    t->horizontalHeader()->moveSection(ConsumptionTable::kColumns - 1, 1);
    t->setAlternatingRowColors(true);

    chart_ = new QCustomPlot(this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setMinimumHeight(kPanelHeight);
    margins_ = new QCPMarginGroup(chart_);
    // Each unit's bars keep a readable height; many units scroll.
    bars_ = new QScrollArea(this);
    bars_->setObjectName(QStringLiteral("bars"));
    bars_->setWidgetResizable(true);
    bars_->setFrameShape(QFrame::NoFrame);
    bars_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bars_->setWidget(chart_);
    bars_->setMinimumHeight(kPanelHeight + 40);

    // The user shares the height between the table and the bars.
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("split"));
    split->setChildrenCollapsible(false);
    split->addWidget(t);
    split->addWidget(bars_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *cmdExportCSV = new QPushButton(texts_(383), this);
    cmdExportCSV->setObjectName(QStringLiteral("cmdExportCSV"));
    auto *CmdOk = new QPushButton(texts_(384), this);
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    CmdOk->setDefault(true);

    auto *top = new QHBoxLayout;
    top->addWidget(LabelTank);
    top->addWidget(ComboTank);
    top->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExportCSV);
    buttons->addWidget(CmdOk);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(caption_);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    applyColumnWidths();
    connect(ComboTank, &QComboBox::activated, this, &frmTabelle::ComboTank_Click);
    connect(cmdExportCSV, &QPushButton::clicked, this, &frmTabelle::cmdExportCSV_Click);
    connect(CmdOk, &QPushButton::clicked, this, &QWidget::close);
    AssignAccessKeys(this);

    // Roomy where the screen allows; on a small one within it, so OK and
    // Export stay in reach.
    FitToScreen(this, QSize(1000, 640));
}

void frmTabelle::fillTankList(qint64 select)
{
    ComboTank->clear();
    for (const ConsumptionEntry &e : ctrl_.entries())
        AddListItem(ComboTank, e.text, e.number);
    SelectByItemData(ComboTank, select);
    showTable();
}

void frmTabelle::reload(int selectedTank)
{
    fillTankList(ConsumptionController::initialSelection(selectedTank));
}

void frmTabelle::ComboTank_Click()
{
    showTable();
}

void frmTabelle::showTable()
{
    ctrl_.select(SelectedItemData(ComboTank));
    caption_->setText(ctrl_.caption());
    applyColumnWidths();
    drawBars();
}

void frmTabelle::applyColumnWidths()
{
    // A column the user never sized is as wide as its contents ("0.086 m³"
    // stays on one line); one the user sized keeps that width. Only the
    // user's resizing is written, so the link is cut while we size.
    disconnect(widthsSaved_);
    QHeaderView *header = t->horizontalHeader();
    for (int c = 0; c < ConsumptionTable::kColumns; ++c) {
        int width = ctrl_.columnWidth(c);
        if (!ctrl_.hasColumnWidth(c))
            width = std::max({width, static_cast<QAbstractItemView *>(t)->sizeHintForColumn(c),
                              header->sectionSizeHint(c)});
        header->resizeSection(c, width);
    }
    widthsSaved_ = connect(header, &QHeaderView::sectionResized, this,
                           [this](int column, int, int width) { ctrl_.setColumnWidth(column, width); });
}

void frmTabelle::drawBars()
{
    // One panel per unit, one above the other on the same months: litres
    // and m³ never share an axis.
    chart_->clearPlottables();
    chart_->plotLayout()->clear();
    const QList<ConsumptionController::ChartBars> panels = ctrl_.chartBars();
    for (int p = 0; p < panels.size(); ++p) {
        auto *rect = new QCPAxisRect(chart_);
        chart_->plotLayout()->addElement(p, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins_);
        QCPAxis *x = rect->axis(QCPAxis::atBottom);
        QCPAxis *y = rect->axis(QCPAxis::atLeft);
        auto *bars = new QCPBars(x, y);
        bars->setWidth(0.7);
        bars->setPen(Qt::NoPen);
        bars->setBrush(UiLook::Accent());
        x->grid()->setVisible(false);

        QVector<double> keys, values;
        QVector<QString> labels;
        const QList<MonthAmount> &months = panels[p].months;
        for (int i = 0; i < months.size(); ++i) {
            const MonthAmount &m = months[i];
            keys << i + 1;
            values << m.amount;
            QString label = texts_(365 + m.month);
            if (i == 0 || m.month == 1)
                label += QLatin1Char('\n') + QString::number(m.year);
            labels << label;
        }
        auto ticker = QSharedPointer<QCPAxisTickerText>::create();
        ticker->addTicks(keys, labels);
        x->setTicker(ticker);
        x->setTickLabels(p == panels.size() - 1); // the months under the lowest panel only
        x->setRange(0.4, std::max<int>(int(months.size()), 1) + 0.6);
        bars->setData(keys, values, true);
        double top = 0;
        for (double v : values)
            top = std::max(top, v);
        y->setRange(0, top > 0 ? top * 1.1 : 1);
        y->setLabel(panels[p].unit);
        y->ticker()->setTickCount(panels.size() > 1 ? 3 : 5);
    }
    // Each panel keeps room enough for its bars and labels (the area scrolls
    // beyond that); the splitter gives the table what is left.
    chart_->setMinimumHeight(kPanelHeight * std::max(1, int(panels.size())) + 40);
    chart_->replot();
}

void frmTabelle::cmdExportCSV_Click()
{
    // Not modal and not waited for: the table, the main window and the link
    // go on while the user chooses.
    const QFileInfo suggested(ctrl_.defaultExportPath());
    auto *dlg = new QFileDialog(this, texts_(358), suggested.absolutePath());
    dlg->setObjectName(QStringLiteral("ExportFile"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    dlg->setFileMode(QFileDialog::AnyFile);
    dlg->setDefaultSuffix(QStringLiteral("csv"));
    const QString tableFilter = texts_(700) + QStringLiteral(" (*.csv)");
    const QString longFilter = texts_(701) + QStringLiteral(" (*.csv)");
    dlg->setNameFilters({tableFilter, longFilter});
    dlg->selectFile(suggested.fileName());
    const int number = SelectedItemData(ComboTank);
    const QString entry = ComboTank->currentText();
    connect(dlg, &QFileDialog::fileSelected, this,
            [this, dlg, longFilter, number, entry](const QString &path) {
                const ConsumptionCsvFormat format = dlg->selectedNameFilter() == longFilter
                                                        ? ConsumptionCsvFormat::Long
                                                        : ConsumptionCsvFormat::Table;
                ctrl_.exportCsv(path, format, number, entry);
            });
    dlg->open();
}
