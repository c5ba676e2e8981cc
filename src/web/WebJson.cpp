#include "WebJson.h"
#include "lang/Lng.h"

#include "consumption/Consumption.h"
#include "model/ConditionLook.h"
#include "model/Figures.h"
#include "mqtt/MqttPayloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace
{
// Times in the records and histories are naive local times; these are the
// real ones, and back.
qint64 epochSecs(const QDateTime &naiveLocal)
{
    return QDateTime(naiveLocal.date(), naiveLocal.time(), Qt::LocalTime).toSecsSinceEpoch();
}

qint64 naiveSecs(const QDateTime &t)
{
    const QDateTime local = t.toLocalTime();
    return QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch();
}

QString tankName(const DeviceRecord &r, int n)
{
    return r.Tankbezeichnung.isEmpty() ? QStringLiteral("Tank %1").arg(n) : r.Tankbezeichnung;
}

QJsonValue orNull(std::optional<double> v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonValue temperature(qint32 t)
{
    return t == kNoTemperature ? QJsonValue(QJsonValue::Null) : QJsonValue(t);
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 12);
}
} // namespace

std::pair<int, int> WebHistoryRange(const TankHistory &h, const QDateTime &from, const QDateTime &to)
{
    const auto begin = h.HistoryTimes.begin() + 1;
    const auto end = h.HistoryTimes.end();
    // Histories are in time order: a binary search finds the window.
    const auto first = from.isValid() ? std::lower_bound(begin, end, naiveSecs(from)) : begin;
    const auto last = to.isValid() ? std::upper_bound(first, end, naiveSecs(to)) : end;
    return {int(first - h.HistoryTimes.begin()), int(last - h.HistoryTimes.begin())};
}

std::vector<int> WebHistorySample(const TankHistory &h, int first, int last, int maxPoints)
{
    std::vector<int> out;
    if (last - first <= maxPoints) {
        for (int i = first; i < last; ++i)
            out.push_back(i);
        return out;
    }
    const qint64 buckets = std::max(1, maxPoints / 2);
    const qint64 t0 = h.HistoryTimes[size_t(first)];
    const qint64 span = h.HistoryTimes[size_t(last - 1)] - t0 + 1;
    out.reserve(size_t(2 * buckets));
    qint64 bucket = -1;
    int low = -1, high = -1;
    const auto flush = [&] {
        if (low < 0)
            return;
        out.push_back(std::min(low, high));
        if (low != high)
            out.push_back(std::max(low, high));
    };
    for (int i = first; i < last; ++i) {
        const qint64 b = (h.HistoryTimes[size_t(i)] - t0) * buckets / span;
        if (b != bucket) {
            flush();
            bucket = b;
            low = high = i;
            continue;
        }
        const double v = h.HistoryValues[size_t(i)];
        if (v < h.HistoryValues[size_t(low)])
            low = i;
        if (v > h.HistoryValues[size_t(high)])
            high = i;
    }
    flush();
    return out;
}

QByteArray WebHistoryCsvLines(const TankHistory &h, int first, int last)
{
    QByteArray out;
    out.reserve((last - first) * 40);
    for (int i = first; i < last; ++i) {
        const qint32 temp = h.HistoryTemps[size_t(i)];
        out += IsoTimeWithOffset(h.time(i)).toLatin1() + ';' + number(h.HistoryValues[size_t(i)]) + ';' +
               (temp == kNoTemperature ? QByteArray() : QByteArray::number(temp)) + "\r\n";
    }
    return out;
}

QByteArray WebTanksJson(const QList<TankSnapshotPtr> &snapshots, const QDateTime &now, const Texts &texts)
{
    QJsonArray tanks;
    for (const TankSnapshotPtr &s : snapshots) {
        const DeviceRecord &r = s->record;
        std::optional<double> days = s->daysUntilEmpty(now);
        if (days)
            days = std::round(*days * 10) / 10;
        tanks.append(QJsonObject{
            {QStringLiteral("number"), s->tank},
            {QStringLiteral("serial"), r.SN},
            {QStringLiteral("name"), tankName(r, s->tank)},
            {QStringLiteral("level"), orNull(s->level)},
            {QStringLiteral("unit"), UnitSymbol(r.Einheit)},
            {QStringLiteral("percent"), orNull(s->percent)},
            {QStringLiteral("temperature"), temperature(r.Temperatur)},
            {QStringLiteral("time"),
             r.Uhrzeit.isValid() ? QJsonValue(IsoTimeWithOffset(r.Uhrzeit)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("alarm"), r.Alarm},
            {QStringLiteral("error"),
             s->fault() ? QJsonValue(-qint64(r.Volumen)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("days_until_empty"), orNull(days)},
            {QStringLiteral("state"), TankConditionName(s->status.condition)},
            {QStringLiteral("state_note"), TankStateNote(s->status, texts)},
            {QStringLiteral("loss"), s->loss},
            {QStringLiteral("consumed"), orNull(s->consumed)},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("tanks"), tanks}}).toJson(QJsonDocument::Compact);
}

QByteArray WebStateStyle()
{
    QByteArray css;
    for (const TankCondition c : ConditionsWorstFirst()) {
        const ConditionLook look = LookOf(c);
        // The sign as a CSS escape, its hex digits ended by a blank: the sheet stays ASCII.
        const QByteArray hex = QByteArray::number(look.sign.at(0).unicode(), 16);
        css += ".st-" + TankConditionName(c).toLatin1() + " { --c: " + look.colour + "; --i: " + look.ink +
               "; --s: \"\\" + hex + " \"; }\n";
    }
    return css;
}

QByteArray WebHistoryJson(const DeviceTable &t, int n, const QDateTime &from, const QDateTime &to,
                          int maxPoints)
{
    const DeviceRecord &r = t[n];
    const TankHistory &h = r.History;
    const auto [first, last] = WebHistoryRange(h, from, to);
    const std::vector<int> picked = WebHistorySample(h, first, last, maxPoints);
    // Written directly: thousands of points.
    QByteArray points;
    points.reserve(qsizetype(picked.size()) * 28);
    for (const int i : picked) {
        if (!points.isEmpty())
            points += ',';
        points +=
            '[' + QByteArray::number(epochSecs(h.time(i))) + ',' + number(h.HistoryValues[size_t(i)]) + ',' +
            (h.HistoryTemps[size_t(i)] == kNoTemperature ? QByteArrayLiteral("null")
                                                         : QByteArray::number(h.HistoryTemps[size_t(i)])) +
            ']';
    }
    QJsonObject head{{QStringLiteral("tank"), n},
                     {QStringLiteral("name"), tankName(r, n)},
                     {QStringLiteral("unit"), UnitSymbol(r.Einheit)}};
    QByteArray out = QJsonDocument(head).toJson(QJsonDocument::Compact);
    out.chop(1);
    return out + ",\"points\":[" + points + "]}";
}

QByteArray WebHistoryCsv(const DeviceTable &t, int n, const QDateTime &from, const QDateTime &to)
{
    const TankHistory &h = t[n].History;
    const auto [first, last] = WebHistoryRange(h, from, to);
    return kWebHistoryCsvHeading + WebHistoryCsvLines(h, first, last);
}

QByteArray WebConsumptionJson(int n, const ConsumptionGroup &g)
{
    const ConsumptionTable &table = g.table;
    QJsonArray years;
    for (int row = 1; row <= table.yearRows(); ++row) {
        const int year = table.newestYear() - row + 1;
        QJsonArray months;
        for (int m = 1; m <= 12; ++m)
            months.append(orNull(table.month(year, m)));
        // The row total is a number; no language is needed for it.
        const ConsumptionTable::Cell total = table.cell(row, ConsumptionTable::kColumns, Texts());
        years.append(QJsonObject{
            {QStringLiteral("year"), year},
            {QStringLiteral("months"), months},
            {QStringLiteral("total"), total.kind == ConsumptionTable::Cell::Number
                                          ? QJsonValue(total.number)
                                          : QJsonValue(QJsonValue::Null)},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("tank"), n},
                                     {QStringLiteral("unit"), g.unit},
                                     {QStringLiteral("years"), years},
                                     {QStringLiteral("total"), table.total()}})
        .toJson(QJsonDocument::Compact);
}

QString PrometheusLabelValue(const QString &v)
{
    QString out;
    out.reserve(v.size());
    for (const QChar c : v) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray WebMetricsText(const QList<TankSnapshotPtr> &snapshots, const QDateTime &now,
                          const WebCounters &counters)
{
    struct Family {
        const char *name;
        const char *help;
        QByteArray samples;
    };
    Family level{"tankmon_level", "Content of the tank in its unit", {}};
    Family percent{"tankmon_percent", "Fill level in percent of the capacity", {}};
    Family temp{"tankmon_temperature_celsius", "Temperature at the device", {}};
    Family days{"tankmon_days_until_empty", "Days until the tank is empty at its recent use", {}};
    Family last{"tankmon_last_telegram_timestamp_seconds", "Time of the last evaluated telegram", {}};
    Family alarm{"tankmon_alarm", "1 while the device reports its alarm", {}};
    Family fault{"tankmon_fault", "1 while the device reports an error code", {}};
    Family loss{"tankmon_loss", "1 while a loss (a leak, a theft) of the tank is open", {}};
    Family state{"tankmon_state",
                 "The tank's state (ok, low, very_low, loss, fault, silent, alarm) as a label, always 1",
                 {}};
    Family consumed{
        "tankmon_consumed_total", "Consumption since the first history point, in the unit label", {}};
    for (const TankSnapshotPtr &s : snapshots) {
        const DeviceRecord &r = s->record;
        const int n = s->tank;
        const QByteArray tank = "{tank=\"" + QByteArray::number(n) + '"';
        const QByteArray labels = tank + ",serial=\"" + QByteArray::number(r.SN) + "\",name=\"" +
                                  PrometheusLabelValue(tankName(r, n)).toUtf8() + "\",unit=\"" +
                                  PrometheusLabelValue(UnitSymbol(r.Einheit)).toUtf8() + "\"}";
        const QByteArray short_ = tank + '}';
        // A figure that is not known has no sample rather than a made-up one.
        if (s->level)
            level.samples += QByteArray(level.name) + labels + ' ' + number(*s->level) + '\n';
        if (s->percent)
            percent.samples += QByteArray(percent.name) + short_ + ' ' + number(*s->percent) + '\n';
        if (r.Temperatur != kNoTemperature)
            temp.samples += QByteArray(temp.name) + short_ + ' ' + QByteArray::number(r.Temperatur) + '\n';
        if (const std::optional<double> d = s->daysUntilEmpty(now))
            days.samples += QByteArray(days.name) + short_ + ' ' + number(*d) + '\n';
        if (r.Uhrzeit.isValid())
            last.samples +=
                QByteArray(last.name) + short_ + ' ' + QByteArray::number(epochSecs(r.Uhrzeit)) + '\n';
        alarm.samples += QByteArray(alarm.name) + short_ + (r.Alarm ? " 1\n" : " 0\n");
        fault.samples += QByteArray(fault.name) + short_ + (s->fault() ? " 1\n" : " 0\n");
        loss.samples += QByteArray(loss.name) + short_ + (s->loss ? " 1\n" : " 0\n");
        state.samples += QByteArray(state.name) + tank + ",state=\"" +
                         TankConditionName(s->status.condition).toLatin1() + "\"} 1\n";
        // The meter never goes back, as a counter must; its unit is a label,
        // as tanks count in litres, cubic metres or kilowatt hours.
        if (s->consumed)
            consumed.samples += QByteArray(consumed.name) + tank + ",unit=\"" +
                                PrometheusLabelValue(UnitSymbol(r.Einheit)).toUtf8() + "\"} " +
                                number(*s->consumed) + '\n';
    }
    QByteArray out;
    for (const Family *f : {&level, &percent, &temp, &days, &last, &alarm, &fault, &loss, &state})
        out +=
            QByteArray("# HELP ") + f->name + ' ' + f->help + "\n# TYPE " + f->name + " gauge\n" + f->samples;
    out += QByteArray("# HELP ") + consumed.name + ' ' + consumed.help + "\n# TYPE " + consumed.name +
           " counter\n" + consumed.samples;
    const auto counter = [&out](const char *name, const char *help, const char *label,
                                const QMap<QString, qint64> &values) {
        out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " counter\n";
        for (auto it = values.begin(); it != values.end(); ++it)
            out += QByteArray(name) + '{' + label + "=\"" + PrometheusLabelValue(it.key()).toUtf8() + "\"} " +
                   QByteArray::number(it.value()) + '\n';
    };
    counter("tankmon_telegrams_total", "Telegrams evaluated, by link", "link", counters.telegrams);
    counter("tankmon_emails_total", "Notification e-mails, by result", "result", counters.emails);
    if (counters.mqttConnected)
        out += QByteArray("# HELP tankmon_mqtt_connected 1 while the MQTT broker is connected\n"
                          "# TYPE tankmon_mqtt_connected gauge\ntankmon_mqtt_connected ") +
               (*counters.mqttConnected ? "1\n" : "0\n");
    return out;
}
