#pragma once
#include "MessageText.h"
#include "SmtpMail.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class Settings;
struct DeviceTable;

// Everything the e-mail dialog shows and the notification rules use, as
// plain values. The dialog fills one from its controls and hands it to
// EmailSettings::save (or to EmailNotifier::SendTestEmail for the test
// button, which mails with what the dialog shows, saved or not).
struct EmailValues {
    bool aktiv = false;    // "Aktiv": the e-mail function is on
    QString empfaenger[2]; // "Empfänger 1", "Empfänger 2"
    int schwelle2 = 10;    // "Schwelle 2": an item of SchwelleItems(), -1 = none selected
    int abstand1 = 744;    // "Abstand 1 in h": an item of Abstand1Items(), -1 = none
    int abstand2 = 168;    // "Abstand 2 in h": an item of Abstand2Items(), -1 = none
    QString melderaster = QStringLiteral("10"); // "Melderaster", as typed
    CustomerFields customer;                    // "Kundenname", "Telefon", "Strasse", "Ort", "Bemerkung"
    SmtpServer server;                          // "SMTPServer" ... "AbsenderEmail"; password in clear
    QString betreff;                            // "Betreff": subject template in code form ("%13 ...")
    int alarmmode = 2;                          // "Alarmmode": read only, no control
    int stilleStunden = 24; // "StilleStunden": hours until a silent tank is reported, 0 = off
    // A loss: a fall of more than verlustProzent percentage points of the
    // capacity within verlustStunden hours ("VerlustProzent",
    // "VerlustStunden"; either 0 = off).
    double verlustProzent = 3;
    int verlustStunden = 4;
    // tanks[k - 1]: tank k takes part in e-mails ("Gerät k"/"EmailAktiv").
    // Filled for tanks 1..DeviceCount when loaded.
    QList<bool> tanks;
};

// The e-mail settings of this run in one place: read from the settings
// store at first use, kept in memory, read again after unload() or save().
//
// The dialog:
//   - opens with values() (a copy it edits), fills its combo boxes from
//     SchwelleItems()/Abstand1Items()/Abstand2Items() (position i has that
//     item value; the display texts come from the language table),
//   - OK: save(edited values), Cancel: nothing,
//   - lock and unlock: lockPassword() / setLockPassword() (written at once).
// The rules and the composer read values() and tankSelected().
class EmailSettings : public QObject
{
    Q_OBJECT
public:
    EmailSettings(Settings &settings, const DeviceTable &devices, QObject *parent = nullptr);

    // The values in force; loads them on first use after construction or unload().
    const EmailValues &values();
    // Forget the loaded values; the next use reads the store again (a device
    // was registered, the dialog was opened).
    void unload();

    // Writes every value, in this order: "Aktiv", "Empfänger 1", "Empfänger 2",
    // "Schwelle 2", "Abstand 1 in h", "Abstand 2 in h", "Melderaster",
    // "Kundenname", "Strasse", "Ort", "Telefon", "Bemerkung", "SMTPServer",
    // "SMTPPort", "STARTTLS", "Login", "UserName", "Password" (scrambled),
    // "AbsenderEmail", "Betreff", "StilleStunden", "VerlustProzent", "VerlustStunden"; then "EmailAktiv" of
    // "Gerät k" for every entry of v.tanks. One replace of the file. Nothing is validated; "Alarmmode" is not
    // written. The next use reads the saved values; emits saved().
    void save(const EmailValues &v);

    // Whether tank n takes part in e-mails. Tanks registered after the
    // values were loaded follow their own "EmailAktiv" key (default on).
    bool tankSelected(int n);

    // The lock of the dialog ("Passwort", stored scrambled); "" = unlocked.
    QString lockPassword() const;
    void setLockPassword(const QString &plain);

    // The item values of the three lists, in list order.
    static const QList<int> &SchwelleItems(); // percent: 5, 10, 15, ... 90
    static const QList<int> &Abstand1Items(); // hours: 4, 12, 24, 168, 744
    static const QList<int> &Abstand2Items(); // hours: 4, 12, 24, 168
    // The item whose value is nearest to value (the earlier one on a tie),
    // -1 for an empty list: how a stored number selects a list item.
    static int NearestItem(const QList<int> &items, qint64 value);
    // What is wrong with the sender or a recipient of v, in the language of
    // the run and naming the field; "" when each is one plain address (an
    // empty recipient is unused; an empty sender is reported when sending).
    static QString AddressProblem(const EmailValues &v, const Texts &texts);
    // The largest "StilleStunden" (a year); larger stored values count as this.
    static constexpr int kMaxStilleStunden = 8760;
    // The loss window's largest hours (a week); larger stored values count as this.
    static constexpr int kMaxVerlustStunden = 168;

    // Told (once for each text) when a stored "Alarmmode" is no mode and
    // counts as the default: a hand-edited -1 sends mails, the trace says so.
    void setUnknownModeReport(std::function<void(const QString &stored)> report)
    {
        unknownModeReport_ = std::move(report);
    }

signals:
    void saved();

private:
    bool readTankSwitch(int n) const;

    Settings &settings_;
    const DeviceTable &devices_;
    EmailValues values_;
    bool loaded_ = false;
    std::function<void(const QString &)> unknownModeReport_;
    std::optional<QString> unknownModeReported_;
};
