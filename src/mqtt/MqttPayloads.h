#pragma once
#include "model/DeviceRecord.h"
#include "model/TankSnapshot.h"

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

// The retained state of a tank, from its snapshot: serial, level in the
// display unit and its short name, percent, temperature, measurement time,
// alarm, device error code, days until empty (as of now), the state's name,
// loss (always true or false), the consumption meter and its energy in kWh
// (kwhPerUnit 0: none); null where there is none. Level and percent are what
// the main window shows (temperature-corrected when switched on). Then what
// a central installation needs besides: the tank's name, its capacity (in
// the display unit; null when unknown) and the site's name (site).
QByteArray MqttStateJson(const TankSnapshot &s, const QDateTime &now, double kwhPerUnit,
                         const QString &site = QString());
// The name a site gives itself in its states: the customer name of the
// e-mail settings, else the last level of its base topic.
QString MqttSiteName(const QString &customerName, const QString &baseTopic);

struct MqttMessage {
    QString topic;
    QByteArray payload;
};
// Home Assistant discovery: five sensors (level, percent, temperature, days
// until empty, consumption meter) and three binary sensors (alarm, device
// fault, loss) of tank n, with energy a sixth sensor (the meter in kWh); one
// device per serial number, all reading the tank's state topic. Device,
// unit and state classes are Home Assistant's: the level is a stored volume
// (volume_storage) in L, m³ and US gallons, the meters are totals that only
// increase, a water tank's meter a water meter. One message per topic of
// MqttDiscoveryTopics: an entity the tank does not have (the temperature of
// a device that reports none, the energy without a factor) gets an empty
// payload, which removes it.
QList<MqttMessage> MqttDiscoveryConfigs(const QString &prefix, const QString &base, int n,
                                        const DeviceRecord &r, bool energy = false);
// What the configs of a tank are made from (equal keys, equal configs for
// the same tank number).
QString MqttDiscoveryKey(const DeviceRecord &r, bool energy);
// A tank that holds water: its shape is the half-round cistern.
bool IsWaterTank(const DeviceRecord &r);
// The config topics of a serial number (an empty payload removes them);
// the energy sensor's last.
QStringList MqttDiscoveryTopics(const QString &prefix, qint32 sn);
