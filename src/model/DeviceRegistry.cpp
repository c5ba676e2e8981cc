#include "DeviceRegistry.h"

#include "Figures.h"
#include "TankState.h"

#include "core/DateText.h"
#include "core/Paths.h"
#include "core/RunSwitches.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"

#include <QDir>
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

bool sameFolder(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// The copy of the settings file that other programs read from the log folder;
// replaced atomically, so a reader never sees half a file, and no more
// readable than the settings file itself (it holds the stored passwords).
// Failures are ignored: the next save tries again.
void copySettingsToLogFolder(const RunSwitches &sw)
{
    const RunConfig &o = sw.options();
    if (!sw.logIniActive() || sw.logFolder().isEmpty())
        return;
    if (sameFolder(sw.logFolder(), o.dataFolder))
        return;
    QByteArray bytes;
    if (SafeFile::ReadRegular(o.SettingsLocalPath(), &bytes) != SafeFile::ReadStatus::Ok)
        return;
    const QString folder = Paths::WithSeparator(sw.logFolder());
    Paths::EnsureFolder(folder);
    const QString copy = folder + o.ExeFileName(QStringLiteral(".ini"));
    const int mode = SafeFile::ModeOf(o.SettingsLocalPath());
    if (mode < 0)
        SafeFile::ReplacePrivate(copy, bytes);
    else
        SafeFile::ReplaceWithMode(copy, bytes, unsigned(mode));
}

QString timeText(const QDateTime &t)
{
    return FormatDateText(t.isValid() ? t : ZeroDateTime());
}

} // namespace

QString OneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

DeviceRegistry::DeviceRegistry(const RunSwitches &switches, Settings &settings, const Texts &texts,
                               ClockFn clock)
    : switches_(switches), settings_(settings), texts_(texts), clock_(std::move(clock))
{
}

void DeviceRegistry::setHistoryHooks(HistoryHooks *h)
{
    history_ = h ? h : &nullHistory_;
}

bool DeviceRegistry::writable() const
{
    return !switches_.options().clientMode && !stopped_;
}

void DeviceRegistry::LoadDeviceRecord(int n, bool keepHistory)
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

int DeviceRegistry::StoredDeviceCount() const
{
    int count = int(std::clamp<qint64>(settings_.readInt(Cfg::GeraeteAnzahl), 0, kMaxDevices));
    const QString absent = QStringLiteral("\x01");
    while (count > 0 && settings_.read(Cfg::Device::SN.at(count), absent) == absent)
        --count;
    return count;
}

int DeviceRegistry::StoredCurrentDevice() const
{
    return int(settings_.readInt(Cfg::GeraeteAktuell));
}

void DeviceRegistry::SaveDeviceRegistry(int freshDevice)
{
    if (!writable())
        return;
    {
        Settings::Batch batch(settings_);
        writeRegistry(freshDevice);
        batch.commit();
    }
    copySettingsToLogFolder(switches_);
}

void DeviceRegistry::writeRegistry(int freshDevice)
{
    using namespace Cfg::Device;
    for (int n = 1; n <= table_.DeviceCount; ++n) {
        const DeviceRecord &r = table_[n];
        settings_.write(SN.at(n), r.SN);
        settings_.write(Geraetetyp.at(n), r.Geraetetyp);
        settings_.write(Temperatur.at(n), r.Temperatur);
        settings_.write(Volumen.at(n), r.Volumen);
        settings_.write(VolumenAnzeige.at(n), FormatValue(r.Volumen, r, texts_));
        settings_.write(Tankbezeichnung.at(n), OneLine(r.Tankbezeichnung));
        settings_.write(Einheit.at(n), r.Einheit);
        settings_.write(Tanktyp.at(n), r.Tanktyp);
        settings_.write(Tankvolumen.at(n), r.Tankvolumen);
        settings_.write(Tankhoehe.at(n), r.Tankhoehe);
        settings_.write(Uhrzeit.at(n), timeText(r.Uhrzeit));
        settings_.write(DezPunkt.at(n), r.DezPunkt);
        settings_.write(Alarm.at(n), r.Alarm ? 1 : 0);
        settings_.write(ClientIP.at(n), OneLine(r.ClientIP));
    }
    // A device registered under the number of a removed one must not
    // inherit its coefficient or its old tank name at the next start.
    if (freshDevice >= 1) {
        settings_.write(TempKorr.at(freshDevice), IniNoValue);
        settings_.write(Standort.at(freshDevice), IniNoValue);
    }
    settings_.write(Cfg::GeraeteAnzahl, table_.DeviceCount);
}

void DeviceRegistry::moveDeviceKeys(int from, int to)
{
    const QString absent = QStringLiteral("\x01");
    for (const IniKeyN &key : Cfg::DeviceKeys) {
        const QString value = from > 0 ? settings_.read(key.at(from), absent) : absent;
        settings_.write(key.at(to),
                        value == absent ? std::optional<QString>() : std::optional<QString>(value));
    }
}

bool DeviceRegistry::AddDevice(int n)
{
    if (n < 1 || n > kMaxDevices)
        return false;
    table_.DeviceCount = n;
    return true;
}

bool DeviceRegistry::RemoveDevices(int first, int last)
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
    if (!writable())
        return true;
    // The file follows in one replace: every key of a moved device goes
    // with it (also those only the file holds: coefficient, old tank name,
    // e-mail limits), and the freed slots at the end lose theirs.
    {
        Settings::Batch batch(settings_);
        for (int j = last + 1; j <= count; ++j)
            moveDeviceKeys(j, first + (j - last - 1));
        for (int j = table_.DeviceCount + 1; j <= count; ++j)
            moveDeviceKeys(0, j);
        const int current = StoredCurrentDevice();
        const int moved = CurrentAfterRemoval(current, first, last, table_.DeviceCount);
        if (moved != current)
            settings_.write(Cfg::GeraeteAktuell, moved);
        writeRegistry(0);
        batch.commit();
    }
    copySettingsToLogFolder(switches_);
    return true;
}

void DeviceRegistry::writeCurrentDevice(int n)
{
    if (writable())
        settings_.write(Cfg::GeraeteAktuell, n);
}

void DeviceRegistry::writeTankName(int n, const QString &name)
{
    if (writable())
        settings_.write(Cfg::Device::Tankbezeichnung.at(n), OneLine(name));
}

void DeviceRegistry::writeUnit(int n, int code)
{
    if (writable())
        settings_.write(Cfg::Device::Einheit.at(n), code);
}

void DeviceRegistry::writeTempKorr(int n, double k)
{
    if (writable())
        settings_.write(Cfg::Device::TempKorr.at(n), QString::number(k, 'g', 15));
}

QString DeviceRegistry::warnThreshold(int n) const
{
    return settings_.read(Cfg::Device::Warnschwelle.at(n)).trimmed();
}

void DeviceRegistry::writeWarnThreshold(int n, const QString &text)
{
    if (writable())
        settings_.write(Cfg::Device::Warnschwelle.at(n), text);
}

double DeviceRegistry::lowPercent(int n) const
{
    return WarnThresholdOf(warnThreshold(n), settings_.read(Cfg::Email::Schwelle2));
}

TankLossSettings DeviceRegistry::lossSettings(int n) const
{
    using namespace Cfg::Email;
    return {settings_.read(VerlustProzentTank.at(n)).trimmed(),
            settings_.read(VerlustStundenTank.at(n)).trimmed(),
            settings_.read(VerlustRuhezeit.at(n)).trimmed()};
}

TankLossSettings DeviceRegistry::commonLossSettings() const
{
    using namespace Cfg::Email;
    return {settings_.read(VerlustProzent).trimmed(), settings_.read(VerlustStunden).trimmed(), QString()};
}

void DeviceRegistry::writeLossSettings(int n, const TankLossSettings &s)
{
    using namespace Cfg::Email;
    if (!writable())
        return;
    Settings::Batch batch(settings_);
    settings_.write(VerlustProzentTank.at(n), s.prozent);
    settings_.write(VerlustStundenTank.at(n), s.stunden);
    settings_.write(VerlustRuhezeit.at(n), s.ruhezeit);
}

double DeviceRegistry::commonLowPercent() const
{
    return WarnThresholdOf(QString(), settings_.read(Cfg::Email::Schwelle2));
}
