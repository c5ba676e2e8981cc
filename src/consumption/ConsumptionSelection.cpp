#include "ConsumptionSelection.h"

#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <optional>

bool HasConsumptionData(const DeviceTable &devices)
{
    for (int d = 1; d <= devices.DeviceCount; ++d)
        if (devices[d].History.count() > 0)
            return true;
    return false;
}

QList<ConsumptionEntry> ConsumptionEntries(const DeviceTable &devices)
{
    QList<ConsumptionEntry> entries;
    for (int d = 1; d <= devices.DeviceCount; ++d) {
        const DeviceRecord &rec = devices[d];
        if (rec.History.count() == 0)
            continue;
        const QString name =
            rec.Tankbezeichnung.isEmpty() ? LngText(381) + QString::number(rec.SN) : rec.Tankbezeichnung;
        entries.append({QString::number(d) + QStringLiteral(": ") + name, d});
    }
    if (devices.DeviceCount > 1)
        entries.append({LngText(364) + QStringLiteral(" 1-") + QString::number(devices.DeviceCount), 0});
    return entries;
}

QString ConsumptionEntryText(const DeviceTable &devices, int number)
{
    for (const ConsumptionEntry &e : ConsumptionEntries(devices))
        if (e.number == number)
            return e.text;
    return {};
}

ConsumptionUnit ConsumptionUnitOf(const DeviceTable &devices, int selection)
{
    if (selection > 0)
        return {selection <= devices.DeviceCount ? UnitName(devices[selection].Einheit, true) : QString(),
                {}};
    QStringList units; // the distinct ones, in device order
    std::optional<QString> common;
    bool differ = false;
    for (int d = 1; d <= devices.DeviceCount; ++d) {
        if (devices[d].History.count() == 0)
            continue;
        const QString u = UnitName(devices[d].Einheit, true);
        differ = differ || (common && u != *common);
        common = common.value_or(u);
        if (!u.isEmpty() && !units.contains(u))
            units << u;
    }
    return differ ? ConsumptionUnit{QString(), units} : ConsumptionUnit{common.value_or(QString()), {}};
}

QString ConsumptionCaption(const ConsumptionUnit &unit)
{
    if (unit.mixed.isEmpty())
        return LngText(385);
    return LngText(385) + QStringLiteral(" (") + unit.mixed.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QList<MonthAmount> LastMonths(const ConsumptionTable &table, int year, int month, int count)
{
    QList<MonthAmount> months;
    int y = year, m = month;
    for (int i = 0; i < count; ++i) {
        months.prepend({y, m, table.month(y, m).value_or(0)});
        if (--m == 0) {
            m = 12;
            --y;
        }
    }
    return months;
}
