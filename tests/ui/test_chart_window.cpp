// The history chart window offscreen: opening, rubber-band and wheel zoom
// with real mouse events, and the stored options (the rules themselves:
// ChartLogicTest; the main window's button: DialogTest); it and the
// consumption window on a small screen.
#include "ui/UiTestSupport.h"

#include "chart/ChartNavigation.h"
#include "help/HelpTopics.h"
#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmHilfe.h"
#include "ui/FrmTabelle.h"

using ChartWindowTest = UiTest;

namespace
{

// What is out of reach of a window: outside the available screen (the
// offscreen screen is 800 wide), or, with the window at the client area of
// an 800 x 600 screen (frame and panel off), larger than that or a button
// outside it.
QStringList outOfReach(QWidget *window)
{
    QStringList out;
    if (!window->screen()->availableGeometry().contains(window->geometry()))
        out << "the window on its screen";
    const QSize small(800 - 16, 600 - 40);
    window->resize(small);
    QApplication::processEvents();
    if (window->size() != small)
        out << QStringLiteral("%1x%2 at 800x600").arg(window->width()).arg(window->height());
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (b->isVisible() && !window->rect().contains(QRect(b->mapTo(window, QPoint(0, 0)), b->size())))
            out << b->objectName() + " " + b->text();
    return out;
}

} // namespace

// The demo's units over 56 tanks at 800 x 600: the
// window and its buttons within the screen; it opens on the main window's
// tank with that tank's range, then remembers all tanks; the legend lists
// every tank, hides one on a click of its tick; the read-out names the
// point under the pointer; the time-range list follows the view. The
// percent box, zoom with the mouse's rubber band and wheel; without data the box.
TEST_F(ChartWindowTest, SmallScreenTankChoiceLegendReadoutAndTimeRange)
{
    DeviceTable table;
    table.DeviceCount = 56;
    for (int n = 1; n <= 56; ++n) {
        DeviceRecord &r = table[n];
        r.Einheit = n % 3 == 2 ? 1 : n % 3 == 0 ? 3 : 0; // litres, m³, percent
        r.Tankvolumen = r.Einheit == 1 ? 2500 : r.Einheit == 3 ? 100 : 5000;
        r.Tankbezeichnung = QStringLiteral("Tank Nummer %1 im Keller").arg(n);
        const double full = r.Einheit == 1 ? 2.5 : r.Einheit == 3 ? 100 : 5000;
        for (int d = 0; d < 200; ++d)
            r.History.append(now.addDays(-200 + d).addSecs(n * 60),
                             full * (0.9 - 0.004 * d) * (1 - n / 100.0), 10);
    }
    settings.write(Cfg::GeraeteAktuell, 2);
    std::unique_ptr<frmGrafikHistorie> win(frmGrafikHistorie::OpenForm(table, settings, ui, switches, clock));
    ASSERT_TRUE(win);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    EXPECT_EQ(outOfReach(win.get()), QStringList());
    auto *tanks = Part<QComboBox>(win.get(), "ComboTank");
    auto *ranges = Part<QComboBox>(win.get(), "ComboZeitraum");
    auto *legend = Part<QListWidget>(win.get(), "lstLegende");
    EXPECT_EQ(tanks->currentData().toInt(), 2);
    EXPECT_FALSE(legend->isVisible());
    const auto axes = [&] {
        QStringList t;
        for (const ValueAxis &y : win->picture().y)
            t << QStringLiteral("%1 %2..%3").arg(y.title).arg(y.minimum).arg(y.maximum);
        return t.join(", ");
    };
    EXPECT_EQ(axes(), "m³ 0..3");
    EXPECT_EQ(ranges->currentText(), "Alle Daten");
    // All tanks: three axes, every tank in the legend; remembered.
    tanks->setCurrentIndex(tanks->findData(0));
    emit tanks->activated(tanks->currentIndex());
    EXPECT_EQ(settings.read(Cfg::GrafikTank), "0");
    EXPECT_EQ(axes(), "L 0..5000, m³ 0..3, % 0..100");
    ASSERT_TRUE(legend->isVisible());
    EXPECT_EQ(legend->count(), 56);
    EXPECT_EQ(outOfReach(win.get()), QStringList()) << "with the legend";
    // The percent box is stored and the value axis follows it.
    auto *percent = Part<QCheckBox>(win.get(), "CheckProzent");
    QTest::mouseClick(percent, Qt::LeftButton);
    EXPECT_EQ(settings.read(Cfg::GrafikPercent) + " " + axes(), "1 % 0..100");
    QTest::mouseClick(percent, Qt::LeftButton);
    EXPECT_EQ(settings.read(Cfg::GrafikPercent) + " " + axes(), "0 L 0..5000, m³ 0..3, % 0..100");

    legend->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(win->picture().series.size(), 55u);
    EXPECT_EQ(win->picture().series.front().tank, 2);

    // The demo's three, and the read-out at a drawn point of tank 2.
    for (int row = 3; row < 56; ++row)
        legend->item(row)->setCheckState(Qt::Unchecked);
    legend->item(0)->setCheckState(Qt::Checked);
    ASSERT_EQ(win->picture().series.size(), 3u);
    EXPECT_EQ(axes(), "L 0..5000, m³ 0..3, % 0..100");
    auto *chart = Part<ChartPlot>(win.get(), "Chart2D");
    const ChartSeries &s = win->picture().series[1];
    const PlotMapping map = chart->mapping();
    const QPoint p(qRound(map.x(s.keys[100])) + 1, qRound(map.y[size_t(s.axis)](s.values[100])));
    QTest::mouseMove(chart, p);
    auto *readout = Part<QLabel>(win.get(), "txtMesswert");
    ASSERT_TRUE(WaitFor([&] { return readout->isVisible(); }));
    EXPECT_TRUE(readout->text().startsWith("2: Tank Nummer 2 im Keller\n")) << readout->text().toStdString();
    EXPECT_TRUE(readout->text().contains(" m³\n"));

    // A rubber band drawn with the mouse becomes the view.
    const PlotRect r = win->chartState().plot;
    const TimeValueRange &view = win->chartState().view;
    const QPoint a(r.left + (r.right - r.left) / 4, r.top + 30),
        b(r.left + (r.right - r.left) / 2, r.bottom - 30);
    const double ta = chart->timeAt(a.x()), vb = chart->valueAt(b.y());
    QTest::mousePress(chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(chart, b);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, b);
    EXPECT_NEAR(double(view.firstTime), ta, 1);
    EXPECT_NEAR(view.lowestValue, vb, 1e-9);
    // A notch of the wheel narrows the view and keeps the time under the pointer.
    const QPoint c(r.left + (r.right - r.left) / 3, (r.top + r.bottom) / 2);
    const double before = chart->timeAt(c.x());
    const qint64 span = view.lastTime - view.firstTime;
    QWheelEvent wheel(c, chart->mapToGlobal(c), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_LT(view.lastTime - view.firstTime, span);
    EXPECT_NEAR(chart->timeAt(c.x()), before, double(span) / (r.right - r.left) * 2);

    // The list follows a zoom and goes back with the choice. The view is one
    // zoom step exactly: the scroll bar following it does not move it again.
    ChartState zoomed = win->chartState();
    ZoomIn(zoomed);
    QTest::mouseClick(Part<QToolButton>(win.get(), "cmdZoomPlus"), Qt::LeftButton);
    EXPECT_EQ(std::pair(win->chartState().view.firstTime, win->chartState().view.lastTime),
              std::pair(zoomed.view.firstTime, zoomed.view.lastTime));
    EXPECT_EQ(ranges->currentText(), "Benutzerdefiniert");
    emit ranges->activated(ranges->findData(3));
    EXPECT_EQ(ranges->currentText(), "3 Monate");
    EXPECT_EQ(ranges->findData(kCustomRange), -1);
    EXPECT_EQ(settings.read(Cfg::ComboZeitraum), "3");

    // Opened again: all tanks and three months.
    win.reset();
    win.reset(frmGrafikHistorie::OpenForm(table, settings, ui, switches, clock));
    EXPECT_EQ(Part<QComboBox>(win.get(), "ComboTank")->currentData().toInt(), 0);
    EXPECT_EQ(Part<QComboBox>(win.get(), "ComboZeitraum")->currentText(), "3 Monate");
    EXPECT_EQ(win->chartState().view.firstTime, TankHistory::toSecs(now.addMonths(-4)));

    DeviceTable empty;
    EXPECT_FALSE(frmGrafikHistorie::OpenForm(empty, settings, ui, switches, clock));
    EXPECT_EQ(ui.count("message"), 1) << "no data: the box";

    // The help window fits the same screen.
    QPointer<frmHilfe> help;
    frmHilfe::Open(help, QLatin1String(HelpTopic::Index));
    ASSERT_TRUE(help && QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(outOfReach(help), QStringList());
    delete help;
}

// The consumption window in German and in Polish, whose captions are longer:
// within the small screen, the total column scrolled to, rows to read.
TEST_F(ChartWindowTest, ConsumptionWindowWithinASmallScreen)
{
    DeviceTable devices;
    devices.DeviceCount = 3;
    for (int n = 1; n <= 3; ++n) {
        devices[n].Tankbezeichnung = QString("Tank mit einem recht langen Namen %1").arg(n);
        devices[n].Einheit = n - 1;
        for (int i = 0; i < 40; ++i)
            devices[n].History.append(Clock::Naive(QDate(2024, 1, 1).addDays(i * 20), QTime(9, 0)),
                                      9000 - i * 7, 10);
    }
    for (int lng : {1, 10}) {
        SetLngId(lng);
        std::unique_ptr<frmTabelle> table(
            frmTabelle::OpenForm(devices, settings, ui, config, clock, 0, nullptr));
        ASSERT_TRUE(table && QTest::qWaitForWindowExposed(table.get()));
        EXPECT_EQ(outOfReach(table.get()), QStringList());
        auto *view = Part<QTableView>(table.get(), "t");
        view->scrollTo(view->model()->index(0, 13));
        const QRect total = view->visualRect(view->model()->index(0, 13));
        EXPECT_TRUE(view->viewport()->rect().contains(total.center())) << "the total column in view";
        EXPECT_GE(view->viewport()->height(), 3 * view->rowHeight(0)) << "rows to read";
    }
}
