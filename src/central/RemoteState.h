#pragma once
#include "model/TankSnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>

// What a site's topic is to the centre: its status, a tank's state, or
// neither (base empty).
struct SiteTopic {
    QByteArray base; // the site's base topic
    int tank = 0;    // 1..56 for "<base>/tank<n>/state"
    bool status = false;
};
SiteTopic ParseSiteTopic(const QByteArray &topic);

// A site's retained state payload as the snapshot of remote tank n of site
// (pure). The fields the site's own program publishes: serial, level, unit,
// percent, temperature, time, alarm, error, days_until_empty, state, loss,
// consumed; and, where the site is new enough to send them, name, capacity
// and site (its own name, in *siteName). Anything missing stays unknown;
// nullopt for a payload that is no JSON object. The record holds the level
// and capacity in the device's terms (thousandths of a fractional unit).
std::optional<TankSnapshot> RemoteSnapshot(const QByteArray &payload, int n, const QString &site,
                                           const QDateTime &now, QString *siteName = nullptr);

// A remote tank whose last reading is older than silenceHours (0: never) as
// silent, its other figures kept; nullopt when it is not silent by now or
// was so already.
std::optional<TankSnapshot> SilencedSnapshot(const TankSnapshot &s, int silenceHours, const QDateTime &now);
