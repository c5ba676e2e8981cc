#pragma once
#include "core/Catalogue.h"
#include "core/Settings.h"
#include "email/PasswordScramble.h"

#include <QList>
#include <QString>

class Texts;

class Settings;
struct MqttEndpoint;

// The keys every broker section has ("MQTT", "Zentrale"), read into and
// written from values with the fields of the same names: an out-of-range
// port reads as 1883, the password is stored scrambled.
struct BrokerKeys {
    const IniKey &aktiv, &host, &port, &tls, &userName, &password;
};
template <typename Values> void ReadBrokerKeys(const Settings &settings, const BrokerKeys &k, Values &v)
{
    v.aktiv = settings.readIsOne(k.aktiv);
    v.host = settings.read(k.host).trimmed();
    const qint64 port = settings.readInt(k.port);
    v.port = port >= 1 && port <= 65535 ? int(port) : 1883;
    v.tls = settings.readIsOne(k.tls);
    v.userName = settings.read(k.userName);
    v.password = PasswordFromStored(settings.readWhole(k.password));
}
template <typename Values> void WriteBrokerKeys(Settings &settings, const BrokerKeys &k, const Values &v)
{
    settings.write(k.aktiv, v.aktiv ? 1 : 0);
    settings.write(k.host, v.host.trimmed());
    settings.write(k.port, v.port);
    settings.write(k.tls, v.tls ? 1 : 0);
    settings.write(k.userName, v.userName);
    settings.write(k.password, StoredPassword(v.password));
}

// Section "MQTT" as plain values; the password in clear (stored scrambled).
struct MqttValues {
    bool aktiv = false;
    QString host;
    int port = 1883;
    bool tls = false; // verified against the system store or TANKMON_MQTT_CAFILE
    QString userName;
    QString password;
    QString topic; // base of every state topic, without a trailing "/"
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    // "kWhProEinheit" + n at [n - 1], for as many tanks as were read: kWh per
    // unit of the tank's content, 0 = no energy sensor.
    QList<double> kwhProEinheit;

    bool operator==(const MqttValues &) const = default;
};

// "tankmon/" + this computer's host name.
QString DefaultMqttTopic();
// tanks: the "kWhProEinheit" of tanks 1..tanks are read as well.
MqttValues ReadMqttValues(const Settings &settings, int tanks = 0);
// The broker, TLS and login of the values as a client's endpoint.
MqttEndpoint EndpointOf(const MqttValues &v, const QString &caFile, const QString &clientId);
// Every key in one replace of the file; of "kWhProEinheit", those of the
// tanks in v (a factor of 0 removes the key).
void WriteMqttValues(Settings &settings, const MqttValues &v);
// Why no state can be published under a topic or discovery prefix: the id
// of the language text that says so, or 0 when it can. Refused: empty, a
// wildcard ("+", "#"), a control character, an empty first level (a leading
// "/") and a leading "$" (the broker's own topics).
int TopicFault(const QString &topic);
inline bool IsPublishableTopic(const QString &topic)
{
    return TopicFault(topic) == 0;
}
// The text said at start when section "MQTT" names a topic or prefix that
// cannot work (the key, its value and why); empty when both can.
QString MqttTopicProblem(const MqttValues &v, const Texts &texts);
