#pragma once
#include "core/Clock.h"
#include "model/Maintenance.h"
#include "model/TempCorrection.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class CentralDialogLogic;
struct CentralValues;
class ComDialogLogic;
class EmailDialogLogic;
class EmailNotifier;
class EmailSettings;
class LifeCycle;
class LogDialogLogic;
class MqttDialogLogic;
class RunSwitches;
class Settings;
class TankController;
class Texts;
class UiServices;
struct MqttValues;
struct WebValues;

// What the client-path dialog (frmLogClient) does: the folder it shows, OK
// and Cancel.
class ClientPathLogic
{
public:
    virtual ~ClientPathLogic() = default;
    // The folder of the serving installation's settings file, as known now.
    virtual QString clientPath() const = 0;
    // OK: a folder with the serving installation's settings file is stored
    // and the program restarts; else a box, then refused.
    virtual void storeClientPath(const QString &text, const std::function<void()> &refused = {}) = 0;
    // Cancel ends the program only at the entry.
    virtual void clientPathCancelled(bool atEntry) = 0;
};

// The main window's menu commands without any widget: what each one asks,
// stores and sets going, and the logic of every settings dialog. The windows
// present it; a command that ends in a restart or the program's end hands
// that to the life cycle.
class MenuCommands : public QObject, public ClientPathLogic
{
    Q_OBJECT
public:
    MenuCommands(LifeCycle &life, TankController &tanks, RunSwitches &switches, Settings &settings,
                 EmailSettings &emailSettings, EmailNotifier &email, UiServices &ui, const Texts &texts,
                 ClockFn clock, QObject *parent = nullptr);
    ~MenuCommands() override;

    void toggleTemperatureCorrection();
    void deleteTanks();
    void deleteConfiguration();
    // The language id is stored and the program restarts in it.
    void chooseLanguage(int id);
    // The client set-up menu entry: the local file keeps the language and the
    // client path only, then the dialog is shown (showClientPathDialog).
    void clientSetup();
    QString clientPath() const override;
    void storeClientPath(const QString &text, const std::function<void()> &refused = {}) override;
    void clientPathCancelled(bool atEntry) override;
    // What the interface dialog does, over the links; null without links.
    std::unique_ptr<ComDialogLogic> interfaceDialog();
    // The log settings dialog's.
    std::unique_ptr<LogDialogLogic> logDialog();
    // The MQTT dialog's, with each registered tank's energy factor; its OK
    // goes to applyMqttSettings.
    std::unique_ptr<MqttDialogLogic> mqttDialog();
    // The e-mail settings dialog's, whose test button mails through the
    // run's notifier.
    std::unique_ptr<EmailDialogLogic> emailDialog();
    // The central installation's dialog; its OK goes to applyCentralSettings.
    std::unique_ptr<CentralDialogLogic> centralDialog();
    // What the web dialog shows.
    WebValues webValues() const;
    // Section "MQTT" stored; publishing starts again with the new values
    // (never in client mode).
    void applyMqttSettings(const MqttValues &v);
    // Section "Web" stored; the web server starts again with the new values
    // (never in client mode).
    void applyWebSettings(const WebValues &v);
    // Section "Zentrale" stored; the centre starts again with the new values.
    void applyCentralSettings(const CentralValues &v);

signals:
    void showClientPathDialog();
    // The temperature correction's switch once its questions are answered.
    void tempCorrectionChanged(bool on);

private:
    LifeCycle &life_;
    TankController &tanks_;
    RunSwitches &switches_;
    Settings &settings_;
    EmailSettings &emailSettings_;
    EmailNotifier &email_;
    UiServices &ui_;
    const Texts &texts_; // the run's, fixed at start-up
    ClockFn clock_;
    TempCorrection tempCorrection_;
    Maintenance maintenance_;
};
