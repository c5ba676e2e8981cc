#pragma once
#include "ItemList.h"
#include "PortDirectory.h"

#include <optional>

#include <QObject>
#include <QString>

class LinkManager;
class Settings;
class UiServices;
class RunSwitches;
class Texts;

// What the interface dialog frmCOM does, without the widgets: the port list,
// the two link switches, the TCP port field, OK and Cancel. Every selection in
// the port list reopens the link at once. The window mirrors this object.
class ComDialogLogic : public QObject
{
    Q_OBJECT
public:
    // The language the dialog speaks (the run's).
    const Texts &texts() const { return texts_; }
    ComDialogLogic(LinkManager &link, RunSwitches &switches, Settings &settings, UiServices &ui,
                   const Texts &texts, QObject *parent = nullptr);

    struct Captions {
        QString window, labelCom, labelAktiv, ok, cancel;
    };
    static Captions captions(const Texts &texts);

    // After the window is shown: fills the port list (which reopens the link on
    // the current port), sets the switches and the TCP port field.
    void Load();
    void FillPortList();

    const ItemList &ports() const { return ports_; }
    // Device path of port list entry i (empty for the "no ports" entry).
    QString entryDevice(int i) const;
    // The port list selection, by the user or by code: reopens the link.
    void select(int index);

    bool checkAktivCom() const { return aktivCom_; }
    bool checkAktivNet() const { return aktivNet_; }
    QString clientPortText() const { return clientPort_; }
    void setCheckAktivCom(bool on) { aktivCom_ = on; }
    void setCheckAktivNet(bool on) { aktivNet_ = on; }
    void setClientPortText(const QString &t) { clientPort_ = t; }
    // "COM"/"ClientAdresse": empty listens on every interface.
    QString clientAddressText() const { return clientAddress_; }
    void setClientAddressText(const QString &t) { clientAddress_ = t; }

    // Saves the switches, the port and the address and reopens the link;
    // with neither switch on, only once the user confirms it in a question
    // box. A TCP port field that is no port (1..65535) or an address that is
    // no IP address is said in a box and nothing is saved.
    void Ok();
    // The port a field's text names, as --set takes it.
    static std::optional<quint16> PortNumber(const QString &text);
    void Cancel();

signals:
    void listChanged(); // the entries were rebuilt
    void selectionChanged(int index);
    void fieldsChanged(); // switches or TCP port field set by code
    void closeRequested();

private:
    void apply();

    LinkManager &link_;
    RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ItemList ports_;
    QList<QString> devices_;
    bool aktivCom_ = false;
    bool aktivNet_ = false;
    QString clientPort_;
    QString clientAddress_;
};
