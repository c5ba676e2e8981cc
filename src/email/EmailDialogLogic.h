#pragma once
#include "EmailSettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct DeviceTable;
class UiServices;
class Texts;

// What the test button needs of the notifications.
struct TestMailFns {
    std::function<bool()> busy; // a message is being composed or sent
    // Sends a manual message for the tank with the values the dialog shows.
    std::function<void(int tank, const EmailValues &shown)> send;
};

// What the e-mail settings dialog frmEmail does, without the widgets: the
// values of its controls, the tank list, the subject's three forms as the
// focus moves, the lock, which controls are enabled, OK, Cancel and the test
// button. The window mirrors this object and hands every edit back at once.
class EmailDialogLogic : public QObject
{
    Q_OBJECT
public:
    // The language the dialog speaks (the run's).
    const Texts &texts() const { return texts_; }
    EmailDialogLogic(EmailSettings &settings, TestMailFns testMail, UiServices &ui, const Texts &texts,
                     const DeviceTable &devices, QObject *parent = nullptr);

    // An entry of a combo list: the text of the current language and its value.
    struct ListEntry {
        QString text;
        int value;
    };
    QList<ListEntry> SchwelleList() const; // ComboSchwelle2, percent
    QList<ListEntry> Abstand1List() const; // ComboAbstand1, hours
    QList<ListEntry> Abstand2List() const; // ComboAbstand2, hours

    // Reads every setting and fills the tank list.
    void Load();

    // The values of the controls; the window writes edits straight into it.
    // values.tanks[i] is the selection of tank list position i.
    EmailValues values;

    // The tank list: "3 / SN12345" for tank 3, one per registered tank.
    QStringList tankTexts;
    int currentTank() const { return currentTank_; } // position, -1 for none
    // The list and its label are shown only for more than one tank.
    bool tankListShown() const { return tankTexts.size() > 1; }
    // Another tank becomes current: the subject shows its values.
    void setCurrentTank(int position);

    // The subject field: the preview with the current tank's values, or,
    // while it is edited, the template with the placeholders of the language.
    QString subjectText() const { return subjectText_; }
    // The subject as it will go out, for the text typed so far (placeholders or codes).
    QString subjectPreview(const QString &typed) const;
    bool subjectEditing() const { return subjectEditing_; }
    void subjectFocusIn();
    void subjectFocusOut(const QString &typed);

    // The lock: a stored password disables every input.
    bool locked() const { return locked_; }
    bool inputsEnabled() const { return !locked_; }
    bool loginFieldsEnabled() const { return !locked_ && values.server.login; }
    void setLogin(bool on);
    // Lock when unlocked (asks for a password), unlock when locked (asks for it
    // or the service code).
    void cmdSchloss();

    // Writes every value and the tank selection, then asks the window to close.
    // A sender or recipient that is not one plain address is refused with a
    // box naming the field; the dialog stays open.
    void Ok();
    void Cancel();
    // The test button: "Busy" while a message is out, else asks, then sends a
    // manual message for the current tank with the values as they stand.
    void cmdTest();

signals:
    void fieldsChanged();   // values or tank list set by the logic
    void subjectChanged();  // subject text or its form
    void enablingChanged(); // lock state or login box
    void closeRequested();

private:
    void refreshSubject();
    void setLocked(bool locked);
    bool unlockAccepted(const QString &answer) const;

    EmailSettings &settings_;
    TestMailFns testMail_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    const DeviceTable &devices_;
    int currentTank_ = -1;
    QString subjectText_;
    bool subjectEditing_ = false;
    bool locked_ = false;
};
