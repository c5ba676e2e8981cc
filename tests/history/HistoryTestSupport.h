#pragma once
// The history tests' common ground: a data folder that is also the log
// folder, a clock the test sets, a device table with its recorder, and a
// comparison of histories entry by entry.
#include "history/HistoryRecorder.h"
#include "history/TankHistoryLoader.h"

#include "core/Clock.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

class HistoryTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        switches.setLogFolder(dataDir());
    }
    QString file(int n) const { return dataDir() + QStringLiteral("Tank%1.csv").arg(n); }
    // Tank n with a raw level, unit code, scale code and temperature.
    void tank(int n, qint32 raw, qint32 unit, qint16 scale, qint16 temp)
    {
        DeviceRecord &r = (*table)[n];
        r.Volumen = raw;
        r.Einheit = unit;
        r.DezPunkt = scale;
        r.Temperatur = temp;
        table->DeviceCount = std::max(table->DeviceCount, n);
    }
    // Tank n as a loader that has never seen its file reads it.
    TankHistory load(int n)
    {
        TankHistory h;
        TankHistoryLoader(switches, clock).Load(n, h);
        return h;
    }

    QDateTime now = At(2026, 12, 5, 15, 9, 54);
    ClockFn clock = [this] { return now; };
    ScriptedUi ui;
    std::unique_ptr<DeviceTable> table = std::make_unique<DeviceTable>();
    int saves = 0;
    const Texts texts{1};
    HistoryRecorder recorder{*table, switches, settings, ui, texts, clock, [this] { ++saves; }};
};

// Equal entries; a negative zero is told from a positive one.
inline ::testing::AssertionResult sameHistory(const TankHistory &a, const TankHistory &b)
{
    const auto entries = [](const TankHistory &h) {
        std::vector<std::tuple<qint64, double, bool, qint32>> e;
        for (size_t i = 0;
             i < std::max({h.HistoryTimes.size(), h.HistoryValues.size(), h.HistoryTemps.size()}); ++i)
            e.emplace_back(h.HistoryTimes.at(i), h.HistoryValues.at(i), std::signbit(h.HistoryValues[i]),
                           h.HistoryTemps.at(i));
        return e;
    };
    const auto x = entries(a), y = entries(b);
    if (x == y)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "sizes " << x.size() << " and " << y.size() << ", first difference at "
           << std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin();
}
