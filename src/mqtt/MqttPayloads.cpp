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
};

const Entity kEntities[] = {
    {"sensor", "level", "Level", "{{ value_json.level }}"},
    {"sensor", "percent", "Percent", "{{ value_json.percent }}"},
    {"sensor", "temperature", "Temperature", "{{ value_json.temperature }}"},
    {"sensor", "days_until_empty", "Days until empty", "{{ value_json.days_until_empty }}"},
    {"binary_sensor", "alarm", "Alarm", "{{ 'ON' if value_json.alarm else 'OFF' }}"},
    {"binary_sensor", "fault", "Device fault", "{{ 'OFF' if value_json.error is none else 'ON' }}"},
    {"binary_sensor", "loss", "Loss", "{{ 'ON' if value_json.loss else 'OFF' }}"},
    {"sensor", "consumed", "Consumed", "{{ value_json.consumed }}"},
    {"sensor", "energy", "Energy consumed", "{{ value_json.energy }}"},
};

bool is(const Entity &e, const char *object)
{
    return qstrcmp(e.object, object) == 0;
}

// The unit as Home Assistant spells it for the volume classes, or nullptr
// where it has none: its "gal" is the US gallon, so Imperial gallons stay
// without a class.
const char *haVolumeUnit(int einheit)
{
    switch (einheit) {
    case 0:
        return "L";
    case 1:
        return "m³";
    case 6:
        return "gal";
    default:
        return nullptr;
    }
}

// How Home Assistant is to read an entity: its device class (nullptr: none),
// unit (empty: none) and state class (nullptr: none), each as Home
// Assistant's sensor documentation pairs them.
struct Reading {
    const char *deviceClass = nullptr;
    QString unit;
    const char *stateClass = nullptr;
};

Reading readingOf(const Entity &e, const DeviceRecord &r)
{
    if (qstrcmp(e.component, "binary_sensor") == 0)
        return {"problem", {}, nullptr};
    const char *volume = haVolumeUnit(r.Einheit);
    // The tank's own unit where Home Assistant has no class for it.
    const QString own = UnitCode(r.Einheit);
    if (is(e, "level")) {
        if (volume)
            return {"volume_storage", QString::fromUtf8(volume), "measurement"};
        if (r.Einheit == 4)
            return {"weight", own, "measurement"};
        if (r.Einheit == 2)
            return {"distance", own, "measurement"};
        return {nullptr, own, "measurement"};
    }
    if (is(e, "percent"))
        return {nullptr, QStringLiteral("%"), "measurement"};
    if (is(e, "temperature"))
        return {"temperature", QStringLiteral("°C"), "measurement"};
    if (is(e, "days_until_empty"))
        return {"duration", QStringLiteral("d"), "measurement"};
    if (is(e, "energy"))
        return {"energy", QStringLiteral("kWh"), "total_increasing"};
    // The consumption meter. Home Assistant's energy dashboard takes water
    // meters (and energy, which the energy sensor is); a volume meter is a
    // plain statistic there.
    if (volume)
        return {IsWaterTank(r) ? "water" : "volume", QString::fromUtf8(volume), "total_increasing"};
    if (r.Einheit == 4)
        return {"weight", own, "total_increasing"};
    return {nullptr, own, "total_increasing"};
}

// Whether tank r has the entity: the temperature only from a device that
// reports one, the energy only with a factor.
bool has(const Entity &e, const DeviceRecord &r, bool energy)
{
    if (is(e, "temperature"))
        return r.Temperatur != kNoTemperature;
    if (is(e, "energy"))
        return energy;
    return true;
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

QByteArray MqttStateJson(const TankSnapshot &s, const QDateTime &now, double kwhPerUnit, const QString &site)
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
    j += ",\"unit\":\"" + UnitCode(r.Einheit).toUtf8() + '"'; // fixed names, nothing to escape
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
    j += ",\"energy\":" + number(energy);
    // Names are the user's: escaped as JSON strings.
    const auto string = [](const QString &v) {
        return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    };
    j += ",\"name\":" + string(r.Tankbezeichnung);
    j += ",\"capacity\":" + (r.Tankvolumen > 0 ? QByteArray::number(ScaledLevel(r.Tankvolumen, r), 'g', 12)
                                               : QByteArrayLiteral("null"));
    j += ",\"site\":" + string(site) + '}';
    return j;
}

QString MqttSiteName(const QString &customerName, const QString &baseTopic)
{
    const QString own = customerName.trimmed();
    return own.isEmpty() ? baseTopic.mid(baseTopic.lastIndexOf(QLatin1Char('/')) + 1) : own;
}

bool IsWaterTank(const DeviceRecord &r)
{
    return TankTypeKey(r) == 7;
}

QString MqttDiscoveryKey(const DeviceRecord &r, bool energy)
{
    return QStringLiteral("%1/%2/%3/%4/%5/")
               .arg(r.SN)
               .arg(r.Einheit)
               .arg(energy)
               .arg(IsWaterTank(r))
               .arg(r.Temperatur != kNoTemperature) +
           r.Tankbezeichnung;
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
        if (!has(e, r, energy)) {
            out.append({configTopic(prefix, r.SN, e), QByteArray()});
            continue;
        }
        QJsonObject o{
            {QStringLiteral("name"), QLatin1String(e.name)},
            {QStringLiteral("unique_id"), nodeId(r.SN) + QLatin1Char('_') + QLatin1String(e.object)},
            {QStringLiteral("state_topic"), MqttStateTopic(base, n)},
            {QStringLiteral("value_template"), QLatin1String(e.valueTemplate)},
            {QStringLiteral("availability_topic"), MqttStatusTopic(base)},
            {QStringLiteral("device"), device},
        };
        const Reading reading = readingOf(e, r);
        if (reading.deviceClass)
            o.insert(QStringLiteral("device_class"), QLatin1String(reading.deviceClass));
        if (!reading.unit.isEmpty())
            o.insert(QStringLiteral("unit_of_measurement"), reading.unit);
        if (reading.stateClass)
            o.insert(QStringLiteral("state_class"), QLatin1String(reading.stateClass));
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
