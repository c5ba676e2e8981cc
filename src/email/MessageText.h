#pragma once
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// Composition of the notification e-mail: subject template conversion, the
// subject line and the fixed-column plain-text body. Pure functions over the
// device table and the dialog's values; every fixed text comes from the
// language table of the current language.

// Reasons of a message (what the rules or the dialog's test button send).
enum EmailReason {
    ReasonManual = 0,
    ReasonAlarmStart = 1,
    ReasonAlarmEnd = 2,
    ReasonLevelLow = 3,
    ReasonCyclic = 4,
    ReasonRefuelStart = 5,
    ReasonRefuelEnd = 6,
    ReasonSilent = 7,   // no accepted telegram for longer than "StilleStunden"
    ReasonReturned = 8, // telegrams again after a reported silence
    ReasonLoss = 9,     // the content fell far faster than the tank's own use
};

// Text of a reason code; unknown codes give "Meldegrund unbekannt".
// silentHours: the hours a silent tank has gone without a telegram.
QString ReasonText(int reason, const Texts &texts, qint64 silentHours = 0);

// The customer fields of the e-mail dialog.
struct CustomerFields {
    QString kundenname, telefon, strasse, ort, bemerkung;
};

// Forms of the subject template handled by ExpandSubject.
enum SubjectMode {
    SubjectToPlaceholders = 0, // codes ("%13") to the placeholders shown while editing
    SubjectToCodes = 1,        // typed placeholders back to codes (the stored form)
    SubjectToValues = 2,       // codes to the values of one tank
};

// Converts a subject template; any other mode returns it unchanged. Plain,
// case-sensitive replacement of every occurrence, code by code in a fixed order.
// Tank numbers outside the table take an empty record.
QString ExpandSubject(int tank, const QString &tmpl, int mode, const DeviceTable &devices,
                      const CustomerFields &customer, const QLocale &locale, const Texts &texts);

// A measurement time as the system shows date and time (short date, long time).
QString MeasurementTimeText(const QDateTime &t, const QLocale &locale);

// Whether a measurement taken at t is more than 60 whole minutes older than
// now (an invalid time counts as old).
bool IsMeasurementStale(const QDateTime &t, const QDateTime &now);

// "<title> V3.02" (".rr" only when the revision is not 0).
QString VersionLine(const QString &programTitle, int major, int minor, int revision);

// Everything the body needs besides the device table.
struct MessageContext {
    QString versionLine; // VersionLine(...)
    CustomerFields customer;
    bool partnerBranding = false;
    QLocale locale; // date and time texts of the measurement times
    Texts texts;    // the language of the message
    QDateTime now;  // a row's percentage is "?%" when its time is older than 60 min
};

// Subject of a message: reason text, " : ", the template with the tank's values.
QString EmailSubject(int tank, int reason, const QString &templateCodes, const DeviceTable &devices,
                     const MessageContext &ctx);

// The message body (CR LF line ends). selected[k-1] tells whether tank k is
// listed in the table of tanks; tanks beyond the list are not listed.
QString EmailBody(int tank, int reason, const DeviceTable &devices, const QList<bool> &selected,
                  const MessageContext &ctx);
