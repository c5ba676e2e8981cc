#pragma once
#include "model/LossSettings.h"

#include <QString>
#include <QtGlobal>
#include <deque>
#include <optional>

// The loss alarm of one tank (a leak, a theft): judged on every accepted
// reading, not on the recorded history, whose interval may be a day.
//
// Each reading is first steadied: the level judged is the middle one of the
// last three readings, so a single reading that departs and comes back is
// neither a fall nor a refuelling. It is compared with the highest level that
// two readings in a row of a window reached (one alone may be off). A loss holds when
// the level fell below that
//  - by more than "VerlustProzent" percentage points of the capacity within
//    the last "VerlustStunden" hours (a theft, a fast leak), or
//  - by more than kLongLimit times that within kLongFactor times those hours
//    (a slow leak that never reaches the short limit),
// and in either case by clearly more (kClearly times) than the tank's own use
// over that window at its 14-day rate. It raises one event, which ends once
// the level has been steady (no new low beyond the noise) for the short
// window, or with a refuelling, detected by the consumption's rules: a rise
// above the previous level by more than the trigger that takes it more than
// "MinProzent" of the capacity above the lowest recent level.
//
// A device error or a gap longer than the short window starts the judgement
// afresh: a device that comes back from a fault may read with an offset, and
// what was used during a gap is unknown. With quiet hours, only readings
// within them are compared with each other (a draw by day is no loss), and
// without the tank's own use: nothing is drawn in them.

struct LossLimits {
    double prozent = 3;    // "VerlustProzent": percentage points of the capacity; 0 = off
    double stunden = 4;    // "VerlustStunden": the window in hours; 0 = off
    double trigger = 1;    // "MinProzentBetankungTrigger": rise in % of the previous reading
    double minProzent = 5; // "MinProzent": smallest refuelling, % of the capacity
    QuietHours quiet = {}; // "VerlustRuhezeit"+n: judged only within (none: always)
    bool on() const { return prozent > 0 && stunden > 0; }
    bool operator==(const LossLimits &) const = default;
};

namespace Loss
{
// A fall counts as a loss only when it is this many times the normal use.
inline constexpr double kClearly = 3;
// The slow-leak window: this many short windows, with this many times the limit.
inline constexpr int kLongFactor = 6;
inline constexpr double kLongLimit = 2;
} // namespace Loss

// The limits of one tank: its own "VerlustProzent"+n and "VerlustStunden"+n
// (empty or no number: the common value; 0: off for this tank) and quiet hours
// "VerlustRuhezeit"+n (empty or not readable: none) over the common limits.
// A percent tank without limits of its own is off (Loss::kPercentUnit).
LossLimits TankLossLimits(LossLimits common, const TankLossSettings &own, bool percentTank);
// One reading: naive local seconds and the content in the history's units.
struct LossPoint {
    qint64 time = 0;
    double value = 0;
};

struct LossState {
    bool active = false;          // an event is open
    std::deque<LossPoint> raw;    // the last (up to) three readings, for the steadied level
    std::deque<LossPoint> recent; // the readings of the long window, oldest first
    std::deque<LossPoint> levels; // their steadied levels
    // While active: the lowest level of the event and when it was reached.
    std::optional<double> low;
    qint64 lowTime = 0;
};

enum class LossEvent { None, Started, Ended };

struct LossOutcome {
    LossState state;
    LossEvent event = LossEvent::None;
};

// Judges one reading. capacity: the tank's capacity in the readings' units
// (nothing is judged without one); dailyUse: the tank's normal use per day
// (0 when unknown). A negative or non-finite reading (a device error) starts
// the judgement afresh; switched off, an open event ends.
LossOutcome JudgeLoss(LossState state, const LossPoint &reading, double capacity, double dailyUse,
                      const LossLimits &limits);
