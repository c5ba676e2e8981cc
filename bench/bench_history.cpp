// Tank-file loading against `wc -l` on the same files, measured in the same
// run: one file of 500000 lines, the start-up load of 56 such files, the
// resident memory per loaded entry and the client refresh of 56 tanks.
//
//   bench_history [--dir <folder>] [--runs <n>] [--keep <folder>]
//
// The files are generated into a temporary folder (below --dir) and removed
// afterwards; --keep generates them once into the given folder and reuses
// them on the next run (the refresh part is then left out). Figures are medians of the runs; ratios are
// against the baseline measured in the same run.
#include "TankData.h"

#include "history/TankHistoryLoader.h"

#include "core/Clock.h"
#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunSwitches.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace
{
// The run options and switches the loader reads its folders from.
RunConfig g_config;
RunSwitches *g_switches = nullptr;
using bench::kLines;
using bench::kTanks;
using bench::median;
using bench::timeWc;
using bench::writeFile;

// Resident set size in bytes.
qint64 rss()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void appendLine(const QString &path, const QDateTime &t, int level)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "cannot append %s\n", qPrintable(path));
        std::exit(2);
    }
    f.write(FormatDateText(t).toLatin1() + ',' + QByteArray::number(level) + ",Liter,7\r\n");
}

// The medians and their ratio; the spread of the runs shows how busy the
// machine was.
void print(const char *what, const std::vector<double> &ours, const std::vector<double> &base, double target)
{
    const double o = median(ours), b = median(base);
    std::printf("%-44s %9.2f ms   wc -l %8.2f ms   ratio %5.2f (target <= %.0f)\n", what, o, b, o / b,
                target);
    std::printf("  runs: ours %.2f..%.2f ms, wc -l %.2f..%.2f ms\n",
                *std::min_element(ours.begin(), ours.end()), *std::max_element(ours.begin(), ours.end()),
                *std::min_element(base.begin(), base.end()), *std::max_element(base.begin(), base.end()));
}

// Client refresh of `tanks` loaded tanks: unchanged, then after one line per file.
void benchRefresh(const QString &dir, const QStringList &files, int lines, int runs)
{
    g_config.clientMode = true;
    g_switches->setClientPath(dir);
    auto table = std::make_unique<DeviceTable>();
    TankHistoryLoader loader(*g_switches, SystemClock());
    loader.StartPreload(kTanks);
    for (int n = 1; n <= kTanks; ++n)
        loader.LoadOrTake(n, (*table)[n].History);

    std::vector<double> unchanged, grown;
    int reloaded = 0, appendedOk = 0;
    QDateTime t = SystemClock()();
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer e;
        e.start();
        for (int n = 1; n <= kTanks; ++n)
            if (loader.Refresh(n, (*table)[n].History) != TankHistoryLoader::Refreshed::Unchanged)
                ++reloaded;
        unchanged.push_back(double(e.nsecsElapsed()) / 1e6);

        t = t.addSecs(1);
        for (int n = 1; n <= kTanks; ++n)
            appendLine(files[n - 1], t, 1000 + r);
        e.start();
        for (int n = 1; n <= kTanks; ++n) {
            const auto how = loader.Refresh(n, (*table)[n].History);
            if (how == TankHistoryLoader::Refreshed::Reloaded)
                ++reloaded;
            else if (how == TankHistoryLoader::Refreshed::Appended)
                ++appendedOk;
        }
        grown.push_back(double(e.nsecsElapsed()) / 1e6);
    }
    std::printf("client refresh, 56 tanks of %d lines, unchanged  %9.3f ms   (target < 20)\n", lines,
                median(unchanged));
    std::printf("client refresh, 56 tanks of %d lines, +1 line    %9.3f ms   (target < 20)"
                "   [%d incremental, %d full reloads; tank 1 holds %d entries]\n",
                lines, median(grown), appendedOk, reloaded, (*table)[1].History.count());
    g_config.clientMode = false;
    g_switches->setClientPath(QString());
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    RunSwitches switches(g_config);
    g_switches = &switches;
    QString base, keep;
    int runs = 7;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--dir") && i + 1 < argc)
            base = QString::fromLocal8Bit(argv[++i]);
        else if (a == QLatin1String("--keep") && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else if (a == QLatin1String("--runs") && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
    }
    QTemporaryDir tmp(base.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_history-XXXXXX")
                                     : base + QStringLiteral("/bench_history-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 2;
    }
    const QString dir = Paths::WithSeparator(keep.isEmpty() ? tmp.path() : keep);
    if (!keep.isEmpty())
        QDir().mkpath(keep);
    g_config.dataFolder = dir;
    g_switches->setLogFolder(dir);

    std::printf("generating %d tank files of %d lines in %s ...\n", kTanks, kLines, qPrintable(dir));
    std::fflush(stdout);
    const QStringList files = bench::tankFiles(dir, !keep.isEmpty());
    std::printf("file size %.1f MB each; %d runs, medians\n\n", double(QFileInfo(files[0]).size()) / 1e6,
                runs);

    // Warm the page cache for both sides.
    timeWc(files);

    // 1. One file.
    {
        std::vector<double> ours, wc;
        int entries = 0;
        TankHistoryLoader loader(*g_switches, SystemClock());
        for (int r = 0; r < runs; ++r) {
            wc.push_back(timeWc({files[0]}));
            auto h = std::make_unique<TankHistory>();
            QElapsedTimer e;
            e.start();
            loader.Load(1, *h);
            ours.push_back(double(e.nsecsElapsed()) / 1e6);
            entries = h->count();
        }
        print("load one file (500000 lines)", ours, wc, 3);
        std::printf("  entries loaded: %d\n", entries);
    }

    // 2. Start-up: all 56 files through the parallel preload.
    {
        std::vector<double> ours, wc;
        for (int r = 0; r < runs; ++r) {
            wc.push_back(timeWc(files));
            auto table = std::make_unique<DeviceTable>();
            TankHistoryLoader loader(*g_switches, SystemClock());
            QElapsedTimer e;
            e.start();
            loader.StartPreload(kTanks);
            for (int n = 1; n <= kTanks; ++n)
                loader.LoadOrTake(n, (*table)[n].History);
            ours.push_back(double(e.nsecsElapsed()) / 1e6);
        }
        print("start-up load of 56 files", ours, wc, 3);
        std::printf("  worker threads: %d\n", TankHistoryLoader::PreloadThreads(kTanks));
    }

    // 3. Resident memory per loaded entry.
    {
        malloc_trim(0);
        const qint64 before = rss();
        auto table = std::make_unique<DeviceTable>();
        TankHistoryLoader loader(*g_switches, SystemClock());
        loader.StartPreload(kTanks);
        qint64 entries = 0, capacity = 0;
        for (int n = 1; n <= kTanks; ++n) {
            TankHistory &h = (*table)[n].History;
            loader.LoadOrTake(n, h);
            entries += h.count();
            capacity += qint64(h.HistoryTimes.capacity()) * 20;
        }
        malloc_trim(0);
        const qint64 after = rss();
        std::printf("resident memory per loaded entry             %9.2f bytes   (target <= 20)"
                    "   [%lld entries, %.1f MB resident, %.2f bytes reserved per entry]\n",
                    double(after - before) / double(entries), (long long)entries,
                    double(after - before) / 1e6, double(capacity) / double(entries));
    }

    if (!keep.isEmpty())
        return 0;
    // 4. Client refresh.
    benchRefresh(dir, files, kLines, runs);
    // The same below the cap, where the new line really becomes an entry.
    for (int n = 1; n <= kTanks; ++n)
        writeFile(files[n - 1], bench::tankFile(400000, n));
    benchRefresh(dir, files, 400000, runs);
    return 0;
}
