// The history chart window offscreen: opening, rubber-band and wheel zoom
// with real mouse events, and the stored options (the rules themselves:
// ChartLogicTest; the main window's button: ConsumptionWindow).
#include "ui/UiTestSupport.h"

#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"

using ChartWindowTest = UiTest;

TEST_F(ChartWindowTest, StoredOptionsMouseZoomAndNoData)
{
    DeviceTable table;
    table.DeviceCount = 2;
    for (int n = 1; n <= 2; ++n) {
        table[n].Tankvolumen = 1000;
        for (int h = 0; h < 60 * 24; h += 6)
            table[n].History.append(now.addDays(-60).addSecs((h + 3 * n) * 3600), 400 + 100 * n + h % 24, 10);
    }
    settings.write(Cfg::GrafikPercent, 1);
    std::unique_ptr<frmGrafikHistorie> win(frmGrafikHistorie::OpenForm(table, settings, ui, config, clock));
    ASSERT_TRUE(win);
    const PlotRect &plot = win->chartState().plot;
    const TimeValueRange &view = win->chartState().view;
    win->resize(1000, 650);
    auto *chart = win->findChild<ChartPlot *>("Chart2D");
    ASSERT_TRUE(WaitFor([&] { return chart->width() > 800 && plot.right - plot.left > 600; }));
    EXPECT_TRUE(win->findChild<QCheckBox *>("CheckProzent")->isChecked());
    ASSERT_TRUE(chart->legend->visible() && chart->legend->itemCount() == 2);
    EXPECT_EQ(static_cast<QCPPlottableLegendItem *>(chart->legend->item(1))->plottable()->name(), "2: SN:0");
    EXPECT_DOUBLE_EQ(view.highestValue, 100) << "the opening range is in percent: 61.8 % rounds up to 100";

    QTest::mouseClick(win->findChild<QCheckBox *>("CheckProzent"), Qt::LeftButton);
    EXPECT_EQ(settings.read(Cfg::GrafikPercent), "0");
    EXPECT_DOUBLE_EQ(view.highestValue, 618) << "the value axis follows the unit";
    emit Part<QComboBox>(win.get(), "ComboZeitraum")->activated(0);
    EXPECT_EQ(settings.read(Cfg::ComboZeitraum), "1");

    // A rubber band drawn with the mouse becomes the view.
    const PlotRect r = plot;
    const QPoint a(r.left + (r.right - r.left) / 4, r.top + 30),
        b(r.left + (r.right - r.left) / 2, r.bottom - 30);
    const double ta = chart->timeAt(a.x()), vb = chart->valueAt(b.y());
    QTest::mousePress(chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(chart, b);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, b);
    EXPECT_NEAR(double(view.firstTime), ta, 1);
    EXPECT_NEAR(view.lowestValue, vb, 1e-9);

    // A notch of the wheel narrows the view and keeps the time under the pointer.
    const QPoint p(r.left + (r.right - r.left) / 3, (r.top + r.bottom) / 2);
    const double before = chart->timeAt(p.x());
    const qint64 span = view.lastTime - view.firstTime;
    QWheelEvent wheel(p, chart->mapToGlobal(p), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_LT(view.lastTime - view.firstTime, span);
    EXPECT_NEAR(chart->timeAt(p.x()), before, double(span) / (r.right - r.left) * 2);

    DeviceTable empty;
    EXPECT_FALSE(frmGrafikHistorie::OpenForm(empty, settings, ui, config, clock));
    EXPECT_EQ(ui.count("message"), 1) << "no data: the box";
}
