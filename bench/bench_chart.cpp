// Chart rebuilds and replots on the largest data the program holds: 56
// tanks with 500 000 entries each (one a minute, about eleven months). Each
// figure is the median of several runs, printed with its ratio to one pass
// summing the same history arrays, measured in the same run. A rebuild is the
// chart logic's work plus handing the series to the plot and drawing it; a
// replot is one drawing of what the plot holds (a frame while panning).
// Last, the export command for all tanks as a process on 56 tank files of
// 500 000 lines, against `wc -l` over the same files.
//
//   bench_chart [--keep FOLDER] [--program PATH]
#include "BenchSupport.h"
#include "TankData.h"
#include "chart/ChartData.h"
#include "chart/ChartNavigation.h"
#include "lang/Lng.h"
#include "ui/ChartPlot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace
{

constexpr int kRuns = 7;
constexpr int kScreenWidth = 1920; // the window thins its series to the screen's width
constexpr int kEntries = TankHistory::kMaxEntries;

double medianMs(const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Median(ms);
}

// Levels that fall a little each minute and are refilled every few weeks.
std::unique_ptr<DeviceTable> fullTable(qint64 now)
{
    auto table = std::make_unique<DeviceTable>();
    table->DeviceCount = kMaxDevices;
    for (int n = 1; n <= kMaxDevices; ++n) {
        DeviceRecord &r = (*table)[n];
        r.Einheit = 0;
        r.Tankvolumen = 10000;
        TankHistory &h = r.History;
        h.HistoryTimes.resize(kEntries + 1);
        h.HistoryValues.resize(kEntries + 1);
        h.HistoryTemps.resize(kEntries + 1);
        for (int i = 1; i <= kEntries; ++i) {
            h.HistoryTimes[size_t(i)] = now - qint64(kEntries - i) * 60 - n;
            h.HistoryValues[size_t(i)] = 9000 - (i + 97 * n) % 40000 * 0.2;
            h.HistoryTemps[size_t(i)] = i % 50 == 0 ? kNoTemperature : 5 + i / 1440 % 20;
        }
    }
    return table;
}

// Runs `program --export-chart all` on dir; milliseconds.
double timeExport(const QByteArray &program, const QString &dir, const QString &output)
{
    const double ms = bench::timeCommand({program, "--export-chart", "all", "--output",
                                          QFile::encodeName(output), "--data-dir", QFile::encodeName(dir)});
    if (ms < 0) {
        std::fprintf(stderr, "the export failed\n");
        std::exit(2);
    }
    return ms;
}

void benchExport(const QByteArray &program, const QString &keep)
{
    QTemporaryDir tmp;
    const QString dir = (keep.isEmpty() ? tmp.path() : keep) + QStringLiteral("/");
    QDir().mkpath(dir);
    const QStringList files = bench::tankFiles(dir, !keep.isEmpty());
    QByteArray ini = "[Ger\xE4te]\r\nAnzahl=" + QByteArray::number(bench::kTanks) + "\r\n";
    for (int n = 1; n <= bench::kTanks; ++n)
        ini += "[Ger\xE4t" + QByteArray::number(n) + "]\r\nSN=" + QByteArray::number(1000 + n) +
               "\r\nEinheit=0\r\nTankvolumen=5000\r\n";
    bench::writeFile(dir + QStringLiteral("Tankmon.ini"), ini);
    const QString output = tmp.path() + QStringLiteral("/all.png");
    std::vector<double> wc, ours;
    for (int i = 0; i < 5; ++i) {
        wc.push_back(bench::timeWc(files));
        ours.push_back(timeExport(program, dir, output));
    }
    const double w = Median(wc), o = Median(ours);
    std::printf("export all tanks (%d x %d lines): %.0f ms, wc -l %.0f ms, ratio %.2f (target <= 6)\n",
                bench::kTanks, bench::kLines, o, w, o / w);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QByteArray program = TANKMON_PROGRAM;
    QString keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--keep") == 0)
            keep = QString::fromLocal8Bit(argv[i + 1]);
        else if (qstrcmp(argv[i], "--program") == 0)
            program = argv[i + 1];
    }
    ChartPlot plot;
    plot.resize(1200, 700);
    plot.show();
    const qint64 now = QDateTime(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const auto table = fullTable(now);
    const Texts texts(2);

    volatile double sink = 0;
    const double baseline = medianMs([&] {
        double sum = 0;
        for (int n = 1; n <= table->DeviceCount; ++n) {
            const TankHistory &h = (*table)[n].History;
            for (int i = 1; i <= h.count(); ++i)
                sum += double(h.HistoryTimes[size_t(i)]) + h.HistoryValues[size_t(i)] +
                       h.HistoryTemps[size_t(i)];
        }
        sink = sum;
    });
    std::printf("baseline: one pass summing %d x %d history entries: %.1f ms\n", kMaxDevices, kEntries,
                baseline);

    struct Case {
        const char *name;
        int tank;
        qint64 days; // 0 = the whole range
    };
    const Case cases[] = {
        {"all tanks, whole range (daily)", 0, 0},
        {"all tanks, last 39 days (every point)", 0, 39},
        {"one tank, whole range (every point)", 7, 0},
    };
    for (const Case &c : cases) {
        ChartOptions o;
        o.tank = c.tank;
        ChartState state;
        OpenChartRange(state, *table, o, now);
        ZoomAll(state, now);
        if (c.days)
            state.view.firstTime = now - c.days * 86400;
        const auto countPoints = [&](int columns) {
            const auto pic = BeginRebuild(state, *table, o, now, texts, columns);
            FinishRebuild(state, {});
            size_t points = 0;
            for (const ChartSeries &s : pic.series)
                points += s.keys.size();
            return points;
        };
        const size_t shown = countPoints(0), drawn = countPoints(kScreenWidth);
        const double logic = medianMs([&] { countPoints(kScreenWidth); });
        const double rebuild = medianMs([&] {
            const auto pic = BeginRebuild(state, *table, o, now, texts, kScreenWidth);
            plot.showPicture(pic);
            FinishRebuild(state, plot.plotRect());
        });
        // A frame while panning: the view moved by a hundredth, nothing rebuilt.
        const double span = double(state.view.lastTime - state.view.firstTime);
        int frame = 0;
        const double replot = medianMs([&] {
            const double shift = span / 100 * (++frame % 2);
            plot.xAxis->setRange(double(state.view.firstTime) + shift, double(state.view.lastTime) + shift);
            plot.replot();
        });
        std::printf("%s: %zu points in the view, %zu drawn at %d pixels:\n", c.name, shown, drawn,
                    kScreenWidth);
        std::printf("  chart logic %7.1f ms (%.2f x baseline)\n", logic, logic / baseline);
        std::printf("  rebuild     %7.1f ms (%.2f x baseline, target <= 300 ms)\n", rebuild,
                    rebuild / baseline);
        std::printf("  replot      %7.1f ms (%.2f x baseline, target <= 33 ms)\n", replot, replot / baseline);
    }
    benchExport(program, keep);
    return sink < 0 ? 1 : 0;
}
