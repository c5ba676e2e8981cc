#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class Settings;
struct MqttEndpoint;

// Section "Zentrale" as plain values; the password in clear (stored scrambled).
struct CentralValues {
    bool aktiv = false;
    QString host;
    int port = 1883;
    bool tls = false;
    QString userName;
    QString password;
    QString filter = QStringLiteral("tankmon/+"); // each topic it matches is one site's base topic
    int digestMinutes = 5;                        // changes within this time go out as one mail
    QString folder; // the per-site histories; "" = "Zentrale" in the data folder

    bool operator==(const CentralValues &) const = default;
};

CentralValues ReadCentralValues(const Settings &settings);
void WriteCentralValues(Settings &settings, const CentralValues &v);
MqttEndpoint CentralEndpoint(const CentralValues &v, const QString &caFile, const QString &clientId);
// Whether a broker takes filter as a subscription: not empty, "+" and "#"
// only as whole levels, "#" only last, no control character.
bool IsTopicFilter(const QString &filter);
// What the centre subscribes to for a filter of base topics: each site's
// status and its tanks' states.
QList<QByteArray> SiteSubscriptions(const QString &filter);
