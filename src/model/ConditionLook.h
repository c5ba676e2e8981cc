#pragma once
#include "TankState.h"

#include <QList>
#include <QString>

// How each condition looks wherever a tank is shown: the cards, the fleet
// list, the tab marks and the web page all take it from here, so a state
// reads the same everywhere. Every condition has a colour of its own and a
// sign that tells it apart without colour.
struct ConditionLook {
    const char *colour; // "#rrggbb": badge, mark and fill bar
    const char *ink;    // "#rrggbb": text on that colour
    QString sign;       // one character
};
ConditionLook LookOf(TankCondition c);

// The conditions worst first (the order the lists sort by), ok last.
QList<TankCondition> ConditionsWorstFirst();
// 0 for the worst condition, counting up to ok.
int WorstFirstRank(TankCondition c);
// The worse of two conditions.
TankCondition Worse(TankCondition a, TankCondition b);
// A tank's sort key for worst first, then the soonest empty: ascending
// keys put an alarm first and, within a condition, the tank that runs dry
// first; a tank without a forecast after those with one.
double WorstFirstKey(TankCondition c, std::optional<double> daysUntilEmpty);
