#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

struct DeviceRecord;
class Texts;

// What a tank's latest reading means for the user. One condition per tank,
// the most urgent one that holds; the order of the enum is that urgency.
// A new condition goes in at its place here, with its rule in TankState(),
// its words in TankStateWords/TankStateNote and its colour in the views.
enum class TankCondition {
    Ok,
    Low,     // below the tank's threshold (amber)
    VeryLow, // below half of it (red)
    Loss,    // the content fell far faster than the tank's own use (a leak, a theft)
    Fault,   // the device sends an error code instead of a level
    Silent,  // no telegram for longer than the silence hours
    Alarm,   // the device's alarm input
};

// The reading the rules look at.
struct TankReading {
    double percent = 0;     // fill level in percent (of a valid level)
    QDateTime lastTelegram; // invalid: never
    bool alarm = false;
    int errorCode = 0; // the device's code (0xE008) while it sends one, else 0
    bool loss = false; // a loss event of the tank is open
};

struct TankStateRules {
    double lowPercent = 10; // 0 or less: no low warning
    int silenceHours = 24;  // 0 or less: never silent
};

struct TankStatus {
    TankCondition condition = TankCondition::Ok;
    int errorCode = 0;      // while Fault
    qint64 silentHours = 0; // while Silent: whole hours since the last telegram (0: none ever)
    double lowPercent = 0;  // the threshold the low conditions were measured against
    bool operator==(const TankStatus &) const = default;
};

// The rules, worst first: alarm, silent, fault, loss, very low, low, ok. A
// loss is known from readings only: while there are none (silent) or none
// valid (fault), that is what the user has to learn first.
TankStatus TankState(const TankReading &reading, const TankStateRules &rules, const QDateTime &now);
// The reading of a device record (its error code, its fill percent; no loss).
TankReading TankReadingOf(const DeviceRecord &rec);

// The names the web API, the metrics and MQTT give the conditions: "ok",
// "low", "very_low", "loss", "fault", "silent", "alarm".
QString TankConditionName(TankCondition c);
// A word or two for a table cell or a badge: "low", "fault E008".
QString TankStateWords(const TankStatus &s, const Texts &t);
// The sentence behind them, for a tool tip or the detail view; empty for ok.
QString TankStateNote(const TankStatus &s, const Texts &t);
// Whether the condition wants the user's attention at all.
inline bool IsWarning(TankCondition c)
{
    return c != TankCondition::Ok;
}
// A tank's own warning threshold as the user types it ("12,5", "12.5" or
// nothing): the text to store ("" = the common threshold applies), or
// nullopt when it is no percentage above 0 up to 100.
std::optional<QString> WarnThresholdEntry(const QString &typed);
// The threshold that applies: the tank's own stored one when it is a
// positive number, else the common one, else 10 %.
double WarnThresholdOf(const QString &own, const QString &common);

// The device's error code as shown ("E008").
QString ErrorCodeText(int code);
