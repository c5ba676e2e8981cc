#pragma once
#include "DeviceRecord.h"

#include <QDateTime>
#include <QString>

// The texts and ratios every view shows for a tank, computed from its record
// alone (plus the temperature-correction switch where it matters). Numbers
// use "." as decimal separator, whatever the locale, except in ShownValue.

class Texts;

// Unit code 0..7 to its long ("Liter", "m³", ...) text in the language of
// texts; "" for any other code (no unit).
QString UnitName(int code, const Texts &texts);
// The short form ("L", "Gal", "m³"), the same in every language.
QString UnitSymbol(int code);
// The unit as programs read it (the web API, the metrics, MQTT): the short
// form, but the gallons apart ("imp gal", "US gal"), so no two units share
// a symbol; "" for no unit.
QString UnitCode(int code);
// True for m³, m, %, t: the scale code divides instead of multiplying.
bool IsFractionalUnit(int code);
// A value in the record's raw units with scale and long unit name, or the
// error text ("Fehler E008  (Sonde kurzgeschlossen?!)") for a negative value.
QString FormatValue(qint64 value, const DeviceRecord &rec, const Texts &texts);
// FormatValue as the windows show it: the number in the notation of the
// language of t (decimal comma, grouping), the unit word in its plural form
// ("2.284 Liter", "2 284 litry"). Files and e-mails keep FormatValue.
QString ShownValue(qint64 value, const DeviceRecord &rec, const Texts &t);
// The error text alone for a negative raw value (code = -value).
QString DeviceErrorText(qint64 value, const Texts &texts);
// Fill level as "57%", or "???%" when Volumen is an error or the capacity unknown.
QString PercentText(const DeviceRecord &rec);
// The same from the temperature-corrected value (the "???%" test still uses Volumen).
QString CorrectedPercentText(const DeviceRecord &rec, bool tempKorrOn);
// Volumen / Tankvolumen without upper bound; 1 when unknown or an error.
double FillFraction(const DeviceRecord &rec);
// The tank shape as the devices number it: Tanktyp, + 10 from device type 7
// on (their second set of shapes); TankTypeName is its name.
int TankTypeKey(const DeviceRecord &rec);
QString TankTypeName(const DeviceRecord &rec, const Texts &texts);
// Volumen corrected to 15 °C when the switch is on and a temperature is known,
// rounded half to even. Error codes (negative) are never corrected.
qint32 CorrectedVolume(const DeviceRecord &rec, bool tempKorrOn);
// Number typed by the user or read from a file: "," counts as ".", anything
// that is not a whole number text gives 0.
double ParseNumber(const QString &text);

// A raw level in display units (0 for an error code or an unknown scale),
// as the tank history, the chart and the e-mails use it.
double ScaledLevel(qint64 raw, const DeviceRecord &rec);
// The same as text with the decimals the scale code gives ("1.25"); "" for an
// unknown scale code or a negative raw value.
QString ScaledLevelText(qint64 raw, const DeviceRecord &rec);
// The decimals of the record's display units: 3, 2 or 1 for a fractional unit
// divided by its scale code, else 0.
int LevelDecimals(const DeviceRecord &rec);

// Age of a reading in whole minutes: the minute boundaries crossed between
// the reading and now (10:00:59 -> 10:01:00 is one minute). A reading without
// a date counts as infinitely old.
qint64 ReadingAgeMinutes(const QDateTime &reading, const QDateTime &now);
// Whether a tank whose last reading is ageMinutes old has been silent for more
// than the given hours (0 or less: never). The overview's warning and the
// e-mail about a silent tank both ask this.
bool IsSilent(qint64 ageMinutes, int hours);
// The hours after which the overview warns instead of showing the figures.
inline constexpr int kStaleHours = 24;
