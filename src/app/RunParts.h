#pragma once
#include "core/Clock.h"
#include "lang/Lng.h"
#include "model/NotificationLog.h"
#include "model/TankController.h"
#include "model/TankState.h"

#include <QMap>
#include <QObject>
#include <array>
#include <memory>

class CentralNotifier;
class Centre;
class RemoteHistory;
class ConsumptionMeter;
class SiteTanks;
class EmailNotifier;
class EmailSettings;
class ForecastProvider;
class HistoryRecorder;
class LinkManager;
class LossWatch;
class MqttPublisher;
class RunSwitches;
class ServiceStatus;
class Settings;
class SilenceAlarm;
class SmtpSender;
class TankSnapshots;
class TankStateWatch;
class UiServices;
class WebServer;
struct RunConfig;

// Everything one run holds below its life cycle, built and wired in one
// place: the telegram sequence with its history, forecasts, loss, meter,
// states and snapshots; the e-mail settings, notifier and silence alarm;
// what happened (notifications, services); the MQTT publisher and the web
// view while they run. The order of the evaluation is fixed here: record,
// history, forecast and meter, loss, state and snapshot, e-mail rules.
// Program builds it for the window program, the headless program and the
// tests; AppController runs the life cycle over it.
class RunParts : public QObject
{
    Q_OBJECT
public:
    RunParts(RunSwitches &switches, Settings &settings, UiServices &ui, ClockFn clock,
             QObject *parent = nullptr);
    ~RunParts() override;

    const RunConfig &config() const;
    RunSwitches &switches() { return switches_; }
    Settings &settings() { return settings_; }
    UiServices &ui() { return ui_; }
    const ClockFn &clock() const { return clock_; }
    // The run's language; everything below speaks it through this object,
    // so fixing it at start-up (setTexts) reaches them all.
    const Texts &texts() const { return texts_; }
    void setTexts(const Texts &texts) { texts_ = texts; }

    TankController &tanks() { return tanks_; }
    HistoryRecorder &history() { return *history_; }
    // Each tank's days until empty, kept current as the histories grow.
    ForecastProvider &forecasts() { return *forecast_; }
    // The e-mail settings (the dialog edits them) and the notifications
    // (the dialog's test button: SendTestEmail).
    EmailSettings &emailSettings() { return *emailSettings_; }
    EmailNotifier &email() { return *email_; }
    SilenceAlarm &silence() { return *silence_; }
    // Loss alarm and consumption meter: each tank's open loss event
    // (lossChanged) and its meter (consumedChanged).
    LossWatch &losses() { return *loss_; }
    ConsumptionMeter &meters() { return *meter_; }
    // What happened (alarms, faults, silence, link, e-mail, MQTT); anything may add().
    NotificationLog &notifications() { return notifications_; }
    // Every tank's state, kept current.
    TankStateWatch &states() { return *states_; }
    // Every tank as the views and publishers show it.
    TankSnapshots &snapshots() { return *snapshots_; }
    // The last word of e-mail and MQTT.
    ServiceStatus &services() { return *services_; }
    // The web server, null while it does not run.
    WebServer *web() const { return web_.get(); }
    // The remote sites' tanks (empty unless this is a central installation).
    SiteTanks &sites() { return *sites_; }
    // Where the sites' tank files are kept ("" unless this is a central installation).
    const QString &remoteHistoryFolder() const { return remoteFolder_; }
    // The central installation's subscription, null while off.
    Centre *centre() const { return centre_.get(); }

    // The links, once the activation has made them (null: gone again):
    // their losses and returns become notifications, and whether the
    // simulation runs (its telegrams are neither judged for loss nor mailed)
    // is asked of them.
    void watchLinks(LinkManager *links);
    // Tank n's state rules (0: every tank's) read again from the settings.
    void readStateRules(int n = 0);
    // MQTT publishing and the web view as stored (again); nothing in client
    // mode or when switched off. A problem is said where the user looks.
    void startMqtt();
    void startWeb();
    // The central installation as stored (again): the sites' tanks from the
    // broker, their changes to the notifications and e-mail.
    void startCentral();
    // At the end: MQTT says goodbye, the web view stops.
    void stopServices();

private:
    bool simulating() const;
    void buildSnapshots();
    void wireNotifications();

    RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    ClockFn clock_;
    // Handed by reference to everything below: it speaks the language once
    // the start-up has fixed it.
    Texts texts_;
    TankController tanks_;
    std::unique_ptr<HistoryRecorder> history_;
    std::unique_ptr<ForecastProvider> forecast_; // between the sequence and the recorder
    std::unique_ptr<EmailSettings> emailSettings_;
    std::unique_ptr<SmtpSender> smtp_; // outlives the notifier's messages
    std::unique_ptr<EmailNotifier> email_;
    std::unique_ptr<SilenceAlarm> silence_;
    std::unique_ptr<ConsumptionMeter> meter_;
    std::unique_ptr<LossWatch> loss_; // in front of the e-mail rules
    NotificationLog notifications_;
    std::unique_ptr<ServiceStatus> services_;
    std::unique_ptr<TankStateWatch> states_;
    std::unique_ptr<TankSnapshots> snapshots_; // every view and publisher reads these
    // What the states are judged against, as stored: read at start-up and at
    // each activation, and again when the settings concerned change (the
    // e-mail settings saved, a tank's own threshold, tanks removed, the
    // client's minute), not at every judgement.
    std::array<TankStateRules, kMaxDevices + 1> stateRules_{};
    LinkManager *links_ = nullptr;
    std::unique_ptr<MqttPublisher> mqtt_; // listens to the snapshots
    std::unique_ptr<SiteTanks> sites_;
    std::unique_ptr<CentralNotifier> centralNotifier_;
    std::unique_ptr<Centre> centre_; // feeds sites_, the notifier and the history
    std::unique_ptr<RemoteHistory> remoteHistory_;
    QString remoteFolder_;
    // The web view: its server and what its metrics count.
    std::unique_ptr<WebServer> web_;
    QMap<QString, qint64> telegrams_; // accepted, by link
    QMap<QString, qint64> webEmails_;
};
