#pragma once
#include "model/TankState.h"

#include <QColor>

class QLabel;
class Texts;

// How a tank's condition looks wherever it is shown: amber for low, red for
// very low, a fault and an alarm, grey-blue for a silent tank.
namespace StateLook
{
QColor Text(TankCondition c);
QColor Background(TankCondition c);
// A small coloured badge with the condition's words and its note as tool
// tip; hidden while the tank is ok.
void ShowBadge(QLabel *badge, const TankStatus &s, const Texts &t);
} // namespace StateLook
