#pragma once
#include "TankPicture.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "model/Figures.h"

struct DeviceRecord;
struct EmptyForecast;
class Texts;

// What the main display derives from a reading, kept free of widgets so the
// rules can be checked without a window; texts in the language handed in.
namespace DisplayRules
{

using ::ReadingAgeMinutes;
// More than 60 minutes: figures grey, the time red.
bool IsOld(qint64 ageMinutes);
// Silent for more than kStaleHours (1440 minutes): the overview entry shows a
// warning instead.
bool IsStale(qint64 ageMinutes);

// Text colours of the display.
QColor NormalColour();
QColor OldColour();     // grey 0x808080
QColor OldTimeColour(); // pure red

// Overview tabs: tab k (k >= 1) holds devices 4k-3 .. 4k.
int OverviewTab(int device);
// Caption of tab k once device lastDevice is the highest on it:
// "Tank 5" for a single device, "Tank 5-7" for several.
QString OverviewTabCaption(const Texts &t, int tab, int lastDevice);
// Tabs per row for k overview tabs: k + 1 below five, else five.
int TabsPerRow(int overviewTabs);
// Entries side by side on an overview page of the given inner width: as
// many whole entries as fit, one to four.
int OverviewColumns(int width, int entryWidth, int gap);
// The empty detail view of a fresh installation: what the program waits
// for, then where it listens (one link a line).
QString WaitingText(const Texts &t, const QStringList &links);
// An empty program: how to connect a device, and where the help says more.
QString EmptyProgramText(const Texts &t);
// The picture's shape for the tank type a device reports (TankTypeName's types).
TankPicture::Shape TankShapeOf(const DeviceRecord &rec);
// Tooltip of the reception bar: what it counts, and where a click leads.
QString ReceptionProgressTip(const Texts &t, double elapsed, double limit);

// Temperature as shown ("12 °C"), empty without a temperature.
QString TemperatureText(qint16 temperatur);
// Window caption for a valid reading: value, " / 12 °C" when known, two
// blanks, program title.
QString DetailCaption(const QString &valueText, qint16 temperatur, const QString &programTitle);
// The system's general date-time format (short date, time with seconds);
// empty without a date.
QString GeneralDateTimeText(const Texts &texts, const QDateTime &t);
// Tank selector entry of a device: "3 / SN4711".
QString SelectorText(int device, qint32 sn);
// The two-line stale warning of the overview entry.
QString StaleWarningText(const Texts &t);
// Days until empty as shown: "about 23 days, until 30.12.2026" in the user's
// language (the word for days agreeing with the number), the date in the
// locale's short form; "Empty" for a tank that reads empty (empty: its
// level is 0 or less); nothing without a forecast, or when its date has gone
// by while the tank still holds some (the forecast is out of date then).
QString ForecastText(const Texts &t, const std::optional<EmptyForecast> &forecast, bool empty);

} // namespace DisplayRules
