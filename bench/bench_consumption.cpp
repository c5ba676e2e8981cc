// The consumption of all tanks over 56 full histories (500000 points each),
// against one plain pass summing the same time and value arrays, measured in
// the same run. Medians of several runs.
//
//   bench_consumption [--runs <n>]
#include "consumption/Consumption.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr int kTanks = 56;
constexpr int kPoints = TankHistory::kMaxEntries;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A point every ten minutes for about nine and a half years: a slow fall with
// a little noise, refilled over three points whenever it runs low.
void fill(DeviceRecord &rec, int tank)
{
    rec.Tankvolumen = 10000;
    TankHistory &h = rec.History;
    h.HistoryTimes.reserve(kPoints + 1);
    h.HistoryValues.reserve(kPoints + 1);
    h.HistoryTemps.reserve(kPoints + 1);
    const qint64 t0 = TankHistory::toSecs(QDateTime(QDate(2017, 1, 1), QTime(0, 0), Qt::UTC)) + tank * 7;
    double level = 9000 - tank * 50;
    int refill = 0;
    for (int i = 0; i < kPoints; ++i) {
        if (refill > 0) {
            level += 2500;
            --refill;
        } else {
            level -= 0.4 + (i % 7) * 0.05;
            if (level < 1000)
                refill = 3;
        }
        h.HistoryTimes.push_back(t0 + qint64(i) * 600);
        h.HistoryValues.push_back(level);
        h.HistoryTemps.push_back(12);
    }
}

double plainPass(const DeviceTable &t)
{
    double sum = 0;
    for (int d = 1; d <= t.DeviceCount; ++d) {
        const TankHistory &h = t[d].History;
        const int n = h.count();
        for (int i = 1; i <= n; ++i)
            sum += h.HistoryValues[size_t(i)] + double(h.HistoryTimes[size_t(i)]);
    }
    return sum;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 11;
    const QStringList args = app.arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--runs")); i > 0 && i + 1 < args.size())
        runs = std::max(1, args[i + 1].toInt());
    SetLngId(1);

    auto devices = std::make_unique<DeviceTable>();
    devices->DeviceCount = kTanks;
    for (int d = 1; d <= kTanks; ++d)
        fill((*devices)[d], d);

    ConsumptionRequest request;
    request.selection = 0;
    request.currentYear = 2026;

    std::vector<double> ours, base;
    volatile double sink = 0;
    double total = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        sink = sink + plainPass(*devices);
        base.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const ConsumptionResult result = ComputeConsumption(*devices, request);
        ours.push_back(timer.nsecsElapsed() / 1e6);
        total = result.groups.front().table.total();
    }
    const double o = median(ours), b = median(base);
    std::printf("ComputeConsumption, all of %d tanks x %d points %9.2f ms   plain pass %8.2f ms   "
                "ratio %5.2f (target <= 5, and < 200 ms)\n",
                kTanks, kPoints, o, b, o / b);
    std::printf("  runs: ours %.2f..%.2f ms, plain pass %.2f..%.2f ms; overall total %.0f\n",
                *std::min_element(ours.begin(), ours.end()), *std::max_element(ours.begin(), ours.end()),
                *std::min_element(base.begin(), base.end()), *std::max_element(base.begin(), base.end()),
                total);
    return 0;
}
