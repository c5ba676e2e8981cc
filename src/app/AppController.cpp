#include "AppController.h"

#include "ClientSetup.h"
#include "ExportOutput.h"
#include "InstanceLock.h"
#include "ProgramInfo.h"
#include "consumption/ConsumptionController.h"
#include "consumption/ConsumptionMeter.h"
#include "consumption/Forecast.h"
#include "consumption/LossWatch.h"
#include "core/Paths.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "email/EmailNotifier.h"
#include "email/EmailRules.h"
#include "email/SilenceAlarm.h"
#include "history/HistoryRecorder.h"
#include "history/TankLoading.h"
#include "lang/Lng.h"
#include "model/ServiceStatus.h"
#include "model/TankSnapshots.h"
#include "model/TankStateWatch.h"
#include "mqtt/MqttPublisher.h"
#include "web/WebServer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QVersionNumber>
#include <cmath>
#include <cstdio>
#include <utility>

AppController::AppController(RunSwitches &switches, Settings &settings, UiServices &ui, ClockFn clock,
                             LinkHardware hardware, ProcessStarter starter, QObject *parent)
    : LifeCycle(parent), switches_(switches), settings_(settings), ui_(ui), clock_(std::move(clock)),
      hardware_(std::move(hardware)), starter_(std::move(starter)),
      tanks_(switches, settings, ui, texts_, clock_),
      history_(std::make_unique<HistoryRecorder>(tanks_.table(), switches, settings, ui, texts_, clock_,
                                                 [this] { tanks_.registry().SaveDeviceRegistry(); }))
{
    forecast_ = std::make_unique<ForecastProvider>(tanks_.table(), settings_, clock_, *history_);
    tanks_.setHistoryHooks(forecast_.get());
    connect(&tanks_, &TankController::tableReset, forecast_.get(), &ForecastProvider::refresh);
    SmtpTransport transport;
    transport.caFile = qEnvironmentVariable("TANKMON_SMTP_CAFILE");
    smtp_ = std::make_unique<SmtpSender>(transport);
    emailSettings_ = std::make_unique<EmailSettings>(settings_, tanks_.table());
    emailSettings_->setUnknownModeReport([this](const QString &stored) {
        TraceLog(switches_, clock_).LogInFile(FormatText(texts_(1149), {stored}));
    });
    email_ = std::make_unique<EmailNotifier>(
        tanks_.table(), *emailSettings_, settings_, ui_, texts_, clock_, *forecast_,
        [this](const SmtpServer &server, const QString &to, const QString &subject, const QString &body,
               SmtpSender::Done done) {
            // The web view's metrics count each message's result.
            smtp_->SMTP_Send(server, to, subject, body, [this, done = std::move(done)](const SmtpResult &r) {
                ++webEmails_[r.sent ? QStringLiteral("sent") : QStringLiteral("failed")];
                done(r);
            });
        },
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

    // Loss alarm and consumption meter. The loss is judged in front of the
    // e-mail rules on every real telegram (not the simulation's); a loss that
    // starts and one that ends are mailed. Its limits are read again when the
    // e-mail dialog saves. (Views that show a tank's loss listen to lossChanged.)
    meter_ = std::make_unique<ConsumptionMeter>(tanks_.table(), settings_, !config().clientMode);
    connect(forecast_.get(), &ForecastProvider::historyChanged, meter_.get(), &ConsumptionMeter::update);
    connect(&tanks_, &TankController::tableReset, meter_.get(), &ConsumptionMeter::reset);
    // The evaluation's order after the record and the history: the loss
    // (LossWatch), then state and snapshot (TankSnapshots), then the rules
    // (EmailNotifier). The loss forgets the old numbers before the
    // snapshots are composed anew after a removal.
    connect(&tanks_, &TankController::tableReset, this, [this] { loss_->reset(); });
    buildSnapshots();
    loss_ = std::make_unique<LossWatch>(
        tanks_.table(), settings_, *forecast_,
        [this] {
            const EmailValues &v = emailSettings_->values();
            const ConsumptionSettings c = ConsumptionSettingsFrom(settings_);
            LossLimits l;
            l.prozent = v.verlustProzent;
            l.stunden = v.verlustStunden;
            l.trigger = c.trigger;
            l.minProzent = c.minProzent;
            return l;
        },
        *snapshots_, [this] { return links_ && links_->simulation().state() != DeviceLink::State::Closed; });
    snapshots_->setNext(email_.get());
    tanks_.setEmailHooks(loss_.get());
    connect(emailSettings_.get(), &EmailSettings::saved, loss_.get(), &LossWatch::reloadLimits);
    connect(&tanks_, &TankController::lossSettingsChanged, loss_.get(), &LossWatch::reloadLimits);
    connect(loss_.get(), &LossWatch::lossChanged, this,
            [this](int n, bool active) { email_->SendLossEmail(n, active ? ReasonLoss : ReasonLossEnd); });
    // Names the file and the reason: the user has to find and mend it.
    settings_.setFailureReport([this](const QString &path, const QString &reason) {
        QString text = LngText(17) + QLatin1Char('\n') + path;
        if (!reason.isEmpty())
            text += QLatin1Char('\n') + reason;
        ui_.messageBox(text, QString(), MsgIcon::Stop, MsgButtons::Ok);
    });
    timerClient_.setInterval(60000);
    connect(&timerClient_, &QTimer::timeout, this, &AppController::TimerClientTick);
    wireNotifications();
}

// Every tank's state and snapshot: the one place the views and publishers read.
void AppController::buildSnapshots()
{
    // The state rules follow their settings; connected before the watch, so
    // that its own judgement after a removal sees the tanks' new numbers.
    connect(&tanks_, &TankController::tableReset, this, [this] { readStateRules(); });
    connect(&tanks_, &TankController::warnThresholdChanged, this, [this](int n) { readStateRules(n); });
    // The texts are the run's once start() has fixed the language; the
    // watch reads them through this reference.
    states_ = std::make_unique<TankStateWatch>(
        tanks_,
        [this](int n) { return n >= 1 && n <= kMaxDevices ? stateRules_[size_t(n)] : TankStateRules{}; },
        clock_, notifications_, texts_);
    states_->setLossSource([this](int n) { return loss_->loss(n); });
    TankSnapshots::Sources sources;
    sources.forecast = [this](int n) {
        const std::optional<EmptyForecast> f = forecast_->forecast(n);
        return f ? std::pair(f->emptyAt, f->dailyUse) : std::pair(QDateTime(), 0.0);
    };
    sources.loss = [this](int n) { return loss_->loss(n); };
    sources.consumed = [this](int n) { return meter_->consumed(n); };
    snapshots_ = std::make_unique<TankSnapshots>(tanks_, switches_, states_.get(), std::move(sources));
    connect(forecast_.get(), &ForecastProvider::forecastChanged, snapshots_.get(),
            &TankSnapshots::figureChanged);
    connect(meter_.get(), &ConsumptionMeter::consumedChanged, snapshots_.get(),
            &TankSnapshots::figureChanged);
    // What the metrics count: every accepted telegram by the link it came by.
    for (LinkKind k : {LinkKind::Serial, LinkKind::Tcp, LinkKind::Simulation})
        telegrams_[LinkKindName(k)] = 0;
    connect(&tanks_, &TankController::telegramAccepted, this, [this](LinkKind link) {
        if (link != LinkKind::None)
            ++telegrams_[LinkKindName(link)];
    });
}

// ---------------------------------------------------------------------------
// Fleet view, states and notifications: where the states, the e-mail, the
// MQTT publisher and the links feed the notifications list.

void AppController::wireNotifications()
{
    services_ = std::make_unique<ServiceStatus>(notifications_, clock_);
    notifications_.setTankLabel([this](int n) { return tanks_.label(n); });
    // A new common threshold or silence counts at once, not from the next telegram.
    connect(emailSettings_.get(), &EmailSettings::saved, states_.get(), [this] {
        readStateRules();
        states_->updateAll();
    });
    connect(email_.get(), &EmailNotifier::mailResult, services_.get(),
            [this](bool sent, const QString &error) {
                if (sent)
                    services_->mailSent();
                else
                    services_->mailFailed(error);
            });
    // The state has seen the loss in the evaluation's own step; here only its note.
    connect(loss_.get(), &LossWatch::lossChanged, this, [this](int n, bool active) {
        NotificationLog::Event e;
        e.time = clock_();
        e.tank = n;
        e.kind = active ? NotificationLog::Kind::LossStarted : NotificationLog::Kind::LossEnded;
        e.text = texts_(active ? 1100 : 1105);
        notifications_.add(std::move(e));
    });
}

void AppController::readStateRules(int n)
{
    const int silenceHours = int(settings_.readInt(Cfg::Email::StilleStunden));
    for (int t = n > 0 ? n : 1; t <= (n > 0 ? n : kMaxDevices); ++t) {
        TankStateRules &rules = stateRules_[size_t(t)];
        rules.lowPercent = tanks_.registry().lowPercent(t);
        rules.silenceHours = silenceHours;
    }
}

void AppController::reportTankFolderProblem()
{
    // A folder out of reach would show a year of history as none and take
    // the new entries nowhere, without a word: said once, as a problem.
    const QString folder = switches_.TankReadFolder();
    const QString why = SafeFile::FolderProblem(folder, !config().clientMode && switches_.logFileActive());
    if (why.isEmpty())
        return;
    const QString text = FormatText(LngText(1385), {folder, why});
    NotificationLog::Event e;
    e.time = clock_();
    e.kind = NotificationLog::Kind::Message;
    e.text = text;
    notifications_.add(std::move(e));
    ui_.status(NoticeTopic::History, text);
    TraceLog(switches_, clock_).LogInFile(text);
}

void AppController::wireLinkNotifications()
{
    auto add = [this](NotificationLog::Kind kind, const QString &text) {
        NotificationLog::Event e;
        e.time = clock_();
        e.kind = kind;
        e.text = text;
        notifications_.add(std::move(e));
    };
    connect(links_.get(), &LinkManager::linkLost, this,
            [add](const QString &text) { add(NotificationLog::Kind::LinkLost, text); });
    connect(links_.get(), &LinkManager::linkBack, this,
            [add](const QString &text) { add(NotificationLog::Kind::LinkBack, text); });
}
// ---------------------------------------------------------------------------

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
    texts_ = CurrentTexts();
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
    const bool known = initLanguage([&ask] {
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
    texts_ = CurrentTexts();
    if (LngTableExists(id))
        return true;
    wrongLanguage();
    return false;
}

bool AppController::initLanguage(const std::function<int()> &choose)
{
    const bool known = LngInit(config().words, settings_, choose);
    texts_ = CurrentTexts();
    return known;
}

void AppController::wrongLanguage()
{
    ui_.messageBox(QStringLiteral("Wrong LngId !?!"), QString(), MsgIcon::None, MsgButtons::Ok,
                   [this](MsgResult) { requestQuit(1, false); });
}

void AppController::reportClientPathMissing()
{
    if (texts_.lngId() == 0)
        initLanguage([] { return 1; });
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
    initLanguage([] { return 1; });
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
    const QString de = Paths::ProgramFilePath(config().ExeFileName(QStringLiteral(".chm")));
    const QString en = Paths::ProgramFilePath(config().ExeFileName(QStringLiteral("_e.chm")));
    // A first run speaks the system's language (English for one we have no
    // table for) and keeps it, also where an installation stored 0 for "not
    // chosen yet"; another stored id out of range is corrected by the help files.
    const QString stored = settings_.read(Cfg::LngId, QString());
    int id = int(ToLongOrZero(stored));
    if (id < 1 || id > 10) {
        id = id == 0 ? LanguageOfLocale(QLocale::system()) : QFileInfo::exists(en) ? 2 : 1;
        settings_.write(Cfg::LngId, id);
    }
    if (id == 1)
        helpFile_ = QFileInfo::exists(de) ? de : en;
    else
        helpFile_ = QFileInfo::exists(en) ? en : de;
    // The stored id was corrected above; a 0 read back means the write failed,
    // and the corrected id holds for this run.
    if (!initLanguage([id] { return id; })) {
        wrongLanguage();
        return false;
    }
    return true;
}

void AppController::load()
{
    readSwitches();
    readStateRules();
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
    if (!config().clientMode) {
        switches_.setActiveCom(settings_.readIsOne(Cfg::ActiveCom));
        switches_.setActiveNet(settings_.readIsOne(Cfg::ActiveNet));
        QString folder = settings_.read(Cfg::LogIniPath, config().dataFolder);
        switches_.setLogFolder(Paths::EnsureFolderPath(folder));
    }
    readTracePath();
    readLogSwitches();
}

// A hand-edited trace path that would write into one of the program's own
// files, or open a FIFO or device, is left unused, with a word why.
void AppController::readTracePath()
{
    const QString trace = settings_.read(Cfg::TraceLog);
    const QString problem =
        trace.isEmpty()
            ? QString()
            : ExportOutput::TraceFileProblem(
                  trace, ExportOutput::ProgramFiles(config(), settings_.localPath(), switches_.logFolder()));
    if (problem.isEmpty()) {
        switches_.setTracePath(trace);
        return;
    }
    switches_.setTracePath(QString());
    ui_.messageBox(FormatText(LngText(1190), {QStringLiteral("Common/Log"), trace, problem}), QString(),
                   MsgIcon::Exclamation, MsgButtons::Ok);
}

void AppController::readLogSwitches()
{
    // How often the serving installation stores its readings: an older one
    // is marked in the windows (a client records nothing itself).
    switches_.setLogIniInterval(qint32(settings_.readInt(Cfg::LogIniIntervall)));
    if (config().clientMode)
        return;
    switches_.setLogFileActive(settings_.readSwitch(Cfg::LogfileAktiv));
    switches_.setLogFileInterval(qint32(settings_.readInt(Cfg::LogfileIntervall)));
    switches_.setLogIniActive(settings_.readSwitch(Cfg::LogIniAktiv));
}

void AppController::activate()
{
    if (quitting_)
        return;
    if (!activated_) {
        activated_ = true;
        if (!config().clientMode)
            SafeFile::RemoveStaleTemporaries(switches_.logFolder(),
                                             config().ExeFileName(QStringLiteral(".ini")));
        const int wanted = LoadTanks(tanks_, *history_);
        if (tanks_.DeviceCount() > 0)
            tanks_.selectAndShow(qBound(1, wanted, tanks_.DeviceCount()));
        if (!config().clientMode) {
            links_ =
                std::make_unique<LinkManager>(tanks_, switches_, settings_, ui_, texts_, clock_, hardware_);
            wireLinkNotifications();
            emit linksCreated();
            links_->StartFromSettings();
            startMqtt();
            startWeb();
            silence_->start();
        }
        states_->updateAll();
        states_->start();
        // After the links, whose start clears the status bar.
        reportTankFolderProblem();
    } else {
        // The log switches and the state rules as stored (load() read them
        // for the first activation): the settings file may have been edited
        // meanwhile; a switch that changes tells the recorder.
        readLogSwitches();
        readStateRules();
    }
    ui_.setPanelText(2, settings_.readIsOne(Cfg::Email::Aktiv) ? LngText(276) : LngText(257));
    services_->setMailOff(config().clientMode || !settings_.readIsOne(Cfg::Email::Aktiv));
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
    web_.reset();
}

void AppController::startMqtt()
{
    mqtt_.reset();
    services_->setMqttOff();
    const MqttValues v = ReadMqttValues(settings_, kMaxDevices);
    if (config().clientMode || !v.aktiv)
        return;
    // Only a hand-edited file gets here with such a topic (the dialog refuses
    // it): said once, and nothing is published under it.
    if (const QString problem = MqttTopicProblem(v, texts_); !problem.isEmpty()) {
        ui_.status(NoticeTopic::Mqtt, problem);
        TraceLog(switches_, clock_).LogInFile(problem);
        return;
    }
    if (v.host.isEmpty())
        return;
    mqtt_ = std::make_unique<MqttPublisher>(tanks_, *snapshots_, switches_, settings_, v,
                                            qEnvironmentVariable("TANKMON_MQTT_CAFILE"), ui_, texts_, clock_);
    services_->mqttConnecting();
    connect(mqtt_.get(), &MqttPublisher::brokerState, services_.get(),
            [this](bool connected, const QString &text) {
                if (connected)
                    services_->mqttConnected(text);
                else
                    services_->mqttProblem(text);
            });
}

void AppController::restartMqtt()
{
    if (activated_ && !unloaded_)
        startMqtt();
}

// ---- The web view: everything the program wires into it is here. ----
void AppController::startWeb()
{
    web_.reset();
    const WebValues v = ReadWebValues(settings_);
    if (config().clientMode || !v.aktiv)
        return;
    WebSources sources;
    sources.counters = [this] {
        WebCounters c;
        c.telegrams = telegrams_;
        c.emails.insert(QStringLiteral("sent"), webEmails_.value(QStringLiteral("sent")));
        c.emails.insert(QStringLiteral("failed"), webEmails_.value(QStringLiteral("failed")));
        if (links_) {
            const auto up = [](const DeviceLink &l) { return l.state() != DeviceLink::State::Closed; };
            c.linksUp.insert(LinkKindName(LinkKind::Serial), up(links_->serial()));
            c.linksUp.insert(LinkKindName(LinkKind::Tcp), up(links_->tcp()));
            c.linksUp.insert(LinkKindName(LinkKind::Simulation), up(links_->simulation()));
        }
        if (mqtt_)
            c.mqttConnected = mqtt_->online();
        return c;
    };
    sources.consumptionSettings = [this] { return ConsumptionSettingsFrom(settings_); };
    // chart.png: this program's own --export-chart on this data folder.
    sources.chartCommand = {QCoreApplication::applicationFilePath(), QStringLiteral("--data-dir"),
                            config().dataFolder};
    web_ = std::make_unique<WebServer>(tanks_, *snapshots_, std::move(sources), CurrentTexts(), clock_);
    const QString problem = web_->start(v);
    if (!problem.isEmpty()) {
        web_.reset();
        // Said everywhere someone may look: status bar (in the headless
        // program a line on stdout), trace.
        ui_.status(NoticeTopic::Web, problem);
        TraceLog(switches_, clock_).LogInFile(problem);
        if (!config().headless)
            std::printf("%s\n", qPrintable(problem));
        std::fflush(stdout);
        return;
    }
    const QString at = LngText(1013).replace(QLatin1String("%s"), WebUrl(v));
    TraceLog(switches_, clock_).LogInFile(at);
    std::printf("[web] %s\n", qPrintable(at));
    std::fflush(stdout);
}

void AppController::restartWeb()
{
    if (activated_ && !unloaded_)
        startWeb();
}
// ---- end of the web view ----

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

void AppController::TimerClientTick()
{
    if (tanks_.registry().StoredDeviceCount() != tanks_.DeviceCount()) {
        RestartProgram();
        return;
    }
    // The serving installation's limits may have changed with its file.
    readStateRules();
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        tanks_.registry().LoadDeviceRecord(n, true);
        tanks_.ComboSN_Click(tanks_.currentDevice());
        tanks_.refreshDevice(n);
    }
}
