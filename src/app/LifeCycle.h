#pragma once
#include <QObject>

class LinkManager;

// The running program's life as the menu commands and the main window see
// it: activation, the end, a restart, the links once the first activation
// has made them, and the two services a dialog's OK starts again.
// AppController is the one implementation; the windows hold this instead.
class LifeCycle : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // frmMain activate; the first call runs steps 1 to 13, later ones 10 to 13.
    virtual void activate() = 0;
    virtual bool firstActivateDone() const = 0;
    // Neither link switched on at load: the interface dialog is wanted.
    virtual bool interfaceDialogWanted() const = 0;
    // Ends the program with exitCode: views close (quitRequested), the event
    // loop ends at its next turn. saveFirst: unload before.
    virtual void requestQuit(int exitCode, bool saveFirst) = 0;
    // Closes the links, starts a new instance (" ENDE" [" CLIENT"]), then
    // ends this one (registry saved).
    virtual void RestartProgram() = 0;
    // The links (serial, TCP, simulation); null until created at activation.
    virtual LinkManager *links() const = 0;
    // Sections "MQTT" / "Web" were stored: publishing or the web server
    // starts again with them, once activated and until unloaded (never in
    // client mode).
    virtual void restartMqtt() = 0;
    virtual void restartWeb() = 0;
    // Section "Zentrale" was stored: the central installation's subscription
    // starts again with it, as MQTT and the web view do.
    virtual void restartCentral() = 0;

signals:
    void linksCreated();
    // The program ends: windows close.
    void quitRequested(int exitCode);
};
