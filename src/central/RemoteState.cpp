#include "RemoteState.h"

#include "model/Figures.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace
{
std::optional<double> numberOf(const QJsonValue &v)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return std::nullopt;
    return v.toDouble();
}

int unitOf(const QString &code)
{
    for (int u = 0; u <= 8; ++u)
        if (UnitCode(u) == code)
            return u;
    return 0;
}

TankCondition conditionOf(const QString &name)
{
    for (const TankCondition c :
         {TankCondition::Ok, TankCondition::Low, TankCondition::VeryLow, TankCondition::Loss,
          TankCondition::Fault, TankCondition::Silent, TankCondition::Alarm})
        if (TankConditionName(c) == name)
            return c;
    return TankCondition::Ok;
}

// An ISO 8601 time with offset as the naive local wall-clock time the
// program keeps its times in.
QDateTime naiveLocal(const QString &iso)
{
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    if (!t.isValid())
        return {};
    const QDateTime local = t.toLocalTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}
} // namespace

SiteTopic ParseSiteTopic(const QByteArray &topic)
{
    SiteTopic t;
    if (topic.endsWith("/status")) {
        t.base = topic.chopped(7);
        t.status = !t.base.isEmpty();
        return t;
    }
    if (!topic.endsWith("/state"))
        return t;
    const QByteArray rest = topic.chopped(6);
    const qsizetype slash = rest.lastIndexOf('/');
    if (slash <= 0 || !rest.mid(slash + 1).startsWith("tank"))
        return t;
    bool ok = false;
    const QByteArray digits = rest.mid(slash + 5);
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || n > kMaxDevices || digits.startsWith('0') || digits.startsWith('+'))
        return t;
    t.base = rest.left(slash);
    t.tank = n;
    return t;
}

std::optional<TankSnapshot> RemoteSnapshot(const QByteArray &payload, int n, const QString &site,
                                           const QDateTime &now, QString *siteName)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    TankSnapshot s;
    s.tank = n;
    s.site = site;
    DeviceRecord &r = s.record;
    r.SN = qint32(o.value(QLatin1String("serial")).toInteger());
    r.Einheit = unitOf(o.value(QLatin1String("unit")).toString());
    r.Tankbezeichnung = o.value(QLatin1String("name")).toString();
    // The record in the device's own terms, as the tank files write it:
    // thousandths for m³, m, % and t, whole units else.
    const double scale = IsFractionalUnit(r.Einheit) ? 1000 : 1;
    r.DezPunkt = IsFractionalUnit(r.Einheit) ? 1 : 0;
    if (const auto capacity = numberOf(o.value(QLatin1String("capacity"))); capacity && *capacity > 0)
        r.Tankvolumen = qint32(std::min(*capacity * scale, 2e9));
    const QJsonValue temperature = o.value(QLatin1String("temperature"));
    r.Temperatur = temperature.isDouble() ? qint32(temperature.toDouble()) : kNoTemperature;
    r.Uhrzeit = naiveLocal(o.value(QLatin1String("time")).toString());
    r.Alarm = o.value(QLatin1String("alarm")).toBool();
    const std::optional<double> errorCode = numberOf(o.value(QLatin1String("error")));
    s.status.condition = conditionOf(o.value(QLatin1String("state")).toString());
    if (errorCode && *errorCode > 0) {
        // A fault: the record carries the code as the device sent it, and no level.
        r.Volumen = -qint32(std::min(*errorCode, 1e9));
        s.status.errorCode = int(*errorCode);
    } else {
        s.level = numberOf(o.value(QLatin1String("level")));
        s.percent = numberOf(o.value(QLatin1String("percent")));
        r.Volumen = s.level ? qint32(std::clamp(std::round(*s.level * scale), 0.0, 2e9)) : 0;
        if (const auto days = numberOf(o.value(QLatin1String("days_until_empty"))); days && *days >= 0)
            s.emptyAt = now.addSecs(qint64(*days * 86400));
    }
    if (s.status.condition == TankCondition::Silent && r.Uhrzeit.isValid())
        s.status.silentHours = r.Uhrzeit.secsTo(now) / 3600;
    s.loss = o.value(QLatin1String("loss")).toBool();
    s.consumed = numberOf(o.value(QLatin1String("consumed")));
    s.label =
        QString::number(n) + (r.Tankbezeichnung.isEmpty() ? QString() : QLatin1Char(' ') + r.Tankbezeichnung);
    if (siteName)
        *siteName = o.value(QLatin1String("site")).toString();
    return s;
}

std::optional<TankSnapshot> SilencedSnapshot(const TankSnapshot &s, int silenceHours, const QDateTime &now)
{
    if (s.status.condition == TankCondition::Silent || silenceHours <= 0)
        return std::nullopt;
    if (!IsSilent(ReadingAgeMinutes(s.record.Uhrzeit, now), silenceHours))
        return std::nullopt;
    TankSnapshot silent = s;
    silent.status = {};
    silent.status.condition = TankCondition::Silent;
    silent.status.silentHours = s.record.Uhrzeit.isValid() ? s.record.Uhrzeit.secsTo(now) / 3600 : 0;
    return silent;
}
