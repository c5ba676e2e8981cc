#pragma once
#include <QString>
#include <QtGlobal>
#include <optional>

// A tank's own loss-alarm settings, in section "E-Mail": "VerlustProzent"+n
// and "VerlustStunden"+n (empty: the common value; 0: off for this tank) and
// the quiet hours "VerlustRuhezeit"+n the tank is judged in (empty: always).
// The tank's settings page and --set store them through the checks below, so
// whatever they accept the loss alarm uses as written.

// The hours a tank is judged in: daily from..to (minutes of the day, across
// midnight when from > to), and with weekends Saturday and Sunday whole.
struct QuietHours {
    int from = 0, to = 0; // equal: no daily hours
    bool weekends = false;

    bool any() const { return from != to || weekends; }
    // Whether a naive local time (seconds, as the history holds it) lies within.
    bool contains(qint64 secs) const;
    // "20:00-06:00", "20:00-06:00 WE" (and the whole weekend), "WE"; empty:
    // none (judged at all hours). Nothing when the text is none of these.
    static std::optional<QuietHours> parse(const QString &text);
    // The stored form ("" for none).
    QString text() const;
    bool operator==(const QuietHours &) const = default;
};

struct TankLossSettings {
    QString prozent, stunden, ruhezeit; // as stored
    bool operator==(const TankLossSettings &) const = default;
};

namespace Loss
{
inline constexpr double kMaxProzent = 100;
inline constexpr int kMaxStunden = 168;
// A tank measured in percent: its unit code. Rain water is pumped in bursts
// of 10 to 25 %, which no fall rule tells from a theft: its loss alarm is off
// unless the tank has limits of its own.
inline constexpr int kPercentUnit = 3;
} // namespace Loss

// The value to store for a tank's own limit as typed, or nothing when it is
// none: empty (the common value), or a number 0..hi ("," taken as "."),
// whole when asked.
std::optional<QString> LossLimitEntry(const QString &typed, double hi, bool whole);
// The three as typed, checked and in their stored form; nothing when any is not one.
std::optional<TankLossSettings> TankLossEntry(const TankLossSettings &typed);
