#include "LossAlarm.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr qint64 kDay = 86400;

// The number of a tank's own limit; none for empty or no number (the common value).
std::optional<double> ownNumber(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return std::max(0.0, v);
}
} // namespace

LossLimits TankLossLimits(LossLimits common, const TankLossSettings &own, bool percentTank)
{
    const std::optional<double> p = ownNumber(own.prozent), h = ownNumber(own.stunden);
    if (p)
        common.prozent = std::min(*p, Loss::kMaxProzent);
    if (h)
        common.stunden = std::min(*h, double(Loss::kMaxStunden));
    else if (percentTank && !p)
        common.prozent = 0;
    if (const std::optional<QuietHours> q = QuietHours::parse(own.ruhezeit))
        common.quiet = *q;
    return common;
}

LossOutcome JudgeLoss(LossState s, const LossPoint &r, double capacity, double dailyUse,
                      const LossLimits &limits)
{
    LossOutcome out;
    const auto end = [&] {
        s.active = false;
        s.low.reset();
        out.event = LossEvent::Ended;
    };
    const auto forget = [&] {
        s.recent.clear();
        s.levels.clear();
    };
    const auto done = [&] {
        out.state = std::move(s);
        return std::move(out);
    };
    if (!limits.on() || !(capacity > 0) || !std::isfinite(capacity)) {
        s.raw.clear();
        forget();
        if (s.active)
            end();
        return done();
    }
    // A device error: what it reads afterwards may be offset.
    if (!(r.value >= 0) || !std::isfinite(r.value)) {
        s.raw.clear();
        forget();
        return done();
    }
    const qint64 window = qint64(std::llround(limits.stunden * 3600));
    const qint64 longWindow = window * Loss::kLongFactor;
    const double onePercent = capacity / 100;

    // A clock that went back, or a gap: what was read before tells nothing about now.
    if (!s.raw.empty() && (r.time < s.raw.back().time || r.time - s.raw.back().time > window)) {
        s.raw.clear();
        forget();
    }
    s.raw.push_back(r);
    if (s.raw.size() > 3)
        s.raw.pop_front();
    // Outside the quiet hours nothing is compared; the steadied level goes on.
    if (!limits.quiet.contains(r.time)) {
        forget();
        return done();
    }
    s.recent.push_back(r);
    while (s.recent.front().time < r.time - longWindow)
        s.recent.pop_front();
    if (s.raw.size() < 3)
        return done();
    const double a = s.raw[0].value, b = s.raw[1].value, c = s.raw[2].value;
    const LossPoint level{r.time, std::max(std::min(a, b), std::min(std::max(a, b), c))};

    // A refuelling: the window starts again at the new level and an open
    // event ends (the consumption's two rules: a step above the trigger, and
    // a rise above the lowest recent level larger than "MinProzent").
    if (!s.levels.empty()) {
        const double last = s.levels.back().value;
        double lowest = last;
        for (const LossPoint &p : s.levels)
            lowest = std::min(lowest, p.value);
        if (level.value > last * (100 + limits.trigger) / 100 &&
            level.value - lowest > limits.minProzent * onePercent) {
            forget();
            s.recent.push_back(r);
            if (s.active)
                end();
        }
    }
    s.levels.push_back(level);
    while (s.levels.front().time < r.time - longWindow)
        s.levels.pop_front();

    // The reference of a window: the highest level two readings in a row
    // reached (one reading alone may be off).
    // The noise: the mean step between readings in a row (a step of half
    // the limit or more is no noise but a draw, a delivery or an outlier).
    double shortPeak = level.value, longPeak = level.value, steps = 0;
    int stepCount = 0;
    for (size_t i = 1; i < s.recent.size(); ++i) {
        const double both = std::min(s.recent[i - 1].value, s.recent[i].value);
        longPeak = std::max(longPeak, both);
        if (s.recent[i - 1].time >= r.time - window)
            shortPeak = std::max(shortPeak, both);
        const double step = std::abs(s.recent[i].value - s.recent[i - 1].value);
        if (step < limits.prozent * onePercent / 2) {
            steps += step;
            ++stepCount;
        }
    }
    // A loss of the limit's size is to be caught as far as the noise lets
    // it be seen: the limit less the noise (at most a quarter of it) counts.
    const double noise = std::min(stepCount ? steps / stepCount : 0.0, limits.prozent * onePercent / 4);
    // Quiet hours are those in which nothing is drawn: the day's rate says
    // nothing about them.
    const double usePerSecond = limits.quiet.any() ? 0 : std::max(0.0, dailyUse) / kDay;
    const auto falls = [&](double reference, qint64 span, double limit) {
        const double fall = reference - level.value;
        return fall > limit * onePercent - noise && fall > Loss::kClearly * usePerSecond * double(span);
    };
    const bool holds = falls(shortPeak, window, limits.prozent) ||
                       falls(longPeak, longWindow, limits.prozent * Loss::kLongLimit);

    if (!s.active) {
        if (holds) {
            s.active = true;
            s.low = level.value;
            s.lowTime = r.time;
            out.event = LossEvent::Started;
        }
    } else if (!s.low || level.value < *s.low - limits.prozent * onePercent / 4) {
        // A new low beyond the noise (a quarter of the limit) keeps the event open.
        s.low = level.value;
        s.lowTime = r.time;
    } else if (r.time - s.lowTime >= window) {
        // None for the short window's length ends it; the level it ended at
        // is the new reference, or the long window would raise it again.
        end();
        while (s.recent.front().time < r.time - window)
            s.recent.pop_front();
    }
    return done();
}
