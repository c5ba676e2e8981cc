#include "ChartCombos.h"

#include "ChartData.h"
#include "lang/Lng.h"

#include <algorithm>
#include <cstdlib>

QString TankLabel(const DeviceRecord &rec, int n, const Texts &texts)
{
    const QString name =
        rec.Tankbezeichnung.isEmpty() ? texts(173) + QString::number(rec.SN) : rec.Tankbezeichnung;
    return QString::number(n) + QStringLiteral(": ") + name;
}

std::vector<ComboEntry> ComboTankEntries(const DeviceTable &table, const Texts &texts)
{
    std::vector<ComboEntry> entries;
    for (int n = 1; n <= table.DeviceCount; ++n) {
        const DeviceRecord &rec = table[n];
        if (rec.History.count() == 0)
            continue;
        entries.push_back({TankLabel(rec, n, texts), n});
    }
    if (table.DeviceCount >= 2)
        entries.push_back({texts(165) + QStringLiteral(" 1-") + QString::number(table.DeviceCount) +
                               QStringLiteral(" (") + texts(170) + QStringLiteral(")"),
                           0});
    return entries;
}

int ComboTankSelection(const std::vector<ComboEntry> &entries, int saved, int currentTank)
{
    const auto has = [&](int value) {
        return std::any_of(entries.begin(), entries.end(),
                           [value](const ComboEntry &e) { return e.value == value; });
    };
    if (saved == 0 && has(0))
        return NearestEntry(entries, 0);
    if (currentTank > 0 && has(currentTank))
        return NearestEntry(entries, currentTank);
    if (saved > 0 && has(saved))
        return NearestEntry(entries, saved);
    return NearestEntry(entries, has(0) ? 0 : currentTank);
}

int DataYears(qint64 dataFirst, qint64 now)
{
    return (MonthBoundaries(dataFirst, now) + 11) / 12;
}

std::vector<ComboEntry> ComboZeitraumEntries(int years, const Texts &texts)
{
    std::vector<ComboEntry> entries{{QStringLiteral("1 ") + texts(166), 1},
                                    {QStringLiteral("3 ") + texts(167), 3}};
    for (int y = 1; y <= years; ++y)
        entries.push_back({QString::number(y) + QLatin1Char(' ') + texts(y == 1 ? 168 : 169), 12 * y});
    entries.push_back({texts(750), kAllData});
    return entries;
}

int ComboZeitraumSelection(const std::vector<ComboEntry> &entries, int saved)
{
    return NearestEntry(entries, saved > 0 ? saved : kAllData);
}

int MatchingTimeRange(const std::vector<ComboEntry> &entries, const ChartState &state)
{
    const TimeValueRange &v = state.view, &d = state.data;
    const qint64 slack = std::max<qint64>(60, (v.lastTime - v.firstTime) / 100);
    const bool endsNow = v.lastTime <= d.lastTime && d.lastTime - v.lastTime <= slack;
    int all = -1;
    for (int i = 0; i < int(entries.size()); ++i) {
        const int months = entries[size_t(i)].value;
        if (months == kAllData)
            all = i;
        else if (months > 0 && endsNow &&
                 TankHistory::fromSecs(v.lastTime).addMonths(-(months + 1)).toSecsSinceEpoch() == v.firstTime)
            return i;
    }
    const bool coversData = v.firstTime <= d.firstTime && v.lastTime >= d.lastTime - slack;
    return coversData ? all : -1;
}

ComboEntry CustomRangeEntry(const Texts &texts)
{
    return {texts(751), kCustomRange};
}

int NearestEntry(const std::vector<ComboEntry> &entries, int value)
{
    int best = -1;
    for (int i = 0; i < int(entries.size()); ++i)
        if (best < 0 ||
            std::abs(entries[size_t(i)].value - value) < std::abs(entries[size_t(best)].value - value))
            best = i;
    return best;
}
