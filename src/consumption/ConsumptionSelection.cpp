#include "ConsumptionSelection.h"

#include "lang/Lng.h"
#include "model/DeviceRecord.h"

bool HasConsumptionData(const DeviceTable &devices)
{
    for (int d = 1; d <= devices.DeviceCount; ++d)
        if (devices[d].History.count() > 0)
            return true;
    return false;
}

QList<ConsumptionEntry> ConsumptionEntries(const DeviceTable &devices, const Texts &texts)
{
    QList<ConsumptionEntry> entries;
    for (int d = 1; d <= devices.DeviceCount; ++d) {
        const DeviceRecord &rec = devices[d];
        if (rec.History.count() == 0)
            continue;
        entries.append({QString::number(d) + QStringLiteral(": ") + ConsumptionTankName(rec, texts), d});
    }
    if (devices.DeviceCount > 1)
        entries.append({texts(364) + QStringLiteral(" 1-") + QString::number(devices.DeviceCount), 0});
    return entries;
}

QString ConsumptionEntryText(const DeviceTable &devices, int number, const Texts &texts)
{
    for (const ConsumptionEntry &e : ConsumptionEntries(devices, texts))
        if (e.number == number)
            return e.text;
    return {};
}

QString ConsumptionTankName(const DeviceRecord &rec, const Texts &texts)
{
    return rec.Tankbezeichnung.isEmpty() ? texts(381) + QString::number(rec.SN) : rec.Tankbezeichnung;
}

QString ConsumptionCaption(const std::vector<ConsumptionGroup> &groups, const Texts &texts)
{
    QStringList units;
    for (const ConsumptionGroup &g : groups)
        if (!g.unit.isEmpty())
            units << g.unit;
    units.removeDuplicates();
    if (units.isEmpty())
        return texts(385);
    return texts(385) + QStringLiteral(" (") + units.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QList<MonthAmount> LastMonths(const ConsumptionTable &table, int year, int month, int count, int firstMonth)
{
    QList<MonthAmount> months;
    int y = year, m = month;
    for (int i = 0; i < count && MonthIndex(y, m) >= firstMonth; ++i) {
        months.prepend({y, m, table.month(y, m).value_or(0)});
        if (--m == 0) {
            m = 12;
            --y;
        }
    }
    return months;
}
