#include "FrmGrafikHistorie.h"

#include "ChartPlot.h"
#include "KeyboardAccess.h"
#include "PlotImage.h"
#include "chart/ChartCombos.h"
#include "chart/ChartNavigation.h"
#include "core/Catalogue.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

namespace
{

PixelPoint pixel(const QPointF &p)
{
    return {qRound(p.x()), qRound(p.y())};
}

} // namespace

frmGrafikHistorie *frmGrafikHistorie::OpenForm(const DeviceTable &table, Settings &settings, UiServices &ui,
                                               const RunConfig &config, ClockFn clock, QWidget *parent)
{
    if (!HasChartData(table)) {
        ui.messageBox(LngText(161) + QLatin1Char('\n') + LngText(171) + QLatin1Char('\n') + LngText(172),
                      LngText(162), MsgIcon::Information, MsgButtons::Ok);
        return nullptr;
    }
    auto *w = new frmGrafikHistorie(table, settings, ui, config, std::move(clock), parent);
    w->show();
    return w;
}

frmGrafikHistorie::frmGrafikHistorie(const DeviceTable &table, Settings &settings, UiServices &ui,
                                     const RunConfig &config, ClockFn clock, QWidget *parent)
    : QWidget(parent, Qt::Window), table_(table), settings_(settings), ui_(ui), config_(config),
      clock_(std::move(clock))
{
    setObjectName(QStringLiteral("frmGrafikHistorie"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Events raised while the window is filled only store their setting.
    state_.busy = true;
    buildControls();
    Form_Load();
    AssignAccessKeys(this);
}

void frmGrafikHistorie::buildControls()
{
    const auto named = [](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    LabelTank = named(new QLabel(this), "LabelTank");
    ComboTank = named(new QComboBox(this), "ComboTank");
    Label1 = named(new QLabel(this), "Label1");
    ComboZeitraum = named(new QComboBox(this), "ComboZeitraum");
    CheckMesspunkte = named(new QCheckBox(this), "CheckMesspunkte");
    CheckMonatswerte = named(new QCheckBox(this), "CheckMonatswerte");
    CheckProzent = named(new QCheckBox(this), "CheckProzent");
    cmdZoomPlus = named(new QToolButton(this), "cmdZoomPlus");
    cmdZoomMinus = named(new QToolButton(this), "cmdZoomMinus");
    cmdZoomAlles = named(new QPushButton(this), "cmdZoomAlles");
    CmdOk = named(new QPushButton(this), "CmdOk");
    Chart2D = named(new ChartPlot(this), "Chart2D");
    HScroll = named(new QScrollBar(Qt::Horizontal, this), "HScroll");
    txtMesswert = named(new QLabel(this), "txtMesswert");
    band_ = new QRubberBand(QRubberBand::Rectangle, Chart2D);

    LabelTank->setBuddy(ComboTank);
    Label1->setBuddy(ComboZeitraum);
    cmdZoomPlus->setText(QStringLiteral("+"));
    cmdZoomMinus->setText(QStringLiteral("\u2212"));
    txtMesswert->setFrameShape(QFrame::Box);
    txtMesswert->setAutoFillBackground(true);
    txtMesswert->setBackgroundRole(QPalette::ToolTipBase);
    txtMesswert->setForegroundRole(QPalette::ToolTipText);
    txtMesswert->setAttribute(Qt::WA_TransparentForMouseEvents);
    txtMesswert->hide();
    // The chart is rebuilt when the thumb is let go; while it is dragged the
    // view only pans over what is drawn.
    HScroll->setTracking(false);
    Chart2D->setMouseTracking(true);
    Chart2D->setContextMenuPolicy(Qt::CustomContextMenu);
    setMouseTracking(true);

    auto *top = new QHBoxLayout;
    top->addWidget(LabelTank);
    top->addWidget(ComboTank, 1);
    top->addSpacing(12);
    top->addWidget(Label1);
    top->addWidget(ComboZeitraum);
    top->addSpacing(12);
    top->addWidget(cmdZoomPlus);
    top->addWidget(cmdZoomMinus);
    top->addWidget(cmdZoomAlles);
    auto *options = new QHBoxLayout;
    options->addWidget(CheckMesspunkte);
    options->addWidget(CheckMonatswerte);
    options->addWidget(CheckProzent);
    options->addStretch(1);
    options->addWidget(CmdOk);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(options);
    all->addWidget(Chart2D, 1);
    all->addWidget(HScroll);
    resize(1000, 650);

    for (QCheckBox *box : {CheckMesspunkte, CheckMonatswerte, CheckProzent})
        connect(box, &QCheckBox::clicked, this, [this, box] { checkClicked(box); });
    connect(ComboTank, &QComboBox::activated, this, [this] { RebuildChart(); });
    connect(ComboZeitraum, &QComboBox::activated, this, &frmGrafikHistorie::ComboZeitraum_Click);
    connect(cmdZoomAlles, &QPushButton::clicked, this, [this] {
        if (ZoomAll(state_, now()))
            RebuildChart();
    });
    connect(cmdZoomPlus, &QToolButton::clicked, this, [this] {
        if (ZoomIn(state_))
            RebuildChart();
    });
    connect(cmdZoomMinus, &QToolButton::clicked, this, [this] {
        if (ZoomOut(state_))
            RebuildChart();
    });
    connect(CmdOk, &QPushButton::clicked, this, &QWidget::close);
    connect(HScroll, &QScrollBar::valueChanged, this, &frmGrafikHistorie::HScroll_Change);
    connect(HScroll, &QScrollBar::sliderMoved, this, &frmGrafikHistorie::HScroll_Preview);
    connect(Chart2D, &QCustomPlot::mousePress, this, &frmGrafikHistorie::chartMouseDown);
    connect(Chart2D, &QCustomPlot::mouseMove, this, &frmGrafikHistorie::chartMouseMove);
    connect(Chart2D, &QCustomPlot::mouseRelease, this, &frmGrafikHistorie::chartMouseUp);
    connect(Chart2D, &QCustomPlot::mouseWheel, this, &frmGrafikHistorie::chartWheel);
    connect(Chart2D, &QWidget::customContextMenuRequested, this, &frmGrafikHistorie::exportMenu);
    // The plot area moves with every resize of the window, not only with rebuilds.
    connect(Chart2D, &QCustomPlot::afterReplot, this, [this] { state_.plot = Chart2D->plotRect(); });
}

void frmGrafikHistorie::Form_Load()
{
    setWindowTitle(LngText(174));
    LabelTank->setText(LngText(181));
    Label1->setText(LngText(182));
    CheckMesspunkte->setText(LngText(175));
    CheckMonatswerte->setText(LngText(185));
    CheckProzent->setText(LngText(184));
    cmdZoomPlus->setToolTip(LngText(179));
    cmdZoomMinus->setToolTip(LngText(178));
    cmdZoomAlles->setText(LngText(177));
    cmdZoomAlles->setToolTip(LngText(176));
    CmdOk->setText(LngText(180));
    CmdOk->setToolTip(LngText(186));
    txtMesswert->setText(LngText(183));

    // The stored options first, so that the first range is already in percent
    // when "GrafikPercent" is set.
    CheckMesspunkte->setChecked(settings_.readIsOne(Cfg::GrafikPoints));
    CheckMonatswerte->setChecked(settings_.readIsOne(Cfg::GrafikGridMonth));
    CheckProzent->setChecked(settings_.readIsOne(Cfg::GrafikPercent));
    const qint64 t = now();
    OpenChartRange(state_, table_, options(), t);

    const std::vector<ComboEntry> tanks = ComboTankEntries(table_);
    for (const ComboEntry &e : tanks)
        ComboTank->addItem(e.text, e.value);
    ComboTank->setCurrentIndex(
        ComboTankSelection(tanks, table_.DeviceCount, int(settings_.readInt(Cfg::GeraeteAktuell))));
    const int years = DataYears(state_.data.firstTime, t);
    const std::vector<ComboEntry> ranges = ComboZeitraumEntries(years);
    for (const ComboEntry &e : ranges)
        ComboZeitraum->addItem(e.text, e.value);
    ComboZeitraum->setCurrentIndex(
        ComboZeitraumSelection(ranges, int(settings_.readInt(Cfg::ComboZeitraum)), years));

    state_.busy = false;
    // "Zoom alles" on the rounded range of the opening.
    state_.view = state_.data;
    RebuildChart();
}

ChartOptions frmGrafikHistorie::options() const
{
    ChartOptions o;
    o.tank = ComboTank->currentIndex() >= 0 ? ComboTank->currentData().toInt() : 0;
    o.points = CheckMesspunkte->isChecked();
    o.gridMonth = CheckMonatswerte->isChecked();
    o.percent = CheckProzent->isChecked();
    o.tempKorr = config_.flagTempKorr;
    return o;
}

qint64 frmGrafikHistorie::now() const
{
    return TankHistory::toSecs(clock_());
}

void frmGrafikHistorie::RebuildChart()
{
    if (state_.busy)
        return;
    ui_.setWaitCursor(true);
    const ChartOptions o = options();
    // Never wider than the screen: the series need no more detail than that.
    const int columns = std::max(Chart2D->axisRect()->width(), screen() ? screen()->geometry().width() : 0);
    const auto picture = BeginRebuild(state_, table_, o, now(), columns);
    Chart2D->showPicture(*picture);
    drawn_ = SpanOf(*picture, state_.view.firstTime, state_.view.lastTime);
    applyScrollBar(ComputeScrollFigures(state_.view, state_.data));
    FinishRebuild(state_, Chart2D->plotRect());
    ui_.setWaitCursor(false);
}

void frmGrafikHistorie::applyScrollBar(const ScrollFigures &s)
{
    HScroll->setVisible(s.visible);
    if (!s.visible)
        return;
    // Raises valueChanged, which the busy flag turns away.
    HScroll->setRange(s.minimum, s.maximum);
    HScroll->setPageStep(s.largeChange);
    HScroll->setSingleStep(s.smallChange);
    HScroll->setValue(s.position);
}

void frmGrafikHistorie::checkClicked(QCheckBox *box)
{
    const IniKey &key = box == CheckMesspunkte    ? Cfg::GrafikPoints
                        : box == CheckMonatswerte ? Cfg::GrafikGridMonth
                                                  : Cfg::GrafikPercent;
    settings_.write(key, box->isChecked() ? 1 : 0);
    if (box == CheckProzent)
        ValuesChangedUnit(state_, table_, options(), now());
    RebuildChart();
}

void frmGrafikHistorie::ComboZeitraum_Click(int index)
{
    const int months = ComboZeitraum->itemData(index).toInt();
    ChooseTimeRange(state_, months, now());
    RebuildChart();
    settings_.write(Cfg::ComboZeitraum, months);
}

void frmGrafikHistorie::HScroll_Change(int position)
{
    if (ScrollTo(state_, position))
        RebuildChart();
}

void frmGrafikHistorie::HScroll_Preview(int position)
{
    ChartState preview = state_;
    if (!ScrollTo(preview, position))
        return;
    const auto added = ExtendDrawn(table_, options(), drawn_, preview.view.firstTime, preview.view.lastTime);
    Chart2D->panTo(added, preview.view.firstTime, preview.view.lastTime);
}

void frmGrafikHistorie::chartMouseDown(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    txtMesswert->hide();
    switch (RubberBandDown(state_.band, pixel(e->position()), state_.plot)) {
    case BandStart::Beep:
        ui_.beep();
        break;
    case BandStart::Started:
        band_->setGeometry(QRect(QPoint(state_.band.start.x, state_.band.start.y), QSize(1, 1)));
        band_->show();
        break;
    case BandStart::AlreadyDragging:
        break;
    }
}

void frmGrafikHistorie::chartMouseMove(QMouseEvent *e)
{
    if (state_.band.dragging && (e->buttons() & Qt::LeftButton)) {
        RubberBandMove(state_.band, pixel(e->position()), state_.plot);
        const RubberBand &b = state_.band;
        band_->setGeometry(
            QRect(QPoint(b.start.x, b.start.y), QPoint(b.current.x, b.current.y)).normalized());
        return;
    }
    showReadout(e->position().toPoint());
}

void frmGrafikHistorie::chartMouseUp(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const BandEnd end = RubberBandUp(state_.band, pixel(e->position()), state_.plot);
    band_->hide();
    if (!end.wasDragging)
        return;
    if (end.zoom)
        ApplyBandZoom(state_, Chart2D->timeAt(end.a.x), Chart2D->valueAt(end.a.y), Chart2D->timeAt(end.b.x),
                      Chart2D->valueAt(end.b.y));
    RebuildChart();
}

void frmGrafikHistorie::chartWheel(QWheelEvent *e)
{
    const int delta = e->angleDelta().y();
    if (delta == 0 || !InPlot(pixel(e->position()), state_.plot))
        return;
    const qint64 t = qint64(Chart2D->timeAt(qRound(e->position().x())));
    if (WheelZoom(state_, t, delta > 0))
        RebuildChart();
}

void frmGrafikHistorie::showReadout(QPoint pos)
{
    if (!InPlot({pos.x(), pos.y()}, state_.plot)) {
        txtMesswert->hide();
        Chart2D->unsetCursor();
        return;
    }
    Chart2D->setCursor(Qt::CrossCursor);
    const QString text =
        ReadoutText(qint64(Chart2D->timeAt(pos.x())), Chart2D->valueAt(pos.y()), CheckProzent->isChecked(),
                    state_.unitList.join(QStringLiteral(" / ")), QLocale::system());
    txtMesswert->setText(text);
    const QPoint at = Chart2D->geometry().topLeft() + pos - QPoint(0, ComboTank->height());
    txtMesswert->setGeometry(at.x(), at.y(), txtMesswert->fontMetrics().horizontalAdvance(text) + 8,
                             txtMesswert->sizeHint().height());
    txtMesswert->show();
    txtMesswert->raise();
}

void frmGrafikHistorie::mouseMoveEvent(QMouseEvent *e)
{
    txtMesswert->hide();
    QWidget::mouseMoveEvent(e);
}

void frmGrafikHistorie::exportMenu(QPoint pos)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuExport"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const char *kind : {"PNG", "PDF"}) {
        const QString ext = QString::fromLatin1(kind);
        menu->addAction(LngText(358) + QLatin1Char(' ') + ext + QStringLiteral("\u2026"), this, [this, ext] {
            auto *dialog = new QFileDialog(this, LngText(358) + QLatin1Char(' ') + ext);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setAcceptMode(QFileDialog::AcceptSave);
            dialog->setDefaultSuffix(ext.toLower());
            dialog->setNameFilter(ext + QStringLiteral(" (*.") + ext.toLower() + QLatin1Char(')'));
            connect(dialog, &QFileDialog::fileSelected, this, &frmGrafikHistorie::exportTo);
            dialog->open();
        });
    }
    AssignAccessKeys(menu);
    menu->popup(Chart2D->mapToGlobal(pos));
}

void frmGrafikHistorie::exportTo(const QString &fileName)
{
    const QByteArray bytes = PlotImageBytes(*Chart2D, fileName, Chart2D->width(), Chart2D->height());
    QString error;
    if (bytes.isEmpty() || !SafeFile::Replace(fileName, bytes, &error))
        ui_.messageBox(error.isEmpty() ? fileName : error, LngText(296), MsgIcon::Stop, MsgButtons::Ok);
}
