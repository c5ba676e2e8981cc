#pragma once
#include "LifeCycle.h"
#include "core/Clock.h"
#include "core/RunSwitches.h"
#include "lang/Lng.h"
#include "link/LinkManager.h"
#include "model/NotificationLog.h"
#include "model/TankController.h"
#include "model/TankState.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

class ConsumptionMeter;
class LossWatch;
class ServiceStatus;
class TankStateWatch;
class TankSnapshots;
class EmailNotifier;
class EmailSettings;
class ForecastProvider;
class HistoryRecorder;
class SilenceAlarm;
class SmtpSender;
class InstanceLock;
class MqttPublisher;
class WebServer;
class Settings;
class UiServices;

// The program's life without any widget: the start-up decisions, the main
// window's initialise / load / activate / unload steps, restart and the end,
// and the subsystems of a run. It decides; the window program (src/ui) and
// the headless program only present what it decides. The menu commands are
// MenuCommands'; the windows see this only as their LifeCycle.
class AppController : public LifeCycle
{
    Q_OBJECT
public:
    // Starts the new process of a restart (empty: this program's own file).
    using ProcessStarter = std::function<void(const QStringList &args)>;

    AppController(RunSwitches &switches, Settings &settings, UiServices &ui, ClockFn clock,
                  LinkHardware hardware = {}, ProcessStarter starter = {}, QObject *parent = nullptr);
    ~AppController() override;

    TankController &tanks() { return tanks_; }
    const RunConfig &config() const { return switches_.options(); }
    // The run's switches; the dialogs that change one (log settings) write here.
    RunSwitches &switches() { return switches_; }
    Settings &settings() { return settings_; }
    UiServices &ui() { return ui_; }
    const ClockFn &clock() const { return clock_; }
    // The run's language, fixed at start-up; what the logic below builds
    // (messages, panels, stored texts) speaks it.
    const Texts &texts() const { return texts_; }
    // The e-mail settings (the dialog edits them) and the notifications
    // (the dialog's test button: SendTestEmail).
    EmailSettings &emailSettings() { return *emailSettings_; }
    EmailNotifier &email() { return *email_; }
    // Each tank's days until empty, kept current as the histories grow.
    ForecastProvider &forecasts() { return *forecast_; }
    // Loss alarm and consumption meter: each tank's open loss event
    // (lossChanged) and its meter (consumedChanged).
    LossWatch &losses() { return *loss_; }
    ConsumptionMeter &meters() { return *meter_; }
    void restartMqtt() override;
    void restartWeb() override;
    // The web server, null while it does not run.
    WebServer *web() const { return web_.get(); }

    // --- Fleet view, states and notifications ---
    // What happened (alarms, faults, silence, link, e-mail, MQTT); anything may add().
    NotificationLog &notifications() { return notifications_; }
    // Every tank's state, kept current.
    TankStateWatch &states() { return *states_; }
    // Every tank as the views and publishers show it.
    TankSnapshots &snapshots() { return *snapshots_; }
    // The last word of e-mail and MQTT.
    ServiceStatus &services() { return *services_; }
    // ---

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
    void startMqtt();
    void reportTankFolderProblem();
    void startWeb();

    RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    // Handed by reference to everything below: it speaks the language once
    // the start-up has fixed it.
    Texts texts_;
    ClockFn clock_;
    LinkHardware hardware_;
    ProcessStarter starter_;
    TankController tanks_;
    std::unique_ptr<HistoryRecorder> history_;
    std::unique_ptr<ForecastProvider> forecast_; // between the sequence and the recorder
    std::unique_ptr<EmailSettings> emailSettings_;
    std::unique_ptr<SmtpSender> smtp_; // outlives the notifier's messages
    std::unique_ptr<EmailNotifier> email_;
    std::unique_ptr<SilenceAlarm> silence_;
    std::unique_ptr<ConsumptionMeter> meter_;
    std::unique_ptr<LossWatch> loss_; // in front of the e-mail rules
    std::unique_ptr<InstanceLock> lock_;
    std::unique_ptr<LinkManager> links_;
    QStringList restartOptions_;
    QString helpFile_;
    bool unloaded_ = false;
    bool activated_ = false;
    bool wantInterfaceDialog_ = false;
    bool quitting_ = false;
    QTimer timerClient_;
    std::unique_ptr<MqttPublisher> mqtt_; // listens to tanks_
    // The web view: its server and what its metrics count.
    std::unique_ptr<WebServer> web_;
    QMap<QString, qint64> telegrams_; // accepted, by link
    QMap<QString, qint64> webEmails_;
    // Fleet view, states and notifications (wired in wireNotifications).
    NotificationLog notifications_;
    std::unique_ptr<ServiceStatus> services_;
    std::unique_ptr<TankStateWatch> states_;
    std::unique_ptr<TankSnapshots> snapshots_; // every view and publisher reads these
    // What the states are judged against, as stored: read at start-up and at
    // each activation, and again when the settings concerned change (the
    // e-mail settings saved, a tank's own threshold, tanks removed, the
    // client's minute), not at every judgement.
    std::array<TankStateRules, kMaxDevices + 1> stateRules_{};
    // Tank n's rules (0: every tank's) read from the settings.
    void readStateRules(int n = 0);
    void buildSnapshots();
    void wireNotifications();
    void wireLinkNotifications();
};
