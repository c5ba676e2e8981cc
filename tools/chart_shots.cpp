// Renders the history chart window as a user sees it, for looking at it
// under a virtual screen (xvfb-run) in any language and screen size:
//
//   tankmon_chart_shots LNGID CASE OUT.png
//
// CASE: "one" (the diesel tank of the demo), "all" (the demo's three tanks in
// litres, m³ and %), "many" (56 tanks, the legend scrolled), "readout" (all
// tanks with the read-out at a point of the diesel line), "export" (the
// window's PNG export of 56 tanks), "cli" (what --export-chart draws of 56
// tanks at its default size). The window takes
// the size it opens with on the screen; a temporary data folder holds its
// settings.
#include "DemoTanks.h"

#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"
#include "ui/ChartExport.h"
#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace
{

// A year of daily readings of each demo tank, up to now, in display units.
DeviceTable demoTable(const QDateTime &now, int count)
{
    DeviceTable table;
    const std::vector<DemoTank> demo = DemoTanks();
    table.DeviceCount = count;
    for (int n = 1; n <= count; ++n) {
        const DemoTank &d = demo[size_t((n - 1) % 3)];
        DeviceRecord &r = table[n];
        r = d.rec;
        if (count > 3)
            r.Tankbezeichnung = d.rec.Tankbezeichnung + QStringLiteral(" %1").arg(n);
        DemoModel model(d.kind, double(d.rec.Tankvolumen) * (0.4 + 0.01 * (n % 50)), quint64(n));
        for (int day = 365; day >= 0; --day) {
            const QDateTime t = now.addDays(-day).addSecs(-n * 300);
            model.advance(t, 1.0);
            r.History.append(t, ScaledLevel(qint32(model.level()), r), model.temperature());
        }
    }
    return table;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: tankmon_chart_shots LNGID one|all|many|readout|export|cli OUT.png\n");
        return 2;
    }
    SetLngId(QString::fromLatin1(argv[1]).toInt());
    const QString kind = QString::fromLatin1(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    QTemporaryDir dir;
    RunConfig config;
    config.dataFolder = dir.path() + QLatin1Char('/');
    RunSwitches switches(config);
    Settings settings(switches);
    const QDateTime now = Clock::Naive(QDate(2026, 12, 7), QTime(14, 30));
    const bool many =
        kind == QLatin1String("many") || kind == QLatin1String("export") || kind == QLatin1String("cli");
    const DeviceTable table = demoTable(now, many ? 56 : 3);
    if (kind == QLatin1String("cli")) {
        const QByteArray png =
            ChartImage(table, ChartOptions{}, 0, TankHistory::toSecs(now), out, QSize(1200, 700));
        QFile f(out);
        return f.open(QIODevice::WriteOnly) && f.write(png) == png.size() ? 0 : 1;
    }
    settings.write(Cfg::GeraeteAktuell, 2);
    settings.write(Cfg::GrafikTank, kind == QLatin1String("one") ? -1 : 0);
    QuietUi ui;
    frmGrafikHistorie *win =
        frmGrafikHistorie::OpenForm(table, settings, ui, CurrentTexts(), switches, [now] { return now; });
    if (!win)
        return 1;
    int status = 1;
    QTimer::singleShot(700, [&] {
        if (kind == QLatin1String("many")) {
            auto *legend = win->findChild<QListWidget *>(QStringLiteral("lstLegende"));
            legend->item(4)->setCheckState(Qt::Unchecked);
            legend->setCurrentRow(1);
            emit legend->itemClicked(legend->item(1));
            legend->scrollToItem(legend->item(30));
        }
        if (kind == QLatin1String("readout")) {
            auto *chart = win->findChild<ChartPlot *>(QStringLiteral("Chart2D"));
            const ChartSeries &s = win->picture().series[1];
            const PlotMapping map = chart->mapping();
            const size_t i = s.keys.size() * 2 / 3;
            const QPointF p(map.x(s.keys[i]) + 3, map.y[size_t(s.axis)](s.values[i]) - 2);
            QMouseEvent move(QEvent::MouseMove, p, chart->mapToGlobal(p), Qt::NoButton, Qt::NoButton, {});
            QApplication::sendEvent(chart, &move);
        }
        QTimer::singleShot(300, [&] {
            if (kind == QLatin1String("export")) {
                // What the window's PNG export writes.
                ChartPlot plot;
                const TimeValueRange &v = win->chartState().view;
                const QByteArray png = ComposeChartImage(
                    plot, win->picture(),
                    {win->findChild<QComboBox *>(QStringLiteral("ComboTank"))->currentText(),
                     ViewSpanText(v.firstTime, v.lastTime, LanguageLocale(LngId()))},
                    out, QSize(1400, 860));
                QFile f(out);
                status = f.open(QIODevice::WriteOnly) && f.write(png) == png.size() ? 0 : 1;
                app.quit();
                return;
            }
            status = win->grab().save(out) ? 0 : 1;
            std::printf("%s: %dx%d\n", qPrintable(out), win->width(), win->height());
            app.quit();
        });
    });
    app.exec();
    return status;
}
