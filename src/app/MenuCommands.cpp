#include "MenuCommands.h"

#include "central/CentralDialogLogic.h"

#include "ClientSetup.h"
#include "LifeCycle.h"
#include "LogDialogLogic.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "email/EmailDialogLogic.h"
#include "email/EmailNotifier.h"
#include "lang/Lng.h"
#include "link/ComDialogLogic.h"
#include "link/LinkManager.h"
#include "model/TankController.h"
#include "mqtt/MqttDialogLogic.h"
#include "mqtt/MqttSettings.h"
#include "web/WebSettings.h"

MenuCommands::MenuCommands(LifeCycle &life, TankController &tanks, RunSwitches &switches, Settings &settings,
                           EmailSettings &emailSettings, EmailNotifier &email, UiServices &ui,
                           const Texts &texts, ClockFn clock, QObject *parent)
    : QObject(parent), life_(life), tanks_(tanks), switches_(switches), settings_(settings),
      emailSettings_(emailSettings), email_(email), ui_(ui), texts_(texts), clock_(clock),
      tempCorrection_(tanks, switches, settings, ui, texts), maintenance_(tanks, switches, ui, texts, clock)
{
}

MenuCommands::~MenuCommands() = default;

void MenuCommands::toggleTemperatureCorrection()
{
    tempCorrection_.Toggle([this](bool on) { emit tempCorrectionChanged(on); });
}

void MenuCommands::deleteTanks()
{
    maintenance_.DeleteTanks(texts_(330), [this] { life_.RestartProgram(); });
}

void MenuCommands::deleteConfiguration()
{
    maintenance_.DeleteConfiguration([this] { life_.requestQuit(0, false); });
}

void MenuCommands::chooseLanguage(int id)
{
    settings_.write(Cfg::LngId, id);
    life_.RestartProgram();
}

void MenuCommands::clientSetup()
{
    ClientSetup::ReduceLocalSettings(settings_, texts_.lngId());
    emit showClientPathDialog();
}

QString MenuCommands::clientPath() const
{
    return switches_.clientPath();
}

void MenuCommands::storeClientPath(const QString &text, const std::function<void()> &refused)
{
    const ClientSetup::Outcome out = ClientSetup::StorePath(switches_, settings_, text, texts_.lngId());
    if (out.stored) {
        // As a language change does: the new process reads the new folder.
        life_.RestartProgram();
        return;
    }
    // A wrong folder is said and can be mended; the program goes on.
    ui_.messageBox(out.text, QString(), out.icon, MsgButtons::Ok, [refused](MsgResult) {
        if (refused)
            refused();
    });
}

void MenuCommands::clientPathCancelled(bool atEntry)
{
    if (atEntry)
        life_.requestQuit(0, false);
}

std::unique_ptr<ComDialogLogic> MenuCommands::interfaceDialog()
{
    LinkManager *links = life_.links();
    if (!links)
        return nullptr;
    return std::make_unique<ComDialogLogic>(*links, switches_, settings_, ui_, texts_);
}

std::unique_ptr<LogDialogLogic> MenuCommands::logDialog()
{
    return std::make_unique<LogDialogLogic>(switches_, settings_, clock_);
}

std::unique_ptr<MqttDialogLogic> MenuCommands::mqttDialog()
{
    const DeviceTable &devices = tanks_.table();
    auto logic =
        std::make_unique<MqttDialogLogic>(ReadMqttValues(settings_, devices.DeviceCount), ui_, texts_,
                                          [this](const MqttValues &v) { applyMqttSettings(v); });
    logic->energyRows = MqttDialogLogic::EnergyRows(devices, texts_);
    return logic;
}

std::unique_ptr<EmailDialogLogic> MenuCommands::emailDialog()
{
    EmailNotifier &mail = email_;
    TestMailFns testMail{[&mail] { return mail.busy(); },
                         [&mail](int tank, const EmailValues &shown) { mail.SendTestEmail(tank, shown); }};
    return std::make_unique<EmailDialogLogic>(emailSettings_, std::move(testMail), ui_, texts_,
                                              tanks_.table());
}

WebValues MenuCommands::webValues() const
{
    return ReadWebValues(settings_);
}

void MenuCommands::applyMqttSettings(const MqttValues &v)
{
    WriteMqttValues(settings_, v);
    life_.restartMqtt();
}

std::unique_ptr<CentralDialogLogic> MenuCommands::centralDialog()
{
    return std::make_unique<CentralDialogLogic>(ReadCentralValues(settings_), ui_, texts_,
                                                [this](const CentralValues &v) { applyCentralSettings(v); });
}

void MenuCommands::applyCentralSettings(const CentralValues &v)
{
    WriteCentralValues(settings_, v);
    life_.restartCentral();
}

void MenuCommands::applyWebSettings(const WebValues &v)
{
    WriteWebValues(settings_, v);
    life_.restartWeb();
}
