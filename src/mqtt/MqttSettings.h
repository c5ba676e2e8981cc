#pragma once
#include <QString>

class Settings;

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
// Every key in one replace of the file.
void WriteMqttValues(Settings &settings, const MqttValues &v);
// False for a topic no broker accepts for publishing: empty, or holding a
// wildcard ("+", "#") or a NUL.
bool IsPublishableTopic(const QString &topic);
