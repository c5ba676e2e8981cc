#pragma once
#include "model/TankController.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

class LinkManager;
class HistoryRecorder;

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

    // Program entry: client mode and client path. Returns false when the
    // client path dialog must be shown instead of the main window.
    bool programEntry();
    // frmMain initialise: language id corrected and written back, help file.
    void initialise();
    // frmMain load: false when another instance runs (text 272 shown; end
    // without touching the settings file).
    bool load();
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

    // The links (serial, TCP, simulation); null until created at activation.
    LinkManager *links() const { return links_.get(); }

signals:
    // End the process with this exit code (after unload when saveFirst).
    void quitRequested(int exitCode, bool saveFirst);
    void showInterfaceDialog();
    void emailStatusChanged(const QString &text);
    void tempCorrectionChanged(bool on);

private:
    TankController tanks_;
    std::unique_ptr<LinkManager> links_;
    std::unique_ptr<HistoryRecorder> history_;
    QStringList words_;
    QString helpFile_;
    bool activated_ = false;
    bool wantInterfaceDialog_ = false;
    QTimer timerClient_;
};
