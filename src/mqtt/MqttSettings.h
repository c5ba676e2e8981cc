#pragma once
#include <QString>

class Texts;

class Settings;
struct MqttEndpoint;

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

    bool operator==(const MqttValues &) const = default;
};

// "tankmon/" + this computer's host name.
QString DefaultMqttTopic();
MqttValues ReadMqttValues(const Settings &settings);
// The broker, TLS and login of the values as a client's endpoint.
MqttEndpoint EndpointOf(const MqttValues &v, const QString &caFile, const QString &clientId);
// Every key in one replace of the file.
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
