#include "MqttPayloads.h"

#include "model/Figures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <cmath>

namespace
{
struct Entity {
    const char *component; // "sensor" or "binary_sensor"
    const char *object;
    const char *name;
    const char *valueTemplate;
    const char *deviceClass; // nullptr: none
    const char *unit;        // nullptr: none, "": the tank's display unit
};

const Entity kEntities[] = {
    {"sensor", "level", "Level", "{{ value_json.level }}", nullptr, ""},
    {"sensor", "percent", "Percent", "{{ value_json.percent }}", nullptr, "%"},
    {"sensor", "temperature", "Temperature", "{{ value_json.temperature }}", "temperature", "°C"},
    {"sensor", "days_until_empty", "Days until empty", "{{ value_json.days_until_empty }}", nullptr, "d"},
    {"binary_sensor", "alarm", "Alarm", "{{ 'ON' if value_json.alarm else 'OFF' }}", "problem", nullptr},
    {"binary_sensor", "fault", "Device fault", "{{ 'OFF' if value_json.error is none else 'ON' }}", "problem",
     nullptr},
    {"binary_sensor", "loss", "Loss", "{{ 'ON' if value_json.loss else 'OFF' }}", "problem", nullptr},
    // The meters: device class and state class set below.
    {"sensor", "consumed", "Consumed", "{{ value_json.consumed }}", nullptr, ""},
    {"sensor", "energy", "Energy consumed", "{{ value_json.energy }}", "energy", "kWh"},
};

bool isEnergy(const Entity &e)
{
    return qstrcmp(e.object, "energy") == 0;
}

// The device class of the consumption meter: what Home Assistant's energy
// dashboard accepts for the unit, none for the others.
const char *meterClass(int einheit)
{
    switch (einheit) {
    case 0: // L
    case 1: // m³
        return "volume";
    case 4: // kg
        return "weight";
    default:
        return nullptr;
    }
}

QString nodeId(qint32 sn)
{
    return QStringLiteral("tankmon_%1").arg(sn);
}

QString configTopic(const QString &prefix, qint32 sn, const Entity &e)
{
    return prefix + QLatin1Char('/') + QLatin1String(e.component) + QLatin1Char('/') + nodeId(sn) +
           QLatin1Char('/') + QLatin1String(e.object) + QStringLiteral("/config");
}
} // namespace

QString MqttStatusTopic(const QString &base)
{
    return base + QStringLiteral("/status");
}

QString MqttStateTopic(const QString &base, int n)
{
    return base + QStringLiteral("/tank%1/state").arg(n);
}

QString IsoTimeWithOffset(const QDateTime &naiveLocal)
{
    const QDateTime local(naiveLocal.date(), naiveLocal.time(), QTimeZone::systemTimeZone());
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return naiveLocal.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray MqttStateJson(const TankSnapshot &s, const QDateTime &now, double kwhPerUnit)
{
    const DeviceRecord &r = s.record;
    std::optional<double> daysUntilEmpty = s.daysUntilEmpty(now);
    // Written directly: it goes out after every telegram.
    const auto number = [](std::optional<double> v) {
        return v ? QByteArray::number(*v, 'g', 12) : QByteArrayLiteral("null");
    };
    if (daysUntilEmpty)
        daysUntilEmpty = std::round(*daysUntilEmpty * 10) / 10;
    QByteArray j;
    j.reserve(240);
    j += "{\"serial\":" + QByteArray::number(r.SN);
    j += ",\"level\":" + number(s.level);
    j += ",\"unit\":\"" + UnitSymbol(r.Einheit).toUtf8() + '"'; // fixed names, nothing to escape
    j += ",\"percent\":" + number(s.percent);
    j += ",\"temperature\":" +
         (r.Temperatur == kNoTemperature ? QByteArrayLiteral("null") : QByteArray::number(r.Temperatur));
    j += ",\"time\":" + (r.Uhrzeit.isValid() ? '"' + IsoTimeWithOffset(r.Uhrzeit).toLatin1() + '"'
                                             : QByteArrayLiteral("null"));
    j += r.Alarm ? ",\"alarm\":true" : ",\"alarm\":false";
    j += ",\"error\":" + (s.fault() ? QByteArray::number(-qint64(r.Volumen)) : QByteArrayLiteral("null"));
    j += ",\"days_until_empty\":" + number(daysUntilEmpty);
    j += ",\"state\":\"" + TankConditionName(s.status.condition).toLatin1() + '"';
    j += s.loss ? ",\"loss\":true" : ",\"loss\":false";
    std::optional<double> energy;
    if (s.consumed && kwhPerUnit > 0)
        energy = std::round(*s.consumed * kwhPerUnit * 1000) / 1000;
    j += ",\"consumed\":" + number(s.consumed);
    j += ",\"energy\":" + number(energy) + '}';
    return j;
}

QList<MqttMessage> MqttDiscoveryConfigs(const QString &prefix, const QString &base, int n,
                                        const DeviceRecord &r, bool energy)
{
    const QString name = r.Tankbezeichnung.isEmpty() ? QStringLiteral("Tank %1").arg(n) : r.Tankbezeichnung;
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{nodeId(r.SN)}},
        {QStringLiteral("name"), name},
        {QStringLiteral("model"), QStringLiteral("Tankmon")},
        {QStringLiteral("serial_number"), QString::number(r.SN)},
    };
    QList<MqttMessage> out;
    for (const Entity &e : kEntities) {
        if (isEnergy(e) && !energy)
            continue;
        const bool meter = isEnergy(e) || qstrcmp(e.object, "consumed") == 0;
        QJsonObject o{
            {QStringLiteral("name"), QLatin1String(e.name)},
            {QStringLiteral("unique_id"), nodeId(r.SN) + QLatin1Char('_') + QLatin1String(e.object)},
            {QStringLiteral("state_topic"), MqttStateTopic(base, n)},
            {QStringLiteral("value_template"), QLatin1String(e.valueTemplate)},
            {QStringLiteral("availability_topic"), MqttStatusTopic(base)},
            {QStringLiteral("device"), device},
        };
        const char *deviceClass = qstrcmp(e.object, "consumed") == 0 ? meterClass(r.Einheit) : e.deviceClass;
        if (deviceClass)
            o.insert(QStringLiteral("device_class"), QLatin1String(deviceClass));
        const QString unit = e.unit && !*e.unit ? UnitSymbol(r.Einheit) : QString::fromUtf8(e.unit);
        if (!unit.isEmpty())
            o.insert(QStringLiteral("unit_of_measurement"), unit);
        if (qstrcmp(e.component, "sensor") == 0)
            o.insert(QStringLiteral("state_class"),
                     meter ? QStringLiteral("total_increasing") : QStringLiteral("measurement"));
        out.append({configTopic(prefix, r.SN, e), QJsonDocument(o).toJson(QJsonDocument::Compact)});
    }
    return out;
}

QStringList MqttDiscoveryTopics(const QString &prefix, qint32 sn)
{
    QStringList topics;
    for (const Entity &e : kEntities)
        topics << configTopic(prefix, sn, e);
    return topics;
}
