#include "ChartCombos.h"

#include "ChartData.h"
#include "lang/Lng.h"

#include <cstdlib>

QString TankLabel(const DeviceRecord &rec, int n)
{
    const QString name =
        rec.Tankbezeichnung.isEmpty() ? LngText(173) + QString::number(rec.SN) : rec.Tankbezeichnung;
    return QString::number(n) + QStringLiteral(": ") + name;
}

std::vector<ComboEntry> ComboTankEntries(const DeviceTable &table)
{
    std::vector<ComboEntry> entries;
    for (int n = 1; n <= table.DeviceCount; ++n) {
        const DeviceRecord &rec = table[n];
        if (rec.History.count() == 0)
            continue;
        entries.push_back({TankLabel(rec, n), n});
    }
    if (table.DeviceCount >= 2)
        entries.push_back({LngText(165) + QStringLiteral(" 1-") + QString::number(table.DeviceCount) +
                               QStringLiteral(" (") + LngText(170) + QStringLiteral(")"),
                           0});
    return entries;
}

int ComboTankSelection(const std::vector<ComboEntry> &entries, int deviceCount, int currentTank)
{
    return NearestEntry(entries, deviceCount >= 2 ? 0 : currentTank);
}

int DataYears(qint64 dataFirst, qint64 now)
{
    return (MonthBoundaries(dataFirst, now) + 11) / 12;
}

std::vector<ComboEntry> ComboZeitraumEntries(int years)
{
    std::vector<ComboEntry> entries{{QStringLiteral("1 ") + LngText(166), 1},
                                    {QStringLiteral("3 ") + LngText(167), 3}};
    for (int y = 1; y <= years; ++y)
        entries.push_back({QString::number(y) + QLatin1Char(' ') + LngText(y == 1 ? 168 : 169), 12 * y});
    return entries;
}

int ComboZeitraumSelection(const std::vector<ComboEntry> &entries, int saved, int years)
{
    return NearestEntry(entries, saved > 0 ? saved : years);
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
