#pragma once
#include "LifeCycle.h"
#include "core/Clock.h"
#include "core/RunSwitches.h"
#include "lang/Lng.h"
#include "link/LinkManager.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class InstanceLock;
class RunParts;
class TankController;
class Settings;
class UiServices;

// The program's life without any widget: the start-up decisions, the main
// window's initialise / load / activate / unload steps, restart and the end,
// over the parts of a run that Program built (RunParts). It decides; the
// window program (src/ui) and the headless program only present what it
// decides. The menu commands are MenuCommands'; the windows see this only
// as their LifeCycle.
class AppController : public LifeCycle
{
    Q_OBJECT
public:
    // Starts the new process of a restart (empty: this program's own file).
    using ProcessStarter = std::function<void(const QStringList &args)>;

    AppController(RunParts &parts, LinkHardware hardware = {}, ProcessStarter starter = {},
                  QObject *parent = nullptr);
    ~AppController() override;

    const RunConfig &config() const { return switches_.options(); }
    void restartMqtt() override;
    void restartCentral() override;
    void restartWeb() override;

    // Our own options ("--data-dir X", "--headless") that a restart passes on.
    void setRestartOptions(const QStringList &options) { restartOptions_ = options; }

    enum class Start {
        Run,               // show the main window (or run headless) and activate
        ClientPathMissing, // client mode without a client path: see reportClientPathMissing
        Ended,             // refused or failed; the reason is shown, the end requested
    };
    // Program entry, single-instance check, initialise and load, in this
    // order. Nothing is written before the instance is ours.
    Start start();
    // Client mode without "Client"/"Path", without a window: says so (text
    // 297) and ends.
    void reportClientPathMissing();
    // Client mode without "Client"/"Path", with windows: the client-path
    // dialog speaks the stored language. Choose: the stored id is 0, the
    // language selection is shown and entryLanguageChosen follows.
    enum class EntryLanguage { Ready, Choose, Ended };
    EntryLanguage fixEntryLanguage();
    // The selection's id for this run (not stored); 0 (closed without a
    // choice) or an unknown id ends the program. True when it goes on.
    bool entryLanguageChosen(int id);

    void activate() override;
    // frmMain unload: saves the registry and closes the links (once).
    void unload();
    void RestartProgram() override;
    void requestQuit(int exitCode, bool saveFirst) override;
    bool quitRequestedAlready() const { return quitting_; }

    QString helpFile() const { return helpFile_; }
    bool firstActivateDone() const override { return activated_; }
    bool interfaceDialogWanted() const override { return wantInterfaceDialog_; }

    // Client mode, every 60 s: restart when the server's device count
    // changed, else reload every record and what was appended to the tank files.
    void TimerClientTick();

    LinkManager *links() const override { return links_.get(); }

private:
    bool programEntry();
    bool acquireInstance();
    bool initialise();
    void load();
    void readSwitches();
    void readTracePath();
    void readLogSwitches();
    void wrongLanguage();
    // LngInit, and the run's texts follow the language it fixes.
    bool initLanguage(const std::function<int()> &choose);
    void reportTankFolderProblem();

    RunParts &parts_;
    RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    const ClockFn &clock_;
    const Texts &texts_; // the parts' (fixed at start-up)
    TankController &tanks_;
    LinkHardware hardware_;
    ProcessStarter starter_;
    std::unique_ptr<InstanceLock> lock_;
    std::unique_ptr<LinkManager> links_;
    QStringList restartOptions_;
    QString helpFile_;
    bool unloaded_ = false;
    bool activated_ = false;
    bool wantInterfaceDialog_ = false;
    bool quitting_ = false;
    QTimer timerClient_;
};
