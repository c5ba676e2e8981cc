#include "Clock.h"

namespace {
std::function<QDateTime()> &override_()
{
    static std::function<QDateTime()> f;
    return f;
}
}

QDateTime Clock::Now()
{
    if (override_())
        return override_()();
    const QDateTime local = QDateTime::currentDateTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

void Clock::SetOverride(std::function<QDateTime()> now) { override_() = std::move(now); }
