#include "AppController.h"

#include "ClientSetup.h"
#include "InstanceLock.h"
#include "ProgramInfo.h"
#include "consumption/Forecast.h"
#include "core/Paths.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "email/EmailNotifier.h"
#include "email/SilenceAlarm.h"
#include "history/HistoryRecorder.h"
#include "lang/Lng.h"
#include "link/ComDialogLogic.h"
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QVersionNumber>

AppController::AppController(RunSwitches &switches, Settings &settings, UiServices &ui, ClockFn clock,
                             LinkHardware hardware, ProcessStarter starter, QObject *parent)
    : QObject(parent), switches_(switches), settings_(settings), ui_(ui), clock_(std::move(clock)),
      hardware_(std::move(hardware)), starter_(std::move(starter)), tanks_(switches, settings, ui, clock_),
      history_(std::make_unique<HistoryRecorder>(tanks_.table(), switches, settings, ui, clock_,
                                                 [this] { tanks_.registry().SaveDeviceRegistry(); })),
      tempCorrection_(tanks_, switches, settings, ui), maintenance_(tanks_, switches, ui, clock_)
{
    forecast_ = std::make_unique<ForecastProvider>(tanks_.table(), settings_, clock_, *history_);
    tanks_.setHistoryHooks(forecast_.get());
    connect(&tanks_, &TankController::tableReset, forecast_.get(), &ForecastProvider::refresh);
    SmtpTransport transport;
    transport.caFile = qEnvironmentVariable("TANKMON_SMTP_CAFILE");
    smtp_ = std::make_unique<SmtpSender>(transport);
    emailSettings_ = std::make_unique<EmailSettings>(settings_, tanks_.table());
    email_ = std::make_unique<EmailNotifier>(
        tanks_.table(), *emailSettings_, settings_, ui_, clock_, *forecast_,
        [this](const SmtpServer &server, const QString &to, const QString &subject, const QString &body,
               SmtpSender::Done done) { smtp_->SMTP_Send(server, to, subject, body, std::move(done)); },
        [this] {
            MessageContext m;
            const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(TANKMON_VERSION));
            m.versionLine = VersionLine(ProgramTitle(config(), false), v.majorVersion(), v.minorVersion(),
                                        v.microVersion());
            m.partnerBranding = config().partnerBranding;
            m.locale = QLocale::system();
            return m;
        },
        [this] { return links_ && links_->simulation().state() != DeviceLink::State::Closed; });
    tanks_.setEmailHooks(email_.get());
    silence_ =
        std::make_unique<SilenceAlarm>(tanks_.table(), *emailSettings_, settings_, config(), clock_, *email_);
    // Names the file and the reason: the user has to find and mend it.
    settings_.setFailureReport([this](const QString &path, const QString &reason) {
        QString text = LngText(17) + QLatin1Char('\n') + path;
        if (!reason.isEmpty())
            text += QLatin1Char('\n') + reason;
        ui_.messageBox(text, QString(), MsgIcon::Stop, MsgButtons::Ok);
    });
    timerClient_.setInterval(60000);
    connect(&timerClient_, &QTimer::timeout, this, &AppController::TimerClientTick);
}

AppController::~AppController() = default;

AppController::Start AppController::start()
{
    if (!programEntry())
        return Start::ClientPathMissing;
    // Before anything is written: a refused copy leaves the settings alone.
    if (!acquireInstance())
        return Start::Ended;
    if (!initialise())
        return Start::Ended;
    load();
    return Start::Run;
}

bool AppController::programEntry()
{
    if (!config().clientMode)
        return true;
    const QString name = config().ExeFileName(QStringLiteral(".ini"));
    QString path = settings_.read(Cfg::ClientPath);
    if (path.endsWith(name, Qt::CaseInsensitive))
        path.chop(name.size());
    switches_.setClientPath(path);
    // A folder stored by a Windows installation is reached through the
    // share's mount point here; not mounted, the user chooses the folder.
    if (ClientSetup::IsWindowsPath(path)) {
        const QString mounted = ClientSetup::MountedFolder(path);
        if (mounted.isEmpty())
            return false;
        switches_.setClientPath(mounted);
    }
    return !path.isEmpty();
}

AppController::EntryLanguage AppController::fixEntryLanguage()
{
    bool ask = false;
    const bool known = LngInit(config().words, settings_, [&ask] {
        ask = true;
        return 0;
    });
    if (ask)
        return EntryLanguage::Choose;
    if (!known) {
        wrongLanguage();
        return EntryLanguage::Ended;
    }
    return EntryLanguage::Ready;
}

bool AppController::entryLanguageChosen(int id)
{
    SetLngId(id);
    if (LngTableExists(id))
        return true;
    wrongLanguage();
    return false;
}

void AppController::wrongLanguage()
{
    ui_.messageBox(QStringLiteral("Wrong LngId !?!"), QString(), MsgIcon::None, MsgButtons::Ok,
                   [this](MsgResult) { requestQuit(1, false); });
}

void AppController::storeClientPath(const QString &text)
{
    const ClientSetup::Outcome out = ClientSetup::StorePath(switches_, settings_, text);
    ui_.messageBox(out.text, QString(), out.icon, MsgButtons::Ok,
                   [this, stored = out.stored](MsgResult) { requestQuit(stored ? 0 : 1, true); });
}

void AppController::clientPathCancelled(bool atEntry)
{
    if (atEntry)
        requestQuit(0, false);
}

void AppController::clientSetup()
{
    ClientSetup::ReduceLocalSettings(settings_);
    emit showClientPathDialog();
}

void AppController::reportClientPathMissing()
{
    if (LngId() == 0)
        LngInit(config().words, settings_, [] { return 1; });
    ui_.messageBox(LngText(297) + QStringLiteral("\r\n") + config().ExeFileName(QStringLiteral(".ini")),
                   QString(), MsgIcon::Stop, MsgButtons::Ok, [this](MsgResult) { requestQuit(1, false); });
}

bool AppController::acquireInstance()
{
    lock_ =
        std::make_unique<InstanceLock>(config().DataFilePath(config().ExeFileName(QStringLiteral(".lock"))));
    if (lock_->tryLock()) {
        // Only this instance writes here: temporaries beside the settings
        // file are what a killed save left.
        SafeFile::RemoveStaleTemporaries(config().dataFolder, config().ExeFileName(QStringLiteral(".ini")));
        return true;
    }
    if (config().hasWord(QStringLiteral("ENDE"))) {
        // Restarted: the old instance is still saving; take over its lock
        // as soon as it has gone, so a third copy is refused again.
        lock_->lockWhenFree();
        return true;
    }
    // The language is not fixed yet: the refusal is told in the stored one.
    LngInit(config().words, settings_, [] { return 1; });
    // No other instance: the data folder does not take our files. Say which.
    const QString text = lock_->heldByOther()
                             ? LngText(272)
                             : LngText(17) + QStringLiteral("\r\n") + config().dataFolder +
                                   QStringLiteral("\r\n") + SafeFile::FolderWriteProblem(config().dataFolder);
    ui_.messageBox(text, LngText(273), MsgIcon::Stop, MsgButtons::Ok,
                   [this](MsgResult) { requestQuit(1, false); });
    return false;
}

bool AppController::initialise()
{
    int id = int(settings_.readInt(Cfg::LngId));
    const QString de = Paths::ProgramFilePath(config().ExeFileName(QStringLiteral(".chm")));
    const QString en = Paths::ProgramFilePath(config().ExeFileName(QStringLiteral("_e.chm")));
    if (id < 1 || id > 10) {
        id = QFileInfo::exists(en) ? 2 : 1;
        settings_.write(Cfg::LngId, id);
    }
    if (id == 1)
        helpFile_ = QFileInfo::exists(de) ? de : en;
    else
        helpFile_ = QFileInfo::exists(en) ? en : de;
    // The stored id was corrected above; a 0 read back means the write failed,
    // and the corrected id holds for this run.
    if (!LngInit(config().words, settings_, [id] { return id; })) {
        wrongLanguage();
        return false;
    }
    return true;
}

void AppController::load()
{
    readSwitches();
    if (config().clientMode) {
        timerClient_.start();
        return;
    }
    wantInterfaceDialog_ = !switches_.activeCom() && !switches_.activeNet();
}

// Once, before anything is activated; the dialogs change them later.
void AppController::readSwitches()
{
    switches_.setFlagTempKorr(settings_.readSwitch(Cfg::FlagTempKorr));
    switches_.setTracePath(settings_.read(Cfg::TraceLog));
    if (config().clientMode)
        return;
    switches_.setActiveCom(settings_.readIsOne(Cfg::ActiveCom));
    switches_.setActiveNet(settings_.readIsOne(Cfg::ActiveNet));
    QString folder = settings_.read(Cfg::LogIniPath, config().dataFolder);
    switches_.setLogFolder(Paths::EnsureFolderPath(folder));
    readLogSwitches();
}

void AppController::readLogSwitches()
{
    switches_.setLogFileActive(settings_.readSwitch(Cfg::LogfileAktiv));
    switches_.setLogFileInterval(qint32(settings_.readInt(Cfg::LogfileIntervall)));
    switches_.setLogIniActive(settings_.readSwitch(Cfg::LogIniAktiv));
    switches_.setLogIniInterval(qint32(settings_.readInt(Cfg::LogIniIntervall)));
}

void AppController::activate()
{
    if (quitting_)
        return;
    if (!activated_) {
        activated_ = true;
        const int count = tanks_.registry().StoredDeviceCount();
        if (!config().clientMode)
            SafeFile::RemoveStaleTemporaries(switches_.logFolder(),
                                             config().ExeFileName(QStringLiteral(".ini")));
        // All tank files at once, on worker threads, before the records ask
        // for them one by one.
        history_->PreloadTankHistories(count);
        const int wanted = tanks_.LoadRegistry();
        history_->loader().FinishPreload();
        if (tanks_.DeviceCount() > 0)
            tanks_.selectAndShow(qBound(1, wanted, tanks_.DeviceCount()));
        if (!config().clientMode) {
            links_ = std::make_unique<LinkManager>(tanks_, switches_, settings_, ui_, clock_, hardware_);
            emit linksCreated();
            links_->StartFromSettings();
            startMqtt();
            silence_->start();
        }
        emit tempCorrectionChanged(switches_.flagTempKorr());
    }
    // The log switches as stored: the settings file may have been edited
    // meanwhile; a switch that changes tells the recorder.
    if (!config().clientMode)
        readLogSwitches();
    ui_.setPanelText(2, settings_.readIsOne(Cfg::Email::Aktiv) ? LngText(276) : LngText(257));
    if (config().clientMode) {
        const QString file =
            Paths::WithSeparator(switches_.clientPath()) + config().ExeFileName(QStringLiteral(".ini"));
        if (!QFileInfo::exists(Paths::ResolveNoCase(file))) {
            quitting_ = true; // no further activation while the box is open
            ui_.messageBox(LngText(297) + QStringLiteral("\r\n") + file, QString(), MsgIcon::Stop,
                           MsgButtons::Ok, [this](MsgResult) {
                               quitting_ = false;
                               requestQuit(1, false);
                           });
        }
    }
}

void AppController::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    tanks_.registry().SaveDeviceRegistry();
    if (links_)
        links_->CloseLinks();
    if (mqtt_)
        mqtt_->stop();
}

void AppController::startMqtt()
{
    mqtt_.reset();
    const MqttValues v = ReadMqttValues(settings_);
    if (config().clientMode || !v.aktiv)
        return;
    // Only a hand-edited file gets here with such a topic (the dialog refuses
    // it): said once, and nothing is published under it.
    if (const QString problem = MqttTopicProblem(v); !problem.isEmpty()) {
        ui_.setPanelText(1, problem);
        TraceLog(switches_, clock_).LogInFile(problem);
        return;
    }
    if (v.host.isEmpty())
        return;
    mqtt_ = std::make_unique<MqttPublisher>(tanks_, switches_, settings_, v,
                                            qEnvironmentVariable("TANKMON_MQTT_CAFILE"), ui_, clock_,
                                            [this](int n) -> std::optional<double> {
                                                const auto f = forecast_->forecast(n);
                                                return f ? std::optional<double>(f->days) : std::nullopt;
                                            });
}

void AppController::applyMqttSettings(const MqttValues &v)
{
    WriteMqttValues(settings_, v);
    if (activated_ && !unloaded_)
        startMqtt();
}

void AppController::requestQuit(int exitCode, bool saveFirst)
{
    if (quitting_)
        return;
    quitting_ = true;
    if (saveFirst)
        unload();
    emit quitRequested(exitCode);
    // At the next turn of the event loop, so a request made before the loop
    // runs (a refusal at start-up) ends it as soon as it starts.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

void AppController::RestartProgram()
{
    if (links_)
        links_->CloseLinks();
    QStringList args = restartOptions_;
    args << QStringLiteral("ENDE");
    if (config().clientMode)
        args << QStringLiteral("CLIENT");
    if (starter_)
        starter_(args);
    else
        QProcess::startDetached(QCoreApplication::applicationFilePath(), args);
    requestQuit(0, true);
}

void AppController::toggleTemperatureCorrection()
{
    tempCorrection_.Toggle([this](bool on) { emit tempCorrectionChanged(on); });
}

void AppController::deleteTanks()
{
    maintenance_.DeleteTanks(LngText(330), [this] { RestartProgram(); });
}

void AppController::deleteConfiguration()
{
    maintenance_.DeleteConfiguration([this] { requestQuit(0, false); });
}

void AppController::chooseLanguage(int id)
{
    settings_.write(Cfg::LngId, id);
    RestartProgram();
}

std::unique_ptr<ComDialogLogic> AppController::interfaceDialog()
{
    if (!links_)
        return nullptr;
    return std::make_unique<ComDialogLogic>(*links_, switches_, settings_, ui_);
}

void AppController::TimerClientTick()
{
    if (tanks_.registry().StoredDeviceCount() != tanks_.DeviceCount()) {
        RestartProgram();
        return;
    }
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        tanks_.registry().LoadDeviceRecord(n, true);
        tanks_.ComboSN_Click(tanks_.currentDevice());
        tanks_.refreshDevice(n);
    }
}
