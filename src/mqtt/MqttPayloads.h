#pragma once
#include "model/DeviceRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What goes to the broker for a tank, without any connection: topics and
// payloads only.

QString MqttStatusTopic(const QString &base);       // base + "/status"
QString MqttStateTopic(const QString &base, int n); // base + "/tank<n>/state"

// The naive local wall-clock time as ISO 8601 with this computer's offset at
// that time ("2026-12-07T10:15:00+01:00").
QString IsoTimeWithOffset(const QDateTime &naiveLocal);

// The retained state of a tank: serial, level in the display unit and its
// short name, percent, temperature, measurement time, alarm, device error
// code and days until empty; null where there is none. Level and percent
// are what the main window shows (temperature-corrected when switched on).
QByteArray MqttStateJson(const DeviceRecord &r, bool tempKorrOn, std::optional<double> daysUntilEmpty);

struct MqttMessage {
    QString topic;
    QByteArray payload;
};
// Home Assistant discovery: four sensors (level, percent, temperature, days
// until empty) and two binary sensors (alarm, device fault) of tank n, one
// device per serial number, all reading the tank's state topic.
QList<MqttMessage> MqttDiscoveryConfigs(const QString &prefix, const QString &base, int n,
                                        const DeviceRecord &r);
// The config topics of a serial number (an empty payload removes them).
QStringList MqttDiscoveryTopics(const QString &prefix, qint32 sn);
