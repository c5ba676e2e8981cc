#pragma once
#include "model/ConditionLook.h"

#include <QColor>
#include <QIcon>

class QLabel;
class Texts;

// A tank's condition on the desktop, in the colours and signs of
// ConditionLook (the web page takes the same).
namespace StateLook
{
QColor Colour(TankCondition c); // the badge's, the mark's
QColor Ink(TankCondition c);    // text on Colour
QColor Tint(TankCondition c);   // a pale one, for a fill bar under dark text
// The badge's text: the sign, then the condition's words.
QString BadgeText(const TankStatus &s, const Texts &t);
// The badge's style sheet (a QLabel's).
QString BadgeStyle(TankCondition c);
// A round mark with the condition's sign, for a tab caption.
QIcon Mark(TankCondition c, int size);
// A small badge with the condition's sign and words, its note as tool tip;
// hidden while the tank is ok.
void ShowBadge(QLabel *badge, const TankStatus &s, const Texts &t);
} // namespace StateLook
