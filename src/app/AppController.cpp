#include "AppController.h"

#include "ClientSetup.h"
#include "ExportOutput.h"
#include "InstanceLock.h"
#include "RunParts.h"
#include "central/CentralSettings.h"
#include "core/Paths.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "email/SilenceAlarm.h"
#include "history/HistoryRecorder.h"
#include "history/TankLoading.h"
#include "lang/Lng.h"
#include "model/ServiceStatus.h"
#include "model/TankStateWatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <utility>

AppController::AppController(RunParts &parts, LinkHardware hardware, ProcessStarter starter, QObject *parent)
    : LifeCycle(parent), parts_(parts), switches_(parts.switches()), settings_(parts.settings()),
      ui_(parts.ui()), clock_(parts.clock()), texts_(parts.texts()), tanks_(parts.tanks()),
      hardware_(std::move(hardware)), starter_(std::move(starter))
{
    timerClient_.setInterval(60000);
    connect(&timerClient_, &QTimer::timeout, this, &AppController::TimerClientTick);
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
    parts_.notifications().add(std::move(e));
    ui_.status(NoticeTopic::History, text);
    TraceLog(switches_, clock_).LogInFile(text);
}

// ---------------------------------------------------------------------------

AppController::~AppController()
{
    parts_.watchLinks(nullptr);
}

AppController::Start AppController::start()
{
    if (!programEntry())
        return Start::ClientPathMissing;
    // Before anything is written: a refused copy leaves the settings alone.
    if (!acquireInstance())
        return Start::Ended;
    if (!initialise())
        return Start::Ended;
    parts_.setTexts(CurrentTexts());
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
    parts_.setTexts(CurrentTexts());
    if (LngTableExists(id))
        return true;
    wrongLanguage();
    return false;
}

bool AppController::initLanguage(const std::function<int()> &choose)
{
    const bool known = LngInit(config().words, settings_, choose);
    parts_.setTexts(CurrentTexts());
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
    parts_.readStateRules();
    if (config().clientMode) {
        timerClient_.start();
        return;
    }
    // A central installation's tanks come from its broker: with one set up
    // there is no device to configure first (the menu still offers the links).
    const CentralValues central = ReadCentralValues(settings_);
    const bool centre = central.aktiv && !central.host.isEmpty();
    wantInterfaceDialog_ = !switches_.activeCom() && !switches_.activeNet() && !centre;
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
        const int wanted = LoadTanks(tanks_, parts_.history());
        if (tanks_.DeviceCount() > 0)
            tanks_.selectAndShow(qBound(1, wanted, tanks_.DeviceCount()));
        if (!config().clientMode) {
            links_ =
                std::make_unique<LinkManager>(tanks_, switches_, settings_, ui_, texts_, clock_, hardware_);
            parts_.watchLinks(links_.get());
            emit linksCreated();
            links_->StartFromSettings();
            parts_.startMqtt();
            parts_.startCentral();
            parts_.startWeb();
            parts_.silence().start();
        }
        parts_.states().updateAll();
        parts_.states().start();
        // After the links, whose start clears the status bar.
        reportTankFolderProblem();
    } else {
        // The log switches and the state rules as stored (load() read them
        // for the first activation): the settings file may have been edited
        // meanwhile; a switch that changes tells the recorder.
        readLogSwitches();
        parts_.readStateRules();
    }
    ui_.setPanelText(2, settings_.readIsOne(Cfg::Email::Aktiv) ? LngText(276) : LngText(257));
    parts_.services().setMailOff(config().clientMode || !settings_.readIsOne(Cfg::Email::Aktiv));
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
    parts_.stopServices();
}

void AppController::restartMqtt()
{
    if (activated_ && !unloaded_)
        parts_.startMqtt();
}

void AppController::restartCentral()
{
    if (activated_ && !unloaded_)
        parts_.startCentral();
}

void AppController::restartWeb()
{
    if (activated_ && !unloaded_)
        parts_.startWeb();
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

void AppController::TimerClientTick()
{
    if (tanks_.registry().StoredDeviceCount() != tanks_.DeviceCount()) {
        RestartProgram();
        return;
    }
    // The serving installation's limits may have changed with its file.
    parts_.readStateRules();
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        tanks_.registry().LoadDeviceRecord(n, true);
        tanks_.ComboSN_Click(tanks_.currentDevice());
        tanks_.refreshDevice(n);
    }
}
