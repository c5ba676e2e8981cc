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
    std::vector<ComboEntry> entries{{texts(1380), kLastDay},
                                    {texts(1381), kLastWeek},
                                    {QStringLiteral("1 ") + texts(166), 1},
                                    {QStringLiteral("3 ") + texts(167), 3}};
    for (int y = 1; y <= years; ++y)
        entries.push_back({QString::number(y) + QLatin1Char(' ') + texts(y == 1 ? 168 : 169), 12 * y});
    entries.push_back({texts(750), kAllData});
    return entries;
}

int ComboZeitraumSelection(const std::vector<ComboEntry> &entries, int saved)
{
    return NearestEntry(entries, saved > 0 || saved < kCustomRange ? saved : kAllData);
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
        else if (months != kCustomRange && endsNow && TimeRangeStart(v.lastTime, months) == v.firstTime)
            return i;
    }
    const bool coversData = v.firstTime <= d.firstTime && v.lastTime >= d.lastTime - slack;
    return coversData ? all : -1;
}

qint64 TimeRangeStart(qint64 last, int value)
{
    // The months of a month entry and one more (the one-month entry shows two).
    if (value < kCustomRange)
        return last + qint64(value) * 3600;
    return TankHistory::fromSecs(last).addMonths(-(value + 1)).toSecsSinceEpoch();
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

QString ViewSpanText(qint64 first, qint64 last, const QLocale &locale)
{
    // The day before the month in German takes a full stop, as on the time axis.
    QString format =
        locale.language() == QLocale::German ? QStringLiteral("d. MMM yyyy") : QStringLiteral("d MMM yyyy");
    if (last - first < 2 * 86400)
        format += QStringLiteral(" HH:mm");
    const auto text = [&](qint64 t) { return locale.toString(TankHistory::fromSecs(t), format); };
    return text(first) + QStringLiteral(" \u2013 ") + text(last);
}

QString ChartFileName(const QString &title, qint64 last, const QString &extension)
{
    QString name;
    for (const QChar c : title) {
        const bool bad = c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c);
        name += bad ? QLatin1Char(' ') : c;
    }
    name = name.simplified();
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return (name.isEmpty() ? QString() : name + QLatin1Char(' ')) +
           TankHistory::fromSecs(last).date().toString(Qt::ISODate) + QLatin1Char('.') + extension;
}
