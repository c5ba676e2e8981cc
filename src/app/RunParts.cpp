#include "RunParts.h"

#include "ProgramInfo.h"
#include "central/CentralNotifier.h"
#include "central/CentralSettings.h"
#include "central/Centre.h"
#include "central/RemoteHistory.h"
#include "consumption/ConsumptionController.h"
#include "consumption/ConsumptionMeter.h"
#include "consumption/Forecast.h"
#include "consumption/LossWatch.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "email/EmailNotifier.h"
#include "email/EmailRules.h"
#include "email/SilenceAlarm.h"
#include "history/HistoryRecorder.h"
#include "link/LinkManager.h"
#include "model/ServiceStatus.h"
#include "model/SiteTanks.h"
#include "model/TankSnapshots.h"
#include "model/TankStateWatch.h"
#include "mqtt/MqttPublisher.h"
#include "web/WebServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QVersionNumber>
#include <cstdio>
#include <utility>

RunParts::RunParts(RunSwitches &switches, Settings &settings, UiServices &ui, ClockFn clock, QObject *parent)
    : QObject(parent), switches_(switches), settings_(settings), ui_(ui), clock_(std::move(clock)),
      tanks_(switches, settings, ui, texts_, clock_),
      history_(std::make_unique<HistoryRecorder>(tanks_.table(), switches, settings, ui, texts_, clock_,
                                                 [this] { tanks_.registry().SaveDeviceRegistry(); }))
{
    sites_ = std::make_unique<SiteTanks>();
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
        [this] { return simulating(); });
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
        *snapshots_, [this] { return simulating(); });
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
    wireNotifications();
}

// Every tank's state and snapshot: the one place the views and publishers read.
void RunParts::buildSnapshots()
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

void RunParts::wireNotifications()
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

void RunParts::readStateRules(int n)
{
    const int silenceHours = int(settings_.readInt(Cfg::Email::StilleStunden));
    for (int t = n > 0 ? n : 1; t <= (n > 0 ? n : kMaxDevices); ++t) {
        TankStateRules &rules = stateRules_[size_t(t)];
        rules.lowPercent = tanks_.registry().lowPercent(t);
        rules.silenceHours = silenceHours;
    }
}

void RunParts::watchLinks(LinkManager *links)
{
    links_ = links;
    if (!links_)
        return;
    auto add = [this](NotificationLog::Kind kind, const QString &text) {
        NotificationLog::Event e;
        e.time = clock_();
        e.kind = kind;
        e.text = text;
        notifications_.add(std::move(e));
    };
    connect(links_, &LinkManager::linkLost, this,
            [add](const QString &text) { add(NotificationLog::Kind::LinkLost, text); });
    connect(links_, &LinkManager::linkBack, this,
            [add](const QString &text) { add(NotificationLog::Kind::LinkBack, text); });
}
void RunParts::startMqtt()
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

void RunParts::startCentral()
{
    centre_.reset();
    remoteHistory_.reset();
    remoteFolder_.clear();
    centralNotifier_.reset();
    const CentralValues v = ReadCentralValues(settings_);
    if (config().clientMode || !v.aktiv || v.host.isEmpty())
        return;
    // The centre's mails go to the e-mail settings' recipients while the
    // e-mail function is on, as one digest per interval.
    auto mail = [this](const QString &subject, const QString &body) {
        const EmailValues &e = emailSettings_->values();
        if (!e.aktiv)
            return;
        for (const QString &to : e.empfaenger) {
            if (to.trimmed().isEmpty())
                continue;
            smtp_->SMTP_Send(e.server, to.trimmed(), subject, body, [this](const SmtpResult &r) {
                ++webEmails_[r.sent ? QStringLiteral("sent") : QStringLiteral("failed")];
                if (r.sent)
                    services_->mailSent();
                else
                    services_->mailFailed(SMTP_GetError(r));
            });
        }
    };
    // 0 minutes: only what arrives together (within a second) is one mail.
    const int digestMs = v.digestMinutes > 0 ? v.digestMinutes * 60000 : 1000;
    centralNotifier_ = std::make_unique<CentralNotifier>(notifications_, mail, texts_, clock_, digestMs);
    centre_ = std::make_unique<Centre>(*sites_, v, qEnvironmentVariable("TANKMON_MQTT_CAFILE"),
                                       int(settings_.readInt(Cfg::Email::StilleStunden)), clock_);
    // Each site's tanks in tank files of their own, at the local history's interval.
    remoteFolder_ =
        v.folder.isEmpty() ? QDir(config().dataFolder).filePath(QStringLiteral("Zentrale")) : v.folder;
    remoteHistory_ =
        std::make_unique<RemoteHistory>(remoteFolder_, int(settings_.readInt(Cfg::LogfileIntervall)), texts_);
    connect(centre_.get(), &Centre::tankUpdated, remoteHistory_.get(), &RemoteHistory::record);
    connect(remoteHistory_.get(), &RemoteHistory::writeFailed, this,
            [this](const QString &text) { ReportTankFileFailure(ui_, texts_, text); });
    connect(centre_.get(), &Centre::tankChanged, centralNotifier_.get(), &CentralNotifier::tankChanged);
    connect(centre_.get(), &Centre::siteChanged, centralNotifier_.get(), [this](int site, bool online) {
        centralNotifier_->siteChanged(sites_->siteAt(site).name, online);
    });
    connect(centre_.get(), &Centre::brokerState, this, [this](bool connected, const QString &text) {
        ui_.status(NoticeTopic::Mqtt, text);
        TraceLog(switches_, clock_).LogInFile(text);
        std::printf("[central] %s %s\n", connected ? "connected to" : "broker:", qPrintable(text));
        std::fflush(stdout);
    });
    centre_->start();
}

// The web view: everything the program wires into it is here.
void RunParts::startWeb()
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
    sources.sites = sites_.get();
    sources.siteTable = [this](int site, int n) -> std::shared_ptr<const DeviceTable> {
        return RemoteHistory::LoadSite(remoteFolder_, *sites_, site, clock_().toSecsSinceEpoch(), n);
    };
    // chart.png: this program's own --export-chart on this data folder.
    sources.chartCommand = {QCoreApplication::applicationFilePath(), QStringLiteral("--data-dir"),
                            config().dataFolder};
    web_ = std::make_unique<WebServer>(tanks_, *snapshots_, std::move(sources), texts_, clock_);
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
    const QString at = texts_(1013).replace(QLatin1String("%s"), WebUrl(v));
    TraceLog(switches_, clock_).LogInFile(at);
    std::printf("[web] %s\n", qPrintable(at));
    std::fflush(stdout);
}

RunParts::~RunParts() = default;

const RunConfig &RunParts::config() const
{
    return switches_.options();
}

bool RunParts::simulating() const
{
    return links_ && links_->simulation().state() != DeviceLink::State::Closed;
}

void RunParts::stopServices()
{
    if (mqtt_)
        mqtt_->stop();
    centre_.reset();
    remoteHistory_.reset();
    centralNotifier_.reset();
    web_.reset();
}
