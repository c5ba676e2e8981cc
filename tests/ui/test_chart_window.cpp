// The history chart window offscreen: opening, rubber-band and wheel zoom
// with real mouse events, and the stored options (the rules themselves:
// ChartLogicTest; the main window's button: DialogTest) on a small screen.
#include "ui/UiTestSupport.h"

#include "chart/ChartNavigation.h"
#include "ui/ChartExport.h"
#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"

using ChartWindowTest = UiTest;

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
        const double full = r.Einheit == 1 ? 1.6 : r.Einheit == 3 ? 100 : 5000;
        for (int d = 0; d < 200; ++d)
            r.History.append(now.addDays(-200 + d).addSecs(n * 60),
                             full * (0.9 - 0.004 * d) * (1 - n / 100.0), 10);
    }
    settings.write(Cfg::GeraeteAktuell, 2);
    std::unique_ptr<frmGrafikHistorie> win(
        frmGrafikHistorie::OpenForm(table, settings, ui, CurrentTexts(), switches, clock));
    ASSERT_TRUE(win);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    EXPECT_EQ(OutOfReach(win.get()), QStringList());
    auto *tanks = Part<QComboBox>(win.get(), "ComboTank");
    auto *ranges = Part<QComboBox>(win.get(), "ComboZeitraum");
    auto *legend = Part<QListWidget>(win.get(), "lstLegende");
    EXPECT_EQ(tanks->currentData().toInt(), 2);
    const auto axes = [&] {
        QStringList t;
        for (const ValueAxis &y : win->picture().y)
            t << QStringLiteral("%1 %2..%3").arg(y.title).arg(y.minimum).arg(y.maximum);
        return t.join(", ");
    };
    EXPECT_EQ(axes(), "m³ 0..1.5") << "1.41 m³ at most";
    // All tanks: three axes, every tank in the legend; remembered.
    tanks->setCurrentIndex(tanks->findData(0));
    emit tanks->activated(tanks->currentIndex());
    EXPECT_EQ(settings.read(Cfg::GrafikTank), "0");
    EXPECT_EQ(axes(), "L 0..5000, m³ 0..1.5, % 0..100");
    ASSERT_TRUE(legend->isVisible());
    EXPECT_EQ(legend->count(), 56);
    EXPECT_EQ(OutOfReach(win.get()), QStringList()) << "with the legend";
    // The percent box is stored and the value axis follows it.
    QTest::mouseClick(Part<QCheckBox>(win.get(), "CheckProzent"), Qt::LeftButton);
    EXPECT_EQ(settings.read(Cfg::GrafikPercent) + " " + axes(), "1 % 0..100");
    QTest::mouseClick(Part<QCheckBox>(win.get(), "CheckProzent"), Qt::LeftButton);

    legend->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(win->picture().series.size(), 55u);
    EXPECT_EQ(win->picture().series.front().tank, 2);

    // The demo's three, and the read-out at a drawn point of tank 2.
    for (int row = 3; row < 56; ++row)
        legend->item(row)->setCheckState(Qt::Unchecked);
    legend->item(0)->setCheckState(Qt::Checked);
    ASSERT_EQ(win->picture().series.size(), 3u);
    auto *chart = Part<ChartPlot>(win.get(), "Chart2D");
    const auto drawnPoint = [&] {
        const ChartSeries &s = win->picture().series[1];
        const PlotMapping map = chart->mapping();
        return QPoint(qRound(map.x(s.keys[100])) + 1, qRound(map.y[size_t(s.axis)](s.values[100])));
    };
    auto *readout = Part<QLabel>(win.get(), "txtMesswert");
    // Moved onto the point from beside it, as the pointer may rest on it
    // already (a move to where it is comes as no event), and again until the
    // plot drawn for the three tanks is the one under it.
    ASSERT_TRUE(WaitFor([&] {
        QTest::mouseMove(chart, drawnPoint() + QPoint(0, 40));
        QTest::mouseMove(chart, drawnPoint());
        return readout->isVisible() && readout->text().startsWith("2: ");
    }));
    EXPECT_TRUE(readout->text().startsWith("2: Tank Nummer 2 im Keller\n")) << readout->text().toStdString();
    EXPECT_TRUE(readout->text().contains(" m³\n"));
    // Another time range takes the read-out away, for it belongs to the view
    // it was taken from; the short ranges are remembered as any other.
    emit ranges->activated(ranges->findData(kLastDay));
    EXPECT_FALSE(readout->isVisible());
    EXPECT_EQ(settings.read(Cfg::ComboZeitraum), "-24");
    emit ranges->activated(ranges->findData(kAllData));

    // A rubber band drawn with the mouse becomes the view; a notch of the
    // wheel narrows it (where they zoom to: ChartLogicTest).
    const PlotRect r = win->chartState().plot;
    const TimeValueRange &view = win->chartState().view;
    const QPoint a(r.left + (r.right - r.left) / 4, r.top + 30), b((r.left + r.right) / 2, r.bottom - 30);
    const double ta = chart->timeAt(a.x());
    QTest::mousePress(chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(chart, b);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, b);
    EXPECT_NEAR(double(view.firstTime), ta, 1);
    const qint64 span = view.lastTime - view.firstTime;
    QWheelEvent wheel(b, chart->mapToGlobal(b), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_LT(view.lastTime - view.firstTime, span);

    // The list follows a zoom and goes back with the choice. The view is one
    // zoom step exactly: the scroll bar following it does not move it again.
    ChartState zoomed = win->chartState();
    ZoomIn(zoomed);
    QTest::mouseClick(Part<QToolButton>(win.get(), "cmdZoomPlus"), Qt::LeftButton);
    EXPECT_EQ(std::pair(win->chartState().view.firstTime, win->chartState().view.lastTime),
              std::pair(zoomed.view.firstTime, zoomed.view.lastTime));
    EXPECT_EQ(ranges->currentText(), "Benutzerdefiniert");
    emit ranges->activated(ranges->findData(3));
    EXPECT_EQ(settings.read(Cfg::ComboZeitraum), "3");

    DeviceTable empty;
    EXPECT_FALSE(frmGrafikHistorie::OpenForm(empty, settings, ui, CurrentTexts(), switches, clock));
    EXPECT_EQ(ui.count("message"), 1) << "no data: the box";
    // (The help window on the same screen: FrmMainTest.)
}

// An image's legend names every tank with its colour key where they fit, in
// columns within two fifths of the width, and says how many more where they
// do not; the image has the size asked for.
TEST_F(ChartWindowTest, ImageLegendFitsOrSaysHowManyMore)
{
    std::vector<QString> names;
    for (int n = 1; n <= 56; ++n)
        names.push_back(QStringLiteral("%1: Heizöl Keller %1 (L)").arg(n));
    const QFontMetrics fm(QApplication::font());
    const auto within = [&](const LegendLayout &l, int height, int width) {
        EXPECT_EQ(l.shown + l.more, 56);
        EXPECT_GE(l.rows * l.columns, l.shown + (l.more > 0));
        EXPECT_LE(l.rows * l.rowHeight, height);
        EXPECT_LE(l.columns * l.columnWidth, width);
        return l.more;
    };
    EXPECT_EQ(within(LayoutLegend(names, fm, 780, 560), 780, 560), 0);
    EXPECT_GT(within(LayoutLegend(names, fm, 300, 240), 300, 240), 0);

    DeviceTable table;
    table.DeviceCount = 56;
    for (int n = 1; n <= 56; ++n)
        table[n].History.append(now.addDays(-3), 100 * n, 10);
    const QByteArray png = ChartImage(table, {}, 0, TankHistory::toSecs(now), "x.png", QSize(900, 500));
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(900, 500));
}
