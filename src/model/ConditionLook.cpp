#include "ConditionLook.h"

#include <algorithm>

ConditionLook LookOf(TankCondition c)
{
    // Hues far apart (green, amber, orange, blue, purple, slate, red),
    // and a sign each: an arrow for low, two for very low, waves (running
    // off, in blue) for a loss, a cross where no level exists, an empty ring for a
    // tank that is not heard, the warning sign for the device's alarm.
    switch (c) {
    case TankCondition::Ok:
        return {"#2e7d32", "#ffffff", QStringLiteral("\u2713")};
    case TankCondition::Low:
        return {"#ffc107", "#000000", QStringLiteral("\u2193")};
    case TankCondition::VeryLow:
        return {"#ef6c00", "#000000", QStringLiteral("\u21ca")};
    case TankCondition::Loss:
        return {"#1565c0", "#ffffff", QStringLiteral("\u224b")};
    case TankCondition::Fault:
        return {"#6a1b9a", "#ffffff", QStringLiteral("\u2715")};
    case TankCondition::Silent:
        return {"#546e7a", "#ffffff", QStringLiteral("\u25cc")};
    case TankCondition::Alarm:
        return {"#c62828", "#ffffff", QStringLiteral("\u26a0")};
    }
    return LookOf(TankCondition::Ok);
}

QList<TankCondition> ConditionsWorstFirst()
{
    // The enum counts up in urgency.
    QList<TankCondition> out;
    for (int c = int(TankCondition::Alarm); c >= int(TankCondition::Ok); --c)
        out << TankCondition(c);
    return out;
}

int WorstFirstRank(TankCondition c)
{
    return int(TankCondition::Alarm) - int(c);
}

TankCondition Worse(TankCondition a, TankCondition b)
{
    return WorstFirstRank(a) <= WorstFirstRank(b) ? a : b;
}

double WorstFirstKey(TankCondition c, std::optional<double> daysUntilEmpty)
{
    // Days are capped below the step between two conditions.
    constexpr double kStep = 1e7;
    const double days = daysUntilEmpty ? std::clamp(*daysUntilEmpty, 0.0, kStep / 2) : kStep / 2 + 1;
    return WorstFirstRank(c) * kStep + days;
}
