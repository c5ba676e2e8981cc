#include "WebJson.h"
#include "lang/Lng.h"

#include "consumption/Consumption.h"
#include "model/ConditionLook.h"
#include "model/Figures.h"
#include "mqtt/MqttPayloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
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

QByteArray WebTanksJson(const QList<TankSnapshotPtr> &snapshots, const QDateTime &now, const Texts &texts,
                        qsizetype total)
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
            {QStringLiteral("unit"), UnitCode(r.Einheit)},
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
            {QStringLiteral("site"), s->site.isEmpty() ? QString::fromLatin1(kWebLocalSite) : s->site},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("tanks"), tanks},
                                     {QStringLiteral("total"), total < 0 ? qsizetype(tanks.size()) : total}})
        .toJson(QJsonDocument::Compact);
}

bool WebTankQuery::selects(const TankSnapshot &s) const
{
    if (!site.isEmpty()) {
        const QString own = s.site.isEmpty() ? QString::fromLatin1(kWebLocalSite) : s.site;
        if (own.compare(site, Qt::CaseInsensitive) != 0)
            return false;
    }
    if (state.isEmpty())
        return true;
    if (state == QLatin1String("attention"))
        return IsWarning(s.status.condition);
    return TankConditionName(s.status.condition) == state;
}

std::optional<WebTankQuery> ParseWebTankQuery(const QString &query, QString *error)
{
    WebTankQuery q;
    const auto count = [error](const QString &name, const QString &text, qsizetype lo, qsizetype &value) {
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (!ok || v < lo || v > kWebMaxLimit) {
            *error = QStringLiteral("%1 must be a whole number from %2 to %3.")
                         .arg(name)
                         .arg(lo)
                         .arg(kWebMaxLimit);
            return false;
        }
        value = qsizetype(v);
        return true;
    };
    const QStringList states{QStringLiteral("ok"),    QStringLiteral("low"),      QStringLiteral("very_low"),
                             QStringLiteral("loss"),  QStringLiteral("fault"),    QStringLiteral("silent"),
                             QStringLiteral("alarm"), QStringLiteral("attention")};
    for (const QString &item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString name = QUrl::fromPercentEncoding(item.left(eq).toUtf8());
        const QString value =
            eq < 0 ? QString()
                   : QUrl::fromPercentEncoding(
                         item.mid(eq + 1).replace(QLatin1Char('+'), QLatin1Char(' ')).toUtf8());
        if (name == QLatin1String("site")) {
            if (value.isEmpty()) {
                *error = QStringLiteral("site must name a site.");
                return std::nullopt;
            }
            q.site = value;
        } else if (name == QLatin1String("state")) {
            if (!states.contains(value)) {
                *error = QStringLiteral("state must be one of %1.").arg(states.join(QStringLiteral(", ")));
                return std::nullopt;
            }
            q.state = value;
        } else if (name == QLatin1String("limit")) {
            if (!count(name, value, 1, q.limit))
                return std::nullopt;
        } else if (name == QLatin1String("offset")) {
            if (!count(name, value, 0, q.offset))
                return std::nullopt;
        } else {
            *error = QStringLiteral("Unknown parameter; the tanks take site, state, limit and offset.");
            return std::nullopt;
        }
    }
    return q;
}

QByteArray WebSitesJson(const QList<WebSite> &sites)
{
    QJsonArray out;
    for (const WebSite &w : sites) {
        QJsonObject states;
        qint64 tanks = 0;
        for (auto it = w.states.cbegin(); it != w.states.cend(); ++it) {
            states.insert(it.key(), it.value());
            tanks += it.value();
        }
        out.append(QJsonObject{
            {QStringLiteral("name"), w.name},
            {QStringLiteral("topic"), w.topic},
            {QStringLiteral("online"), w.online},
            {QStringLiteral("since"),
             w.since.isValid() ? QJsonValue(IsoTimeWithOffset(w.since)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("tanks"), tanks},
            {QStringLiteral("states"), states},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("sites"), out}}).toJson(QJsonDocument::Compact);
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
                     {QStringLiteral("unit"), UnitCode(r.Einheit)}};
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
    // The months hold their sums as added up; they go out as the table
    // shows them, at the unit's decimals, without the noise of binary sums.
    const double scale = std::pow(10.0, std::max(0, table.decimals()));
    const auto rounded = [scale](std::optional<double> v) {
        return v ? QJsonValue(std::nearbyint(*v * scale) / scale) : QJsonValue(QJsonValue::Null);
    };
    QJsonArray years;
    for (int row = 1; row <= table.yearRows(); ++row) {
        const int year = table.newestYear() - row + 1;
        QJsonArray months;
        for (int m = 1; m <= 12; ++m)
            months.append(rounded(table.month(year, m)));
        // The row total is a number; no language is needed for it.
        const ConsumptionTable::Cell total = table.cell(row, ConsumptionTable::kColumns, Texts());
        years.append(QJsonObject{
            {QStringLiteral("year"), year},
            {QStringLiteral("months"), months},
            {QStringLiteral("total"), total.kind == ConsumptionTable::Cell::Number
                                          ? rounded(total.number)
                                          : QJsonValue(QJsonValue::Null)},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("tank"), n},
                                     {QStringLiteral("unit"), UnitCode(g.einheit)},
                                     {QStringLiteral("years"), years},
                                     {QStringLiteral("total"), rounded(table.total())}})
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

namespace
{
// Where a unit's figures go in the metrics: one name per kind of quantity,
// in its base unit, so a sum over tanks never adds litres to gallons.
struct MetricUnit {
    const char *level;
    const char *consumed;
    double factor; // one of the tank's units in the base unit
};

std::optional<MetricUnit> metricUnitOf(int einheit)
{
    constexpr const char *volume = "tankmon_volume_litres", *volumeUsed = "tankmon_consumed_litres_total";
    constexpr const char *mass = "tankmon_mass_kilograms", *massUsed = "tankmon_consumed_kilograms_total";
    switch (einheit) {
    case 0:
        return MetricUnit{volume, volumeUsed, 1};
    case 1:
        return MetricUnit{volume, volumeUsed, 1000};
    case 5:
        return MetricUnit{volume, volumeUsed, 4.54609}; // the imperial gallon, exactly
    case 6:
        return MetricUnit{volume, volumeUsed, 3.785411784}; // the US gallon, exactly
    case 2:
        return MetricUnit{"tankmon_height_metres", "tankmon_consumed_metres_total", 1};
    case 3:
        return MetricUnit{"tankmon_level_ratio", "tankmon_consumed_ratio_total", 0.01};
    case 4:
        return MetricUnit{mass, massUsed, 1};
    case 7:
        return MetricUnit{mass, massUsed, 1000};
    default:
        return std::nullopt;
    }
}
} // namespace

QByteArray WebMetricsText(const QList<TankSnapshotPtr> &snapshots, const QDateTime &now,
                          const WebCounters &counters, const QList<WebSite> &sites)
{
    struct Family {
        const char *name;
        const char *type;
        const char *help;
        QByteArray samples;
    };
    // In the order they are written; a family without samples is left out.
    Family families[] = {
        {"tankmon_tank_info", "gauge", "The tank's serial number, name and unit as labels, always 1", {}},
        {"tankmon_volume_litres", "gauge", "Content of a tank measured by volume, in litres", {}},
        {"tankmon_height_metres", "gauge", "Content of a tank measured by height, in metres", {}},
        {"tankmon_mass_kilograms", "gauge", "Content of a tank measured by mass, in kilograms", {}},
        {"tankmon_level_ratio", "gauge", "Content of a tank measured in percent, as 0 to 1", {}},
        {"tankmon_fill_ratio", "gauge", "Fill level as a part of the capacity, 0 to 1", {}},
        {"tankmon_temperature_celsius", "gauge", "Temperature at the device", {}},
        {"tankmon_time_until_empty_seconds", "gauge", "Time until the tank is empty at its recent use", {}},
        {"tankmon_last_telegram_timestamp_seconds", "gauge", "Time of the last evaluated telegram", {}},
        {"tankmon_alarm", "gauge", "1 while the device reports its alarm", {}},
        {"tankmon_fault", "gauge", "1 while the device reports an error code", {}},
        {"tankmon_loss", "gauge", "1 while a loss (a leak, a theft) of the tank is open", {}},
        {"tankmon_state",
         "gauge",
         "The tank's state (ok, low, very_low, loss, fault, silent, alarm) as a label, always 1",
         {}},
        {"tankmon_consumed_litres_total",
         "counter",
         "Consumption since the first history point, in litres",
         {}},
        {"tankmon_consumed_metres_total",
         "counter",
         "Consumption since the first history point, in metres",
         {}},
        {"tankmon_consumed_kilograms_total",
         "counter",
         "Consumption since the first history point, in kilograms",
         {}},
        {"tankmon_consumed_ratio_total",
         "counter",
         "Consumption since the first history point of a tank measured in percent, as 0 to 1 per 100 %",
         {}},
        {"tankmon_telegrams_total", "counter", "Telegrams evaluated, by link", {}},
        {"tankmon_emails_total", "counter", "Notification e-mails, by result", {}},
        {"tankmon_link_up",
         "gauge",
         "1 while the link is open (port open, listening, simulation running)",
         {}},
        {"tankmon_mqtt_connected", "gauge", "1 while the MQTT broker is connected", {}},
        {"tankmon_site_online", "gauge", "1 while the remote site is online (its status topic)", {}},
        {"tankmon_site_tanks", "gauge", "The remote site's tanks in each state", {}},
    };
    const auto add = [&families](const char *name, const QByteArray &labels, const QByteArray &value) {
        for (Family &f : families)
            if (qstrcmp(f.name, name) == 0)
                f.samples += QByteArray(name) + labels + ' ' + value + '\n';
    };
    const auto flag = [](bool on) { return on ? QByteArray("1") : QByteArray("0"); };
    for (const TankSnapshotPtr &s : snapshots) {
        const DeviceRecord &r = s->record;
        const int n = s->tank;
        // A remote tank is told apart by its site as well.
        const QByteArray site =
            s->site.isEmpty() ? QByteArray() : "site=\"" + PrometheusLabelValue(s->site).toUtf8() + "\",";
        const QByteArray tank = "{" + site + "tank=\"" + QByteArray::number(n) + "\"}";
        // The descriptive labels once, for joins; every other family has the tank only.
        add("tankmon_tank_info",
            "{" + site + "tank=\"" + QByteArray::number(n) + "\",serial=\"" + QByteArray::number(r.SN) +
                "\",name=\"" + PrometheusLabelValue(tankName(r, n)).toUtf8() + "\",unit=\"" +
                PrometheusLabelValue(UnitCode(r.Einheit)).toUtf8() + "\"}",
            "1");
        // A figure that is not known has no sample rather than a made-up one.
        const std::optional<MetricUnit> unit = metricUnitOf(r.Einheit);
        if (s->level && unit)
            add(unit->level, tank, number(*s->level * unit->factor));
        if (s->percent)
            add("tankmon_fill_ratio", tank, number(*s->percent / 100));
        if (r.Temperatur != kNoTemperature)
            add("tankmon_temperature_celsius", tank, QByteArray::number(r.Temperatur));
        if (const std::optional<double> d = s->daysUntilEmpty(now))
            add("tankmon_time_until_empty_seconds", tank, QByteArray::number(std::llround(*d * 86400)));
        if (r.Uhrzeit.isValid())
            add("tankmon_last_telegram_timestamp_seconds", tank, QByteArray::number(epochSecs(r.Uhrzeit)));
        add("tankmon_alarm", tank, flag(r.Alarm));
        add("tankmon_fault", tank, flag(s->fault()));
        add("tankmon_loss", tank, flag(s->loss));
        add("tankmon_state",
            tank.chopped(1) + ",state=\"" + TankConditionName(s->status.condition).toLatin1() + "\"}", "1");
        // The meter never goes back, as a counter must.
        if (s->consumed && unit)
            add(unit->consumed, tank, number(*s->consumed * unit->factor));
    }
    const auto byLabel = [&add](const char *name, const char *label, const auto &values, auto value) {
        for (auto it = values.begin(); it != values.end(); ++it)
            add(name, QByteArray("{") + label + "=\"" + PrometheusLabelValue(it.key()).toUtf8() + "\"}",
                value(it.value()));
    };
    const auto count = [](qint64 v) { return QByteArray::number(v); };
    byLabel("tankmon_telegrams_total", "link", counters.telegrams, count);
    byLabel("tankmon_emails_total", "result", counters.emails, count);
    byLabel("tankmon_link_up", "link", counters.linksUp, flag);
    if (counters.mqttConnected)
        add("tankmon_mqtt_connected", {}, flag(*counters.mqttConnected));
    for (const WebSite &w : sites) {
        const QByteArray site = "site=\"" + PrometheusLabelValue(w.name).toUtf8() + '"';
        add("tankmon_site_online", '{' + site + '}', flag(w.online));
        for (auto it = w.states.cbegin(); it != w.states.cend(); ++it)
            add("tankmon_site_tanks", '{' + site + ",state=\"" + it.key().toLatin1() + "\"}",
                count(it.value()));
    }
    QByteArray out;
    for (const Family &f : families)
        if (!f.samples.isEmpty())
            out += QByteArray("# HELP ") + f.name + ' ' + f.help + "\n# TYPE " + f.name + ' ' + f.type +
                   '\n' + f.samples;
    return out;
}
