#include "WebAuthDelay.h"

#include <algorithm>

WebAuthDelay::WebAuthDelay(MsClock clock) : clock_(std::move(clock)) {}

qint64 WebAuthDelay::failed(const QString &address)
{
    const qint64 now = clock_();
    if (entries_.size() >= kMaxAddresses && !entries_.contains(address))
        prune(now);
    Entry &e = entries_[address];
    if (e.failures > 0 && now - e.last >= kForgetMs)
        e.failures = 0;
    e.failures = std::min(e.failures + 1, 30);
    e.last = now;
    qint64 delay = kFirstMs;
    for (int i = 1; i < e.failures && delay < kMaxMs; ++i)
        delay *= 2;
    return std::min(delay, kMaxMs);
}

void WebAuthDelay::succeeded(const QString &address)
{
    entries_.remove(address);
}

void WebAuthDelay::prune(qint64 now)
{
    for (auto it = entries_.begin(); it != entries_.end();)
        it = now - it->last >= kForgetMs ? entries_.erase(it) : std::next(it);
    // Still full (a flood of addresses): the half quiet longest goes.
    if (entries_.size() >= kMaxAddresses) {
        std::vector<qint64> times;
        for (const Entry &e : entries_)
            times.push_back(e.last);
        std::nth_element(times.begin(), times.begin() + qsizetype(times.size() / 2), times.end());
        const qint64 cut = times[times.size() / 2];
        for (auto it = entries_.begin(); it != entries_.end();)
            it = it->last <= cut ? entries_.erase(it) : std::next(it);
    }
}
