#pragma once
#include <QColor>

class QApplication;
class QLabel;
class QWidget;

// The program's look in one place: application style and palette, and the
// text roles of the display labels. Roles set fonts only, so the colours the
// age rules give a label (through its palette) are never overridden.
namespace UiLook
{

enum class Role {
    Plain,
    BigValue,    // the selected tank's value
    Percent,     // fill level under it
    FieldName,   // captions of the detail fields
    FieldValue,  // the detail fields
    EntryName,   // tank name in an overview entry
    EntryValue,  // value in an overview entry
    EntryNotice, // warning or error text in place of the value
    DetailName,  // the selected tank's name
    Fault,       // a device's error text in the detail view
    EntryPercent,
    Small,
    AlarmBadge, // red "Alarm" tag
    Link,
};

// Fusion with a light, calm palette; called once before the first window.
void ApplyApplicationLook(QApplication &app);
void SetRole(QLabel *label, Role role);
void SetTextColour(QWidget *w, const QColor &c);
QColor TextColour(const QWidget *w);
// Accent of the program (selected tab, links, logo).
QColor Accent();

} // namespace UiLook
