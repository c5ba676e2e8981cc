#include "LossAlarm.h"

#include <algorithm>
#include <cmath>

LossOutcome JudgeLoss(LossState s, const LossPoint &r, double capacity, double dailyUse,
                      const LossLimits &limits)
{
    LossOutcome out;
    const auto end = [&] {
        s.active = false;
        s.low.reset();
        out.event = LossEvent::Ended;
    };
    if (!limits.on() || !(capacity > 0) || !std::isfinite(capacity)) {
        s.recent.clear();
        if (s.active)
            end();
        out.state = std::move(s);
        return out;
    }
    if (!(r.value >= 0) || !std::isfinite(r.value)) {
        out.state = std::move(s);
        return out;
    }
    const qint64 window = qint64(std::llround(limits.stunden * 3600));
    const double onePercent = capacity / 100;

    // A clock that went back: what was read before tells nothing about now.
    if (!s.recent.empty() && r.time < s.recent.back().time)
        s.recent.clear();

    // A refuelling: the window starts again at the new level and an open
    // event ends (the consumption's two rules: a step above the trigger, and
    // a rise above the lowest recent reading larger than "MinProzent").
    if (!s.recent.empty()) {
        const double last = s.recent.back().value;
        double lowest = last;
        for (const LossPoint &p : s.recent)
            lowest = std::min(lowest, p.value);
        if (r.value > last * (100 + limits.trigger) / 100 &&
            r.value - lowest > limits.minProzent * onePercent) {
            s.recent.clear();
            if (s.active)
                end();
        }
    }

    s.recent.push_back(r);
    while (s.recent.front().time < r.time - window)
        s.recent.pop_front();

    double peak = r.value;
    for (const LossPoint &p : s.recent)
        peak = std::max(peak, p.value);
    const double fall = peak - r.value;
    const double normalUse = std::max(0.0, dailyUse) * limits.stunden / 24;
    const bool holds = fall > limits.prozent * onePercent && fall > Loss::kClearly * normalUse;

    if (!s.active) {
        if (holds) {
            s.active = true;
            s.low = r.value;
            s.lowTime = r.time;
            out.event = LossEvent::Started;
        }
    } else {
        // A new low beyond the noise (a quarter of the limit) keeps the event
        // open; none for the window's length ends it.
        if (!s.low || r.value < *s.low - limits.prozent * onePercent / 4) {
            s.low = r.value;
            s.lowTime = r.time;
        } else if (r.time - s.lowTime >= window) {
            end();
        }
    }
    out.state = std::move(s);
    return out;
}
