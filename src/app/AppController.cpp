#include "AppController.h"

#include "InstanceLock.h"
#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/IniStore.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/TraceLog.h"
#include "core/UiServices.h"
#include "history/HistoryRecorder.h"
#include "lang/Lng.h"
#include "link/LinkManager.h"
#include "model/Maintenance.h"
#include "model/TempCorrection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace {
QString settingsName() { return Paths::ExeFileName(QStringLiteral(".ini")); }
} // namespace

AppController::AppController(QObject *parent) : QObject(parent)
{
    timerClient_.setInterval(60000);
    connect(&timerClient_, &QTimer::timeout, this, &AppController::TimerClientTick);
}

AppController::~AppController() = default;

void AppController::setCommandLine(const QStringList &words)
{
    words_ = words;
    State().commandLine = words.join(QLatin1Char(' '));
}

void AppController::setRestartOptions(const QStringList &options) { restartOptions_ = options; }

bool AppController::endeGiven() const
{
    return State().commandLine.contains(QLatin1String("ENDE"), Qt::CaseInsensitive);
}

bool AppController::programEntry()
{
    RunState &s = State();
    s.clientMode = s.commandLine.contains(QLatin1String("CLIENT"), Qt::CaseInsensitive);
    if (!s.clientMode)
        return true;
    // The client path is always the local installation's setting.
    QString path = ReadIniValue(Cfg::ClientPath.sectionName(), Cfg::ClientPath.keyName(), QString(),
                                settingsName());
    if (path.endsWith(settingsName(), Qt::CaseInsensitive))
        path.chop(settingsName().size());
    s.clientPath = path;
    return !path.isEmpty();
}

bool AppController::acquireInstance()
{
    if (instanceGranted_)
        return true; // already decided (load() asks again)
    lock_ = std::make_unique<InstanceLock>(Paths::DataFilePath(Paths::ExeFileName(QStringLiteral(".lock"))));
    if (lock_->tryLock()) {
        // Only this instance writes here: temporaries beside the settings
        // file are what a killed save left.
        SafeFile::RemoveStaleTemporaries(Paths::DataFilePath(QString()), settingsName());
        return instanceGranted_ = true;
    }
    if (endeGiven()) {
        // Restarted: the old instance is still saving; take over its lock
        // as soon as it has gone, so a third copy is refused again.
        lock_->lockWhenFree();
        return instanceGranted_ = true;
    }
    Ui().messageBox(LngText(272), LngText(273), MsgIcon::Stop, MsgButtons::Ok);
    return false;
}

void AppController::initialise()
{
    int id = int(ToLongOrZero(ReadIniValue(Cfg::LngId.sectionName(), Cfg::LngId.keyName(),
                                           Cfg::LngId.defaultText(), settingsName())));
    if (id < 1 || id > 10) {
        id = QFileInfo::exists(Paths::ProgramFilePath(Paths::ExeFileName(QStringLiteral("_e.chm")))) ? 2 : 1;
        WriteIniValue(Cfg::LngId.sectionName(), Cfg::LngId.keyName(), id, settingsName());
    }
    const QString de = Paths::ProgramFilePath(Paths::ExeFileName(QStringLiteral(".chm")));
    const QString en = Paths::ProgramFilePath(Paths::ExeFileName(QStringLiteral("_e.chm")));
    if (id == 1)
        helpFile_ = QFileInfo::exists(de) ? de : en;
    else
        helpFile_ = QFileInfo::exists(en) ? en : de;
    storedLngId_ = id;
}

bool AppController::load()
{
    if (!acquireInstance())
        return false;
    RunState &s = State();
    if (s.clientMode)
        timerClient_.start();
    else {
        s.activeCom = Cfg::ActiveCom.readIsOne();
        s.activeNet = Cfg::ActiveNet.readIsOne();
        wantInterfaceDialog_ = !s.activeCom && !s.activeNet;
    }
    return true;
}

void AppController::activate()
{
    RunState &s = State();
    if (!activated_) {
        activated_ = true;
        int count = int(Cfg::GeraeteAnzahl.readInt());
        count = qBound(0, count, kMaxDevices);
        s.flagTempKorr = Cfg::FlagTempKorr.readSwitch();
        if (!s.clientMode) {
            QString folder = Cfg::LogIniPath.read(Paths::DataFilePath(QString()));
            s.logFolder = Paths::EnsureFolderPath(folder);
            SafeFile::RemoveStaleTemporaries(s.logFolder, settingsName());
        }
        if (!history_) {
            history_ = std::make_unique<HistoryRecorder>(tanks_.table(),
                                                         [this] { tanks_.SaveDeviceRegistry(); });
            tanks_.setHistoryHooks(history_.get());
        }
        // All tank files at once, on worker threads, before the records ask
        // for them one by one.
        history_->PreloadTankHistories(count);
        const int wanted = tanks_.LoadRegistry();
        history_->loader().FinishPreload();
        if (tanks_.DeviceCount() > 0) {
            int best = 1;
            for (int n = 1; n <= tanks_.DeviceCount(); ++n)
                if (std::abs(n - wanted) < std::abs(best - wanted))
                    best = n;
            emit tanks_.selectDevice(best);
            tanks_.ComboSN_Click(best);
        }
        s.tracePath = Cfg::TraceLog.read();
        if (!s.clientMode) {
            links_ = std::make_unique<LinkManager>(tanks_);
            emit linksCreated();
            links_->StartFromSettings();
        }
        emit tempCorrectionChanged(s.flagTempKorr);
    }
    if (!s.clientMode) {
        s.logFileActive = Cfg::LogfileAktiv.readSwitch();
        s.logFileInterval = qint32(Cfg::LogfileIntervall.readInt());
        s.logIniActive = Cfg::LogIniAktiv.readSwitch();
        s.logIniInterval = qint32(Cfg::LogIniIntervall.readInt());
    }
    Ui().setPanelText(2, Cfg::Email::Aktiv.readIsOne() ? LngText(276) : LngText(257));
    if (s.clientMode) {
        const QString file = Paths::WithSeparator(s.clientPath) + settingsName();
        if (!QFileInfo::exists(Paths::ResolveNoCase(file))) {
            Ui().messageBox(LngText(297) + QStringLiteral("\r\n") + file, QString(), MsgIcon::Stop,
                            MsgButtons::Ok);
            emit quitRequested(1, false);
        }
    }
}

void AppController::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    tanks_.SaveDeviceRegistry();
    if (links_)
        links_->CloseLinks();
}

void AppController::RestartProgram()
{
    if (links_)
        links_->CloseLinks();
    QStringList args = restartOptions_;
    args << QStringLiteral("ENDE");
    if (State().clientMode)
        args << QStringLiteral("CLIENT");
    if (starter_)
        starter_(args);
    else
        QProcess::startDetached(QCoreApplication::applicationFilePath(), args);
    emit quitRequested(0, true);
}

QString AppController::ProgramTitle(bool withName)
{
    const RunState &s = State();
    if (withName)
        return s.clientMode ? QStringLiteral("Tankview") : Paths::ExeFileName(QString());
    QString t = Paths::CompanyFolderName() + QLatin1Char(' ') + Paths::ExeFileName(QString());
    if (s.clientMode)
        t += LngText(44);
    return t;
}

void AppController::toggleTemperatureCorrection()
{
    emit tempCorrectionChanged(TempCorrection::Toggle(tanks_));
}

void AppController::deleteTanks()
{
    Maintenance::DeleteTanks(tanks_, LngText(330), [this] { RestartProgram(); });
}

void AppController::deleteConfiguration()
{
    Maintenance::DeleteConfiguration(tanks_, [this] { emit quitRequested(0, false); });
}

void AppController::chooseLanguage(int id)
{
    WriteIniValue(Cfg::LngId.sectionName(), Cfg::LngId.keyName(), id, settingsName());
    RestartProgram();
}

void AppController::TimerClientTick()
{
    if (int(Cfg::GeraeteAnzahl.readInt()) != tanks_.DeviceCount()) {
        RestartProgram();
        return;
    }
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        tanks_.LoadDeviceRecord(n, true);
        tanks_.ComboSN_Click(tanks_.currentDevice());
        emit tanks_.deviceChanged(n);
    }
}
