#include "TankController.h"

#include "Figures.h"
#include "TankState.h"
#include "Telegram.h"

#include "core/RunSwitches.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QScopedValueRollback>

TankController::TankController(const RunSwitches &switches, Settings &settings, UiServices &ui,
                               const Texts &texts, ClockFn clock, QObject *parent)
    : QObject(parent), switches_(switches), ui_(ui), texts_(texts), clock_(std::move(clock)),
      trace_(switches, clock_), registry_(switches, settings, texts, clock_)
{
}

void TankController::setHistoryHooks(HistoryHooks *h)
{
    history_ = h ? h : &nullHistory_;
    registry_.setHistoryHooks(h);
}
void TankController::setEmailHooks(EmailHooks *e)
{
    email_ = e ? e : &nullEmail_;
}

// ---------------------------------------------------------------------------
// Telegram evaluation

bool TankController::EvalTelegramm(const QByteArray &telegram, const QString &source, LinkKind link)
{
    if (trace_.enabled())
        trace_.LogInFile(QStringLiteral("EvalTelegramm:") + HexDump(telegram) + QLatin1Char(' ') + source);
    if (telegram.size() != kTelegramLength)
        return false;
    return ProcessTelegram(telegram, source, clock_(), link);
}

int TankController::findDevice(int sn, int type) const
{
    for (int n = 1; n <= DeviceCount(); ++n) {
        const DeviceRecord &r = table()[n];
        if (r.SN == sn && (r.Geraetetyp == type || r.Geraetetyp == 0))
            return n;
    }
    return DeviceCount() + 1;
}

bool TankController::ProcessTelegram(const QByteArray &telegram, const QString &source,
                                     const QDateTime &received, LinkKind link)
{
    if (registry_.stopped())
        return false;
    const std::optional<DecodedTelegram> tg = DecodeTelegram(telegram);
    if (!tg)
        return false;

    const int n = findDevice(tg->sn, tg->geraetetyp);
    if (n > kMaxDevices) {
        if (!fullBoxOpen_) {
            fullBoxOpen_ = true;
            ui_.messageBox(FormatText(texts_(275), {QString::number(kMaxDevices)}), QString(), MsgIcon::Stop,
                           MsgButtons::Ok, [this](MsgResult) { fullBoxOpen_ = false; });
        }
        return false;
    }
    const bool isNew = n > DeviceCount();

    const QScopedValueRollback<int> evaluating(evaluating_, n);
    DeviceRecord &r = table()[n];
    if (isNew)
        r = DeviceRecord{}; // a fresh slot, whatever a removed device left there
    r.ClientIP = source;
    r.Link = link;
    r.Geraetetyp = tg->geraetetyp;
    const bool alarmChanged = tg->alarm != r.Alarm;
    r.Alarm = tg->alarm;
    r.Temperatur = tg->temperatur;
    r.Volumen = tg->volumen;
    r.DezPunkt = qint16(tg->dezPunkt);
    r.Tanktyp = qint16(tg->tanktyp);
    r.Tankvolumen = tg->tankvolumen;
    r.Tankhoehe = tg->tankhoehe;
    r.Uhrzeit = received;
    r.SN = tg->sn;
    if (isNew) {
        registry_.AddDevice(n);
        r.Einheit = EinheitFromStatus(tg->status);
        r.Tankbezeichnung.clear();
        r.History.reset();
    }

    if (!isNew) {
        ComboSN_Click(current_);
        emit deviceChanged(n);
    } else {
        AddDevice(n);
        ui_.beep();
        email_->UnloadForm();
        emit selectDevice(n);
        ComboSN_Click(n);
        registry_.SaveDeviceRegistry(n);
    }
    history_->RecordHistory(n, received);
    emit telegramAccepted(link);
    if (!switches_.options().clientMode)
        email_->EvalEmail(n, alarmChanged);
    showAlarm(n, alarmChanged);
    return true;
}

void TankController::showAlarm(int n, bool alarmChanged)
{
    const DeviceRecord &r = table()[n];
    if (r.Alarm) {
        const QString text =
            texts_(271) + QString::number(n) + QStringLiteral(" / SN") + QString::number(r.SN);
        ui_.status(NoticeTopic::Alarm, text);
        if (alarmChanged && !alarmBoxOpen_) {
            alarmBoxOpen_ = true;
            emit restoreWindow();
            ui_.messageBox(text, QString(), MsgIcon::Exclamation, MsgButtons::Ok,
                           [this](MsgResult) { alarmBoxOpen_ = false; });
        }
    } else if (alarmChanged) {
        ui_.status(NoticeTopic::Alarm, QString());
    }
}

// ---------------------------------------------------------------------------
// Registry

int TankController::LoadRegistry()
{
    const int limit = registry_.StoredDeviceCount();
    for (int n = 1; n <= limit; ++n) {
        registry_.LoadDeviceRecord(n);
        AddDevice(n);
    }
    return registry_.StoredCurrentDevice();
}

void TankController::AddDevice(int n)
{
    if (!registry_.AddDevice(n))
        return;
    emit deviceAdded(n);
    emit deviceChanged(n);
}

// ---------------------------------------------------------------------------
// Selection and the user's edits

void TankController::selectAndShow(int n)
{
    if (n < 1 || n > DeviceCount())
        return;
    emit selectDevice(n);
    ComboSN_Click(n);
}

void TankController::ComboSN_Click(int c)
{
    if (c < 1 || c > DeviceCount())
        return;
    if (c != current_) {
        current_ = c;
        registry_.writeCurrentDevice(c);
    }
    emit detailChanged(c);
}

void TankController::setTankName(const QString &text)
{
    const int c = current_;
    if (c < 1 || c > DeviceCount())
        return;
    const QString name = OneLine(text);
    if (name == table()[c].Tankbezeichnung)
        return;
    registry_.writeTankName(c, name);
    table()[c].Tankbezeichnung = name;
    emit deviceChanged(c);
}

void TankController::setUnit(int code)
{
    const int c = current_;
    if (c < 1 || c > DeviceCount() || code < 0 || code > 8)
        return;
    if (code != table()[c].Einheit)
        registry_.writeUnit(c, code);
    table()[c].Einheit = code;
    ComboSN_Click(c);
    emit deviceChanged(c);
}

bool TankController::setWarnThreshold(const QString &typed)
{
    const int c = current_;
    const std::optional<QString> entry = WarnThresholdEntry(typed);
    if (c < 1 || c > DeviceCount() || !entry)
        return false;
    if (*entry != registry_.warnThreshold(c)) {
        registry_.writeWarnThreshold(c, *entry);
        emit warnThresholdChanged(c);
        // The state follows at once (the watch listens to the device's change).
        emit deviceChanged(c);
    }
    return true;
}

bool TankController::setLossSettings(const TankLossSettings &typed)
{
    const int c = current_;
    const std::optional<TankLossSettings> entry = TankLossEntry(typed);
    if (c < 1 || c > DeviceCount() || !entry)
        return false;
    if (*entry != registry_.lossSettings(c)) {
        registry_.writeLossSettings(c, *entry);
        emit lossSettingsChanged(c);
    }
    return true;
}

void TankController::setTempKorr(int n, double k)
{
    if (n < 1 || n > DeviceCount())
        return;
    table()[n].TempKorr = k;
    registry_.writeTempKorr(n, k);
    emit deviceChanged(n);
}

QString TankController::label(int n) const
{
    if (n < 1 || n > DeviceCount())
        return QString::number(n);
    const QString name = device(n).Tankbezeichnung.trimmed();
    return QString::number(n) + (name.isEmpty() ? QString() : QStringLiteral(" ") + name);
}

// ---------------------------------------------------------------------------
// Removal

bool TankController::RemoveDevices(int first, int last)
{
    if (!registry_.RemoveDevices(first, last))
        return false;
    current_ = DeviceRegistry::CurrentAfterRemoval(current_, first, last, DeviceCount());
    emit tableReset();
    return true;
}
