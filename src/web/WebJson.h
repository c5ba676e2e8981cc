#pragma once
#include "model/DeviceRecord.h"
#include "model/TankSnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

struct ConsumptionGroup;
class Texts;

// What the API and the metrics say, as pure functions of the tanks'
// snapshots (or histories) and what the caller looked up; nothing here reads
// a file or a setting. "now" counts the days until empty.

// GET /api/v1/tanks: {"tanks":[{number, serial, name, level, unit, percent,
// temperature, time, alarm, error, days_until_empty, state, state_note,
// loss, consumed}, ...]}, null where a figure is missing; level and percent
// as the main window shows them, the state's note in the language of texts
// ("" while ok).
// Each tank names its site ("local" for this installation's own); total:
// how many the selection held before its page was cut (-1: as many as given).
QByteArray WebTanksJson(const QList<TankSnapshotPtr> &tanks, const QDateTime &now, const Texts &texts,
                        qsizetype total = -1);

// The name the API gives this installation's own tanks as a site.
inline constexpr char kWebLocalSite[] = "local";

// Which tanks /api/v1/tanks answers with: site= ("local": this
// installation's), state= (a condition name, or "attention": every one not
// ok), then a page of them (offset=, limit=).
struct WebTankQuery {
    QString site;  // "" = every site
    QString state; // "" = every state
    qsizetype offset = 0;
    qsizetype limit = -1; // -1: all
    bool selects(const TankSnapshot &s) const;
};
inline constexpr qsizetype kWebMaxLimit = 100000;
// The query of a request, or nullopt with why in *error (a parameter the
// endpoint does not know, a state no tank has, a number out of range).
std::optional<WebTankQuery> ParseWebTankQuery(const QString &query, QString *error);

// One remote site for /api/v1/sites and the metrics: its name, base topic,
// whether it is online and since when, and its tanks by state.
struct WebSite {
    QString name;
    QString topic; // "" for the local installation
    bool online = true;
    QDateTime since;              // invalid: unknown
    QMap<QString, qint64> states; // condition name -> tanks
};
// GET /api/v1/sites: {"sites":[{name, topic, online, since, tanks, states:{ok: n, ...}}]}
QByteArray WebSitesJson(const QList<WebSite> &sites);

// The page's style sheet of the conditions, from the looks the desktop
// shows: for each condition name a class "st-NAME" that sets --c (its
// colour), --i (text on it) and --s (its sign, a CSS string).
QByteArray WebStateStyle();

// The history points of a tank from..to (invalid: open), as JSON
// {"tank", "name", "unit", "points":[[seconds since 1970 UTC, level,
// temperature or null], ...]} with at most maxPoints of them (see
// WebHistorySample), or as CSV ("time;level;temperature", ISO 8601 times
// with offset, "." decimals), every point.
inline constexpr int kWebDefaultMaxPoints = 4000;
inline constexpr int kWebMaxMaxPoints = 50000; // beyond, the CSV has every point
QByteArray WebHistoryJson(const DeviceTable &t, int n, const QDateTime &from, const QDateTime &to,
                          int maxPoints = kWebDefaultMaxPoints);
QByteArray WebHistoryCsv(const DeviceTable &t, int n, const QDateTime &from, const QDateTime &to);

// The parts the CSV is streamed in: the indices first..last (exclusive) of
// the points from..to, the heading and the lines of points first..last.
std::pair<int, int> WebHistoryRange(const TankHistory &h, const QDateTime &from, const QDateTime &to);
inline constexpr char kWebHistoryCsvHeading[] = "time;level;temperature\r\n";
QByteArray WebHistoryCsvLines(const TankHistory &h, int first, int last);

// The indices of first..last that a chart of at most maxPoints (>= 2) points
// needs: all of them when they fit, else the time is cut into maxPoints / 2
// equal spans and of each the lowest and the highest point are kept, in
// time order, so a refill or a leak still shows at its full depth.
std::vector<int> WebHistorySample(const TankHistory &h, int first, int last, int maxPoints);

// The consumption of one tank as years by months:
// {"tank", "unit", "years":[{"year", "months":[12 numbers or null], "total"}], "total"},
// the numbers at the unit's decimals, as the table shows them; null: no data.
QByteArray WebConsumptionJson(int n, const ConsumptionGroup &g);

// What the metrics count besides the tanks.
struct WebCounters {
    QMap<QString, qint64> telegrams;   // accepted telegrams by link: "serial", "tcp", "simulation"
    QMap<QString, qint64> emails;      // messages by result: "sent", "failed"
    QMap<QString, bool> linksUp;       // by link: open (listening, running) or not
    std::optional<bool> mqttConnected; // none while publishing is off
};

// The Prometheus text exposition format (version 0.0.4) of every tank and
// the counters. Names carry base units: each tank's content goes under the
// name of its kind of quantity (volume in litres, height in metres, mass in
// kilograms, percent as a ratio), converted, so a sum never mixes units;
// the serial number, name and unit are labels of tankmon_tank_info only.
// A remote tank's samples carry its site as a label besides the tank, and
// sites gives each site's tanks by state and whether it is online.
QByteArray WebMetricsText(const QList<TankSnapshotPtr> &tanks, const QDateTime &now,
                          const WebCounters &counters, const QList<WebSite> &sites = {});
// A label value as the format wants it: backslash, double quote and line
// feed escaped.
QString PrometheusLabelValue(const QString &v);
