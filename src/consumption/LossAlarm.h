#pragma once
#include <QtGlobal>
#include <deque>
#include <optional>

// The loss alarm of one tank (a leak, a theft): judged on every accepted
// reading, not on the recorded history, whose interval may be a day.
//
// A loss holds when the content fell by more than "VerlustProzent"
// percentage points of the tank's capacity within the last "VerlustStunden"
// hours, and by clearly more (kClearly times) than the tank's own use over
// that time at its 14-day rate. It raises one event, which ends once the
// level has been steady (no new low beyond the noise) for that many hours,
// or with a refuelling, detected by the consumption's rules: a rise above
// the previous reading by more than the trigger that takes the level more
// than "MinProzent" of the capacity above the lowest recent reading.

struct LossLimits {
    double prozent = 3;    // "VerlustProzent": percentage points of the capacity; 0 = off
    double stunden = 2;    // "VerlustStunden": the window in hours; 0 = off
    double trigger = 1;    // "MinProzentBetankungTrigger": rise in % of the previous reading
    double minProzent = 5; // "MinProzent": smallest refuelling, % of the capacity
    bool on() const { return prozent > 0 && stunden > 0; }
};

namespace Loss
{
// A fall counts as a loss only when it is this many times the normal use.
inline constexpr double kClearly = 3;
} // namespace Loss

// One reading: naive local seconds and the content in the history's units.
struct LossPoint {
    qint64 time = 0;
    double value = 0;
};

struct LossState {
    bool active = false;          // an event is open
    std::deque<LossPoint> recent; // the readings of the window, oldest first
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
// (0 when unknown). A negative or non-finite reading (a device error) changes
// nothing; switched off, an open event ends.
LossOutcome JudgeLoss(LossState state, const LossPoint &reading, double capacity, double dailyUse,
                      const LossLimits &limits);
