#include "FrmGrafikHistorie.h"

#include "ChartExport.h"
#include "ChartPlot.h"
#include "KeyboardAccess.h"
#include "ScreenFit.h"
#include "chart/ChartCombos.h"
#include "chart/ChartNavigation.h"
#include "core/Catalogue.h"
#include "core/RunSwitches.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
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

// Exported images: room for the legend of all tanks beside the plot.
constexpr QSize kExportSize(1400, 860);

PixelPoint pixel(const QPointF &p)
{
    return {qRound(p.x()), qRound(p.y())};
}

// A legend swatch: the tank's line with its marker.
QIcon swatch(quint32 colour, int marker)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    const QColor c(int(colour >> 16 & 0xFF), int(colour >> 8 & 0xFF), int(colour & 0xFF));
    QCPPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(c, 3));
    painter.drawLine(QLineF(2, 7, 26, 7));
    const QCPScatterStyle style(ChartPlot::MarkerShape(marker), c, c, 8);
    style.applyTo(&painter, QPen(c));
    style.drawShape(&painter, 14, 7);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

frmGrafikHistorie *frmGrafikHistorie::OpenForm(const DeviceTable &table, Settings &settings, UiServices &ui,
                                               const Texts &texts, const RunSwitches &switches, ClockFn clock,
                                               QWidget *parent, const QString &site, int tank)
{
    if (!HasChartData(table)) {
        // Advice to switch logging on only where it is off; else what to wait
        // for, or that the tank files cannot be reached (never "no history").
        const bool logging = switches.options().clientMode || switches.logFileActive();
        const QString folder = switches.TankReadFolder(), why = SafeFile::FolderProblem(folder, false);
        const QString advice = !why.isEmpty() ? FormatText(texts(1385), {folder, why})
                               : logging      ? texts(907)
                                              : texts(171) + QLatin1Char('\n') + texts(172);
        ui.messageBox(texts(161) + QLatin1Char('\n') + advice, texts(162),
                      why.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation, MsgButtons::Ok);
        return nullptr;
    }
    auto *w =
        new frmGrafikHistorie(table, settings, ui, texts, switches, std::move(clock), parent, site, tank);
    w->show();
    return w;
}

frmGrafikHistorie::frmGrafikHistorie(const DeviceTable &table, Settings &settings, UiServices &ui,
                                     const Texts &texts, const RunSwitches &switches, ClockFn clock,
                                     QWidget *parent, const QString &site, int tank)
    : QWidget(parent, Qt::Window), table_(table), settings_(settings), ui_(ui), texts_(texts),
      switches_(switches), clock_(std::move(clock)), site_(site), siteTank_(tank)
{
    setObjectName(QStringLiteral("frmGrafikHistorie"));
    setAttribute(Qt::WA_DeleteOnClose);
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
    cmdExport = named(new QPushButton(this), "cmdExport");
    CmdOk = named(new QPushButton(this), "CmdOk");
    Chart2D = named(new ChartPlot(this), "Chart2D");
    lstLegende = named(new QListWidget(this), "lstLegende");
    HScroll = named(new QScrollBar(Qt::Horizontal, this), "HScroll");
    txtMesswert = named(new QLabel(this), "txtMesswert");
    band_ = new QRubberBand(QRubberBand::Rectangle, Chart2D);

    LabelTank->setBuddy(ComboTank);
    Label1->setBuddy(ComboZeitraum);
    // Long tank names must not widen the window beyond a small screen.
    for (QComboBox *combo : {ComboTank, ComboZeitraum}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(combo == ComboTank ? 18 : 12);
    }
    cmdZoomPlus->setText(QStringLiteral("+"));
    cmdZoomMinus->setText(QStringLiteral("\u2212"));
    cmdExport->setMenu(exportMenu());
    txtMesswert->setFrameShape(QFrame::Box);
    txtMesswert->setMargin(3);
    txtMesswert->setAutoFillBackground(true);
    txtMesswert->setBackgroundRole(QPalette::ToolTipBase);
    txtMesswert->setForegroundRole(QPalette::ToolTipText);
    txtMesswert->setAttribute(Qt::WA_TransparentForMouseEvents);
    txtMesswert->hide();
    lstLegende->setIconSize(QSize(28, 14));
    lstLegende->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLegende->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstLegende->setTextElideMode(Qt::ElideRight);
    lstLegende->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // The chart is rebuilt when the thumb is let go; while it is dragged the
    // view only pans over what is drawn.
    HScroll->setTracking(false);
    Chart2D->setMouseTracking(true);
    Chart2D->setContextMenuPolicy(Qt::CustomContextMenu);
    Chart2D->setMinimumSize(200, 150);
    setMouseTracking(true);

    auto *top = new QHBoxLayout;
    top->addWidget(LabelTank);
    top->addWidget(ComboTank, 3);
    top->addSpacing(12);
    top->addWidget(Label1);
    top->addWidget(ComboZeitraum, 1);
    auto *options = new QHBoxLayout;
    options->addWidget(CheckMesspunkte);
    options->addWidget(CheckMonatswerte);
    options->addWidget(CheckProzent);
    options->addStretch(1);
    auto *plotRow = new QHBoxLayout;
    auto *plotColumn = new QVBoxLayout;
    plotColumn->addWidget(Chart2D, 1);
    plotColumn->addWidget(HScroll);
    plotRow->addLayout(plotColumn, 1);
    plotRow->addWidget(lstLegende);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdZoomPlus);
    buttons->addWidget(cmdZoomMinus);
    buttons->addWidget(cmdZoomAlles);
    buttons->addStretch(1);
    buttons->addWidget(cmdExport);
    buttons->addWidget(CmdOk);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(options);
    all->addLayout(plotRow, 1);
    all->addLayout(buttons);

    for (QCheckBox *box : {CheckMesspunkte, CheckMonatswerte, CheckProzent})
        connect(box, &QCheckBox::clicked, this, [this, box] { checkClicked(box); });
    connect(ComboTank, &QComboBox::activated, this, &frmGrafikHistorie::ComboTank_Click);
    connect(ComboZeitraum, &QComboBox::activated, this, &frmGrafikHistorie::ComboZeitraum_Click);
    connect(cmdZoomAlles, &QPushButton::clicked, this, [this] {
        ZoomAll(state_, now());
        RebuildChart();
    });
    connect(cmdZoomPlus, &QToolButton::clicked, this, [this] {
        ZoomIn(state_);
        RebuildChart();
    });
    connect(cmdZoomMinus, &QToolButton::clicked, this, [this] {
        ZoomOut(state_);
        RebuildChart();
    });
    connect(CmdOk, &QPushButton::clicked, this, &QWidget::close);
    connect(HScroll, &QScrollBar::valueChanged, this, &frmGrafikHistorie::HScroll_Change);
    connect(HScroll, &QScrollBar::sliderMoved, this, &frmGrafikHistorie::HScroll_Preview);
    connect(Chart2D, &QCustomPlot::mousePress, this, &frmGrafikHistorie::chartMouseDown);
    connect(Chart2D, &QCustomPlot::mouseMove, this, &frmGrafikHistorie::chartMouseMove);
    connect(Chart2D, &QCustomPlot::mouseRelease, this, &frmGrafikHistorie::chartMouseUp);
    connect(Chart2D, &QCustomPlot::mouseWheel, this, &frmGrafikHistorie::chartWheel);
    connect(Chart2D, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        QMenu *menu = exportMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(Chart2D->mapToGlobal(pos));
    });
    connect(lstLegende, &QListWidget::itemChanged, this, &frmGrafikHistorie::legendChanged);
    connect(lstLegende, &QListWidget::itemClicked, this, &frmGrafikHistorie::legendClicked);
    // The plot area moves with every resize of the window, not only with rebuilds.
    connect(Chart2D, &QCustomPlot::afterReplot, this, [this] { state_.plot = Chart2D->plotRect(); });
}

void frmGrafikHistorie::Form_Load()
{
    setWindowTitle(site_.isEmpty() ? texts_(174) : texts_(174) + QStringLiteral(" \u2013 ") + site_);
    LabelTank->setText(texts_(181));
    Label1->setText(texts_(182));
    CheckMesspunkte->setText(texts_(175));
    CheckMonatswerte->setText(texts_(185));
    CheckProzent->setText(texts_(184));
    cmdZoomPlus->setToolTip(texts_(179));
    cmdZoomMinus->setToolTip(texts_(178));
    cmdZoomAlles->setText(texts_(177));
    cmdZoomAlles->setToolTip(texts_(176));
    cmdExport->setText(texts_(358));
    cmdExport->setToolTip(texts_(753));
    CmdOk->setText(texts_(180));
    CmdOk->setToolTip(texts_(186));
    txtMesswert->setText(texts_(183));
    lstLegende->setToolTip(texts_(752));
    locale_ = texts_.locale();
    Chart2D->setLabelLocale(locale_);

    // The stored options first, so that the first range is already in percent
    // when "GrafikPercent" is set.
    CheckMesspunkte->setChecked(settings_.readIsOne(Cfg::GrafikPoints));
    CheckMonatswerte->setChecked(settings_.readIsOne(Cfg::GrafikGridMonth));
    CheckProzent->setChecked(settings_.readIsOne(Cfg::GrafikPercent));
    const qint64 t = now();

    // The main window's tank, or all tanks when they were the last choice;
    // the range of the tanks chosen.
    const std::vector<ComboEntry> tanks = ComboTankEntries(table_, texts_);
    for (const ComboEntry &e : tanks)
        ComboTank->addItem(e.text, e.value);
    ComboTank->setCurrentIndex(site_.isEmpty()
                                   ? ComboTankSelection(tanks, int(settings_.readInt(Cfg::GrafikTank)),
                                                        int(settings_.readInt(Cfg::GeraeteAktuell)))
                                   : ComboTankSelection(tanks, siteTank_, siteTank_));
    OpenChartRange(state_, table_, options(), t);
    const int years = DataYears(state_.data.firstTime, t);
    ranges_ = ComboZeitraumEntries(years, texts_);
    for (const ComboEntry &e : ranges_)
        ComboZeitraum->addItem(e.text, e.value);
    const int saved = int(settings_.readInt(Cfg::ComboZeitraum));
    const int range = ranges_[size_t(ComboZeitraumSelection(ranges_, saved))].value;
    fillLegend();

    // The last time range chosen, or all data (the rounded range of the opening).
    state_.view = state_.data;
    if (range > 0)
        ChooseTimeRange(state_, range, t);
    // Most of a large screen, all of a small one: with all tanks the plot
    // needs the width beside the legend.
    const QSize area = screen() ? screen()->availableGeometry().size() : QSize(1000, 650);
    FitToScreen(this, QSize(std::max(area.width() * 9 / 10, std::min(area.width(), 1000)),
                            std::max(area.height() * 9 / 10, std::min(area.height(), 650))));
    RebuildChart();
}

ChartOptions frmGrafikHistorie::options() const
{
    ChartOptions o;
    o.tank = ComboTank->currentIndex() >= 0 ? ComboTank->currentData().toInt() : 0;
    o.points = CheckMesspunkte->isChecked();
    o.gridMonth = CheckMonatswerte->isChecked();
    o.percent = CheckProzent->isChecked();
    o.tempKorr = switches_.flagTempKorr();
    o.hidden = o.tank == 0 ? hidden_ : 0;
    return o;
}

qint64 frmGrafikHistorie::now() const
{
    return TankHistory::toSecs(clock_());
}

void frmGrafikHistorie::RebuildChart()
{
    ui_.setWaitCursor(true);
    // A read-out belongs to the view it was taken from.
    txtMesswert->hide();
    const ChartOptions o = options();
    // Never wider than the screen: the series need no more detail than that.
    const int columns = std::max(Chart2D->axisRect()->width(), screen() ? screen()->geometry().width() : 0);
    picture_ = BeginRebuild(state_, table_, o, now(), texts_, columns);
    Chart2D->showPicture(picture_);
    drawn_ = SpanOf(picture_, state_.view.firstTime, state_.view.lastTime);
    applyScrollBar(ComputeScrollFigures(state_.view, state_.data));
    FinishRebuild(state_, Chart2D->plotRect());
    syncTimeRange();
    if (QListWidgetItem *item = lstLegende->currentItem(); item && item->isSelected())
        legendClicked(item);
    ui_.setWaitCursor(false);
}

void frmGrafikHistorie::syncTimeRange()
{
    // The list names what is drawn: the entry that gives this view, or "custom".
    const int match = MatchingTimeRange(ranges_, state_);
    const int custom = ComboZeitraum->findData(kCustomRange);
    if (match < 0) {
        if (custom < 0) {
            const ComboEntry e = CustomRangeEntry(texts_);
            ComboZeitraum->addItem(e.text, e.value);
        }
        ComboZeitraum->setCurrentIndex(ComboZeitraum->findData(kCustomRange));
        return;
    }
    if (custom >= 0)
        ComboZeitraum->removeItem(custom);
    ComboZeitraum->setCurrentIndex(match);
}

void frmGrafikHistorie::fillLegend()
{
    // Beside the plot for all tanks: each tank's colour and name, a tick to
    // show it, a click to draw it wider.
    const QSignalBlocker quiet(lstLegende);
    lstLegende->clear();
    const ChartOptions o = options();
    lstLegende->setVisible(o.tank == 0);
    if (o.tank != 0)
        return;
    int widest = 0;
    for (int n = 1; n <= table_.DeviceCount; ++n) {
        const DeviceRecord &rec = table_[n];
        const QString unit = o.percent ? QStringLiteral("%") : UnitSymbol(rec.Einheit);
        auto *item =
            new QListWidgetItem(swatch(TankColour(n), MarkerCode(n)),
                                TankLabel(rec, n, texts_) + QStringLiteral(" (") + unit + QLatin1Char(')'));
        item->setData(Qt::UserRole, n);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(hidden_ >> (n - 1) & 1 ? Qt::Unchecked : Qt::Checked);
        item->setToolTip(item->text());
        lstLegende->addItem(item);
        widest = std::max(widest, lstLegende->fontMetrics().horizontalAdvance(item->text()));
    }
    // Wide enough for usual names, never more than a quarter of the screen.
    const int screenWidth = screen() ? screen()->availableGeometry().width() : 1024;
    lstLegende->setFixedWidth(std::clamp(widest + 90, 150, std::max(150, screenWidth / 4)));
}

void frmGrafikHistorie::ComboTank_Click()
{
    if (site_.isEmpty())
        settings_.write(Cfg::GrafikTank, ComboTank->currentData().toInt());
    fillLegend();
    ShownChanged(state_, table_, options(), now());
    RebuildChart();
}

void frmGrafikHistorie::legendChanged(QListWidgetItem *item)
{
    const int n = item->data(Qt::UserRole).toInt();
    if (n < 1 || n > 64)
        return;
    const quint64 bit = quint64(1) << (n - 1);
    hidden_ = item->checkState() == Qt::Checked ? hidden_ & ~bit : hidden_ | bit;
    ShownChanged(state_, table_, options(), now());
    RebuildChart();
}

void frmGrafikHistorie::legendClicked(QListWidgetItem *item)
{
    const int n = item->data(Qt::UserRole).toInt();
    int series = -1;
    for (size_t i = 0; i < picture_.series.size(); ++i)
        if (picture_.series[i].tank == n && !picture_.placeholder)
            series = int(i);
    Chart2D->highlight(series);
}

void frmGrafikHistorie::applyScrollBar(const ScrollFigures &s)
{
    HScroll->setVisible(s.visible);
    if (!s.visible)
        return;
    // The bar follows the view; only the user's moves change the view.
    const QSignalBlocker quiet(HScroll);
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
    if (box == CheckProzent) {
        fillLegend();
        ShownChanged(state_, table_, options(), now());
    }
    RebuildChart();
}

void frmGrafikHistorie::ComboZeitraum_Click(int index)
{
    const int months = ComboZeitraum->itemData(index).toInt();
    if (months == kCustomRange) {
        syncTimeRange();
        return;
    }
    if (months == kAllData) {
        ZoomAll(state_, now());
    } else {
        ChooseTimeRange(state_, months, now());
    }
    RebuildChart();
    settings_.write(Cfg::ComboZeitraum, months);
}

void frmGrafikHistorie::HScroll_Change(int position)
{
    ScrollTo(state_, position);
    RebuildChart();
}

void frmGrafikHistorie::HScroll_Preview(int position)
{
    ChartState preview = state_;
    ScrollTo(preview, position);
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
    WheelZoom(state_, t, delta > 0);
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
    // The nearest measurement of the nearest line, or nothing.
    const auto point = NearestPoint(picture_, Chart2D->mapping(), {pos.x(), pos.y()});
    if (!point) {
        txtMesswert->hide();
        return;
    }
    txtMesswert->setText(ReadoutText(picture_, *point, CheckProzent->isChecked(), locale_));
    txtMesswert->adjustSize();
    // Beside the point, inside the window.
    const ChartSeries &s = picture_.series[point->series];
    const PlotMapping map = Chart2D->mapping();
    const QPoint at =
        Chart2D->geometry().topLeft() +
        QPoint(qRound(map.x(s.keys[point->index])), qRound(map.y[size_t(s.axis)](s.values[point->index])));
    QPoint box = at + QPoint(12, -txtMesswert->height() - 8);
    if (box.x() + txtMesswert->width() > width())
        box.setX(at.x() - txtMesswert->width() - 12);
    if (box.y() < 0)
        box.setY(at.y() + 12);
    txtMesswert->move(box);
    txtMesswert->show();
    txtMesswert->raise();
}

void frmGrafikHistorie::mouseMoveEvent(QMouseEvent *e)
{
    txtMesswert->hide();
    QWidget::mouseMoveEvent(e);
}

QMenu *frmGrafikHistorie::exportMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuExport"));
    for (const char *kind : {"PNG", "PDF"}) {
        const QString ext = QString::fromLatin1(kind);
        menu->addAction(texts_(358) + QLatin1Char(' ') + ext + QStringLiteral("\u2026"), this, [this, ext] {
            // Not modal: the window and the program go on while it is open.
            auto *dialog = new QFileDialog(this, texts_(358) + QLatin1Char(' ') + ext);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setAcceptMode(QFileDialog::AcceptSave);
            dialog->setDefaultSuffix(ext.toLower());
            dialog->setNameFilter(ext + QStringLiteral(" (*.") + ext.toLower() + QLatin1Char(')'));
            dialog->selectFile(ChartFileName(ComboTank->currentText(), state_.view.lastTime, ext.toLower()));
            connect(dialog, &QFileDialog::fileSelected, this, &frmGrafikHistorie::exportTo);
            dialog->open();
        });
    }
    AssignAccessKeys(menu);
    return menu;
}

void frmGrafikHistorie::exportTo(const QString &fileName)
{
    // The picture as shown, at a size of its own, headed and with its legend.
    ChartPlot plot;
    const ChartHeading heading{ComboTank->currentText(),
                               ViewSpanText(state_.view.firstTime, state_.view.lastTime, locale_)};
    const QByteArray bytes = ComposeChartImage(plot, picture_, heading, fileName, kExportSize);
    QString error;
    if (bytes.isEmpty() || !SafeFile::Replace(fileName, bytes, &error))
        ui_.messageBox(error.isEmpty() ? fileName : error, texts_(296), MsgIcon::Stop, MsgButtons::Ok);
}
