#include "TankController.h"

#include "Figures.h"
#include "Telegram.h"

#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

// A numeric key of a device section. Text that is not a number, or a number
// the field cannot hold, gives the key's default: the program itself only
// ever writes numbers there, so anything else is a damaged file.
qint64 readNumber(const Settings &settings, const IniKey &key, qint64 min, qint64 max)
{
    const qint64 def = key.defaultText().toLongLong();
    const QString text = settings.read(key).trimmed();
    bool ok = false;
    qint64 v = text.toLongLong(&ok);
    if (!ok) {
        const double d = text.toDouble(&ok);
        if (!ok || !std::isfinite(d) || std::fabs(d) > 9e18)
            return def;
        v = qint64(std::nearbyint(d));
    }
    return v < min || v > max ? def : v;
}

// A line break in a value would start a new line in the settings file.
QString oneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

bool sameFolder(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// The copy of the settings file that other programs read from the log folder;
// replaced atomically, so a reader never sees half a file. Failures are
// ignored: the next save tries again.
void copySettingsToLogFolder(const RunConfig &s)
{
    if (!s.logIniActive || s.logFolder.isEmpty())
        return;
    if (sameFolder(s.logFolder, s.dataFolder))
        return;
    QByteArray bytes;
    if (SafeFile::ReadRegular(s.SettingsLocalPath(), &bytes) != SafeFile::ReadStatus::Ok)
        return;
    const QString folder = Paths::WithSeparator(s.logFolder);
    Paths::EnsureFolder(folder);
    SafeFile::Replace(folder + s.ExeFileName(QStringLiteral(".ini")), bytes);
}

QString timeText(const QDateTime &t)
{
    return FormatDateText(t.isValid() ? t : ZeroDateTime());
}

} // namespace

TankController::TankController(const RunConfig &config, Settings &settings, UiServices &ui, ClockFn clock,
                               QObject *parent)
    : QObject(parent), config_(config), settings_(settings), ui_(ui), clock_(std::move(clock)),
      trace_(config, clock_)
{
}

void TankController::setHistoryHooks(HistoryHooks *h)
{
    history_ = h ? h : &nullHistory_;
}
void TankController::setEmailHooks(EmailHooks *e)
{
    email_ = e ? e : &nullEmail_;
}

// ---------------------------------------------------------------------------
// Telegram evaluation

bool TankController::EvalTelegramm(const QByteArray &telegram, const QString &source)
{
    if (trace_.enabled())
        trace_.LogInFile(QStringLiteral("EvalTelegramm:") + HexDump(telegram) + QLatin1Char(' ') + source);
    if (telegram.size() != kTelegramLength)
        return false;
    return ProcessTelegram(telegram, source, clock_());
}

int TankController::findDevice(int sn, int type) const
{
    for (int n = 1; n <= table_.DeviceCount; ++n) {
        const DeviceRecord &r = table_[n];
        if (r.SN == sn && (r.Geraetetyp == type || r.Geraetetyp == 0))
            return n;
    }
    return table_.DeviceCount + 1;
}

bool TankController::ProcessTelegram(const QByteArray &telegram, const QString &source,
                                     const QDateTime &received)
{
    if (stopped_)
        return false;
    const std::optional<DecodedTelegram> tg = DecodeTelegram(telegram);
    if (!tg)
        return false;

    const int n = findDevice(tg->sn, tg->geraetetyp);
    if (n > kMaxDevices) {
        if (!fullBoxOpen_) {
            fullBoxOpen_ = true;
            ui_.messageBox(FormatText(LngText(275), {QString::number(kMaxDevices)}), QString(),
                           MsgIcon::Stop, MsgButtons::Ok, [this](MsgResult) { fullBoxOpen_ = false; });
        }
        return false;
    }
    const bool isNew = n > table_.DeviceCount;

    DeviceRecord &r = table_[n];
    if (isNew)
        r = DeviceRecord{}; // a fresh slot, whatever a removed device left there
    r.ClientIP = source;
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
        table_.DeviceCount = n;
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
        saveRegistry(n);
    }
    history_->RecordHistory(n, received);
    emit telegramAccepted();
    if (!config_.clientMode)
        email_->EvalEmail(n, alarmChanged);
    showAlarm(n, alarmChanged);
    return true;
}

void TankController::showAlarm(int n, bool alarmChanged)
{
    const DeviceRecord &r = table_[n];
    if (r.Alarm) {
        const QString text =
            LngText(271) + QString::number(n) + QStringLiteral(" / SN") + QString::number(r.SN);
        ui_.setPanelText(1, text);
        if (alarmChanged && !alarmBoxOpen_) {
            alarmBoxOpen_ = true;
            emit restoreWindow();
            ui_.messageBox(text, QString(), MsgIcon::Exclamation, MsgButtons::Ok,
                           [this](MsgResult) { alarmBoxOpen_ = false; });
        }
    } else if (alarmChanged) {
        ui_.setPanelText(1, QString());
    }
}

// ---------------------------------------------------------------------------
// Registry

void TankController::LoadDeviceRecord(int n, bool keepHistory)
{
    if (n < 1 || n > kMaxDevices)
        return;
    using namespace Cfg::Device;
    constexpr qint64 i16min = std::numeric_limits<qint16>::min();
    constexpr qint64 i16max = std::numeric_limits<qint16>::max();
    constexpr qint64 i32min = std::numeric_limits<qint32>::min();
    constexpr qint64 i32max = std::numeric_limits<qint32>::max();

    DeviceRecord &r = table_[n];
    r.SN = qint32(readNumber(settings_, SN.at(n), i32min, i32max));
    r.Geraetetyp = qint32(readNumber(settings_, Geraetetyp.at(n), i32min, i32max));
    r.Temperatur = qint16(readNumber(settings_, Temperatur.at(n), i16min, i16max));
    r.Volumen = qint32(readNumber(settings_, Volumen.at(n), i32min, i32max));
    const QString standort = settings_.read(Standort.at(n));
    r.Tankbezeichnung = settings_.read(Tankbezeichnung.at(n));
    r.Einheit = qint32(readNumber(settings_, Einheit.at(n), i32min, i32max));
    r.Tanktyp = qint16(readNumber(settings_, Tanktyp.at(n), i16min, i16max));
    r.Tankvolumen = qint32(readNumber(settings_, Tankvolumen.at(n), i32min, i32max));
    r.Tankhoehe = qint32(readNumber(settings_, Tankhoehe.at(n), i32min, i32max));
    r.Uhrzeit = ParseDateTimeText(settings_.read(Uhrzeit.at(n)), clock_());
    if (r.Uhrzeit == ZeroDateTime()) // how a record without time is saved
        r.Uhrzeit = QDateTime();
    r.DezPunkt = qint16(readNumber(settings_, DezPunkt.at(n), i16min, i16max));
    r.Alarm = readNumber(settings_, Alarm.at(n), i32min, i32max) != 0;
    r.ClientIP = settings_.read(ClientIP.at(n));
    r.TempKorr = ParseNumber(settings_.read(TempKorr.at(n)));
    if (r.Tankbezeichnung.isEmpty() && !standort.isEmpty())
        r.Tankbezeichnung = standort;

    if (keepHistory) {
        history_->ReloadTankHistory(n);
        return;
    }
    r.History.reset();
    history_->LoadTankHistory(n);
}

int TankController::StoredDeviceCount() const
{
    int count = int(std::clamp<qint64>(settings_.readInt(Cfg::GeraeteAnzahl), 0, kMaxDevices));
    const QString absent = QStringLiteral("\x01");
    while (count > 0 && settings_.read(Cfg::Device::SN.at(count), absent) == absent)
        --count;
    return count;
}

int TankController::LoadRegistry()
{
    const int limit = StoredDeviceCount();
    for (int n = 1; n <= limit; ++n) {
        LoadDeviceRecord(n);
        AddDevice(n);
    }
    return int(settings_.readInt(Cfg::GeraeteAktuell));
}

void TankController::SaveDeviceRegistry()
{
    saveRegistry(0);
}

void TankController::saveRegistry(int freshDevice)
{
    if (config_.clientMode || stopped_)
        return;
    {
        Settings::Batch batch(settings_);
        using namespace Cfg::Device;
        for (int n = 1; n <= table_.DeviceCount; ++n) {
            const DeviceRecord &r = table_[n];
            settings_.write(SN.at(n), r.SN);
            settings_.write(Geraetetyp.at(n), r.Geraetetyp);
            settings_.write(Temperatur.at(n), r.Temperatur);
            settings_.write(Volumen.at(n), r.Volumen);
            settings_.write(VolumenAnzeige.at(n), FormatValue(r.Volumen, r));
            settings_.write(Tankbezeichnung.at(n), oneLine(r.Tankbezeichnung));
            settings_.write(Einheit.at(n), r.Einheit);
            settings_.write(Tanktyp.at(n), r.Tanktyp);
            settings_.write(Tankvolumen.at(n), r.Tankvolumen);
            settings_.write(Tankhoehe.at(n), r.Tankhoehe);
            settings_.write(Uhrzeit.at(n), timeText(r.Uhrzeit));
            settings_.write(DezPunkt.at(n), r.DezPunkt);
            settings_.write(Alarm.at(n), r.Alarm ? 1 : 0);
            settings_.write(ClientIP.at(n), oneLine(r.ClientIP));
        }
        // A device registered under the number of a removed one must not
        // inherit its coefficient or its old tank name at the next start.
        if (freshDevice >= 1) {
            settings_.write(TempKorr.at(freshDevice), IniNoValue);
            settings_.write(Standort.at(freshDevice), IniNoValue);
        }
        settings_.write(Cfg::GeraeteAnzahl, table_.DeviceCount);
        batch.commit();
    }
    copySettingsToLogFolder(config_);
}

void TankController::AddDevice(int n)
{
    if (n < 1 || n > kMaxDevices)
        return;
    table_.DeviceCount = n;
    emit deviceAdded(n);
    emit deviceChanged(n);
}

// ---------------------------------------------------------------------------
// Selection and the user's edits

void TankController::selectAndShow(int n)
{
    if (n < 1 || n > table_.DeviceCount)
        return;
    emit selectDevice(n);
    ComboSN_Click(n);
}

void TankController::ComboSN_Click(int c)
{
    if (c < 1 || c > table_.DeviceCount)
        return;
    if (c != current_) {
        current_ = c;
        if (!config_.clientMode && !stopped_)
            settings_.write(Cfg::GeraeteAktuell, c);
    }
    emit detailChanged(c);
}

void TankController::setTankName(const QString &text)
{
    const int c = current_;
    if (c < 1 || c > table_.DeviceCount)
        return;
    const QString name = oneLine(text);
    if (name == table_[c].Tankbezeichnung)
        return;
    if (!config_.clientMode && !stopped_)
        settings_.write(Cfg::Device::Tankbezeichnung.at(c), name);
    table_[c].Tankbezeichnung = name;
    emit deviceChanged(c);
}

void TankController::setUnit(int code)
{
    const int c = current_;
    if (c < 1 || c > table_.DeviceCount || code < 0 || code > 8)
        return;
    if (code != table_[c].Einheit && !config_.clientMode && !stopped_)
        settings_.write(Cfg::Device::Einheit.at(c), code);
    table_[c].Einheit = code;
    ComboSN_Click(c);
    emit deviceChanged(c);
}

void TankController::setTempKorr(int n, double k)
{
    if (n < 1 || n > table_.DeviceCount)
        return;
    table_[n].TempKorr = k;
    if (!config_.clientMode && !stopped_)
        settings_.write(Cfg::Device::TempKorr.at(n), QString::number(k, 'g', 15));
    emit deviceChanged(n);
}

// ---------------------------------------------------------------------------
// Removal

bool TankController::RemoveDevices(int first, int last)
{
    const int count = table_.DeviceCount;
    if (first < 1 || last < first || last > count)
        return false;
    for (int j = last + 1; j <= count; ++j)
        table_[first + (j - last - 1)] = std::move(table_[j]);
    table_.DeviceCount = count - (last - first + 1);
    // The slots behind the table hold nothing any more (and no history memory).
    for (int j = table_.DeviceCount + 1; j <= count; ++j)
        table_[j] = DeviceRecord{};
    if (current_ > table_.DeviceCount)
        current_ = table_.DeviceCount;
    emit tableReset();
    return true;
}
