#pragma once
#include "model/TankController.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class LinkManager;
class HistoryRecorder;
class InstanceLock;

// The program's life without any widget: start-up decisions, the main
// window's initialise / load / activate / unload steps, restart, and the
// menu commands' logic. The main window (src/ui) is a view over it; the
// headless program drives it directly.
class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(QObject *parent = nullptr);
    ~AppController() override;

    TankController &tanks() { return tanks_; }

    // Command line words ("CLIENT", "ENDE", "LNGID=") without our own options.
    void setCommandLine(const QStringList &words);
    bool endeGiven() const;
    // Our own options ("--data-dir X", "--headless") that a restart passes on.
    void setRestartOptions(const QStringList &options);
    // Tests: replaces starting the new process of a restart.
    void setProcessStarter(std::function<void(const QStringList &args)> start) { starter_ = std::move(start); }

    // Program entry: client mode and client path. Returns false when the
    // client path dialog must be shown instead of the main window.
    bool programEntry();
    // frmMain initialise: language id corrected and written back, help file.
    void initialise();
    // frmMain load: false when another instance runs for the same data
    // folder (text 272 shown; end without touching the settings file).
    bool load();
    // The single-instance check alone; load() runs it. Start-up runs it before
    // initialise, whose language write-back must not happen in a refused copy.
    bool acquireInstance();
    // frmMain activate; the first call runs steps 1 to 13, later ones 10 to 13.
    void activate();
    // frmMain unload: saves the registry. The caller ends the process.
    void unload();
    // Closes the links, starts a new instance (" ENDE" [" CLIENT"]), then
    // asks for this one to end (quitRequested).
    void RestartProgram();

    // Company folder + " " + program name (+ text 44 in client mode); with
    // name: "Tankview" in client mode, else the program name.
    static QString ProgramTitle(bool withName);
    QString helpFile() const { return helpFile_; }
    bool firstActivateDone() const { return activated_; }
    bool interfaceDialogWanted() const { return wantInterfaceDialog_; }

    // Menu commands that need no widget.
    void toggleTemperatureCorrection();
    void deleteTanks();
    void deleteConfiguration();
    void chooseLanguage(int id);

    // Client mode, every 60 s: restart when the server's device count
    // changed, else reload every record and what was appended to the tank files.
    void TimerClientTick();

    // The links (serial, TCP, simulation); null until created at activation.
    LinkManager *links() const { return links_.get(); }

signals:
    void linksCreated();
    // End the process with this exit code (after unload when saveFirst).
    void quitRequested(int exitCode, bool saveFirst);
    void showInterfaceDialog();
    void emailStatusChanged(const QString &text);
    void tempCorrectionChanged(bool on);

private:
    TankController tanks_;
    std::unique_ptr<InstanceLock> lock_;
    QStringList restartOptions_;
    std::function<void(const QStringList &)> starter_;
    int storedLngId_ = 0;
    bool unloaded_ = false;
    bool instanceGranted_ = false;
    std::unique_ptr<LinkManager> links_;
    std::unique_ptr<HistoryRecorder> history_;
    QStringList words_;
    QString helpFile_;
    bool activated_ = false;
    bool wantInterfaceDialog_ = false;
    QTimer timerClient_;
};
