#include "FrmTabelle.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"
#include "UiLook.h"
#include "lang/Lng.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <qcustomplot.h>

frmTabelle *frmTabelle::OpenForm(const DeviceTable &devices, Settings &settings, UiServices &ui,
                                 const RunConfig &config, ClockFn clock, QWidget *parent)
{
    if (!ConsumptionController::OpenForm(devices, ui))
        return nullptr;
    auto *w = new frmTabelle(devices, settings, ui, config, std::move(clock), parent);
    w->show();
    return w;
}

frmTabelle::frmTabelle(const DeviceTable &devices, Settings &settings, UiServices &ui,
                       const RunConfig &config, ClockFn clock, QWidget *parent)
    : QWidget(parent, Qt::Window), ctrl_(devices, settings, ui, config, std::move(clock), this)
{
    setObjectName(QStringLiteral("frmTabelle"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LngText(382));

    auto *LabelTank = new QLabel(LngText(386), this);
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
    t->setAlternatingRowColors(true);

    chart_ = new QCustomPlot(this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setMinimumHeight(180);
    bars_ = new QCPBars(chart_->xAxis, chart_->yAxis);
    bars_->setWidth(0.7);
    bars_->setPen(Qt::NoPen);
    bars_->setBrush(UiLook::Accent());
    chart_->xAxis->grid()->setVisible(false);

    auto *cmdExportCSV = new QPushButton(LngText(383), this);
    cmdExportCSV->setObjectName(QStringLiteral("cmdExportCSV"));
    auto *CmdOk = new QPushButton(LngText(384), this);
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
    layout->addWidget(t, 3);
    layout->addWidget(chart_, 2);
    layout->addLayout(buttons);

    fillTankList(ctrl_.initialSelection());
    for (int c = 0; c < ConsumptionTable::kColumns; ++c)
        t->horizontalHeader()->resizeSection(c, ctrl_.columnWidth(c));
    // Connected after the stored widths are set: only the user's resizing is written.
    connect(t->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { ctrl_.setColumnWidth(column, width); });
    connect(ComboTank, &QComboBox::activated, this, &frmTabelle::ComboTank_Click);
    connect(cmdExportCSV, &QPushButton::clicked, this, [this] { ctrl_.exportCsv(ComboTank->currentText()); });
    connect(CmdOk, &QPushButton::clicked, this, &QWidget::close);
    AssignAccessKeys(this);
    resize(1000, 640);
}

void frmTabelle::fillTankList(qint64 select)
{
    ComboTank->clear();
    for (const ConsumptionEntry &e : ctrl_.entries())
        AddListItem(ComboTank, e.text, e.number);
    SelectByItemData(ComboTank, select);
    showTable();
}

void frmTabelle::reload()
{
    fillTankList(SelectedItemData(ComboTank));
}

void frmTabelle::ComboTank_Click()
{
    showTable();
}

void frmTabelle::showTable()
{
    ctrl_.select(SelectedItemData(ComboTank));
    caption_->setText(ctrl_.caption());

    QVector<double> keys, values;
    QVector<QString> labels;
    const QList<MonthAmount> months = ctrl_.chartMonths();
    for (int i = 0; i < months.size(); ++i) {
        const MonthAmount &m = months[i];
        keys << i + 1;
        values << m.amount;
        QString label = LngText(365 + m.month);
        if (i == 0 || m.month == 1)
            label += QLatin1Char('\n') + QString::number(m.year);
        labels << label;
    }
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    ticker->addTicks(keys, labels);
    chart_->xAxis->setTicker(ticker);
    chart_->xAxis->setRange(0.4, months.size() + 0.6);
    bars_->setData(keys, values, true);
    double top = 0;
    for (double v : values)
        top = std::max(top, v);
    chart_->yAxis->setRange(0, top > 0 ? top * 1.1 : 1);
    chart_->yAxis->setLabel(ctrl_.unit());
    chart_->replot();
}
