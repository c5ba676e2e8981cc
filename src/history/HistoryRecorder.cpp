#include "HistoryRecorder.h"

#include "LogSchedule.h"
#include "TankFile.h"

#include "core/DateText.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"

#include <algorithm>

namespace
{
constexpr int kOpenAttempts = 5;
constexpr int kRetryWaitMs = 250;
constexpr int kTextLogFileError = 27; // "Fehler Logdatei"
} // namespace

HistoryRecorder::HistoryRecorder(DeviceTable &table, const RunSwitches &switches, Settings &settings,
                                 UiServices &ui, const Texts &texts, ClockFn clock,
                                 std::function<void()> saveDeviceRegistry)
    : table_(table), switches_(switches), settings_(settings), ui_(ui), texts_(texts),
      clock_(std::move(clock)), saveDeviceRegistry_(std::move(saveDeviceRegistry)), loader_(switches, clock_)
{
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(kRetryWaitMs);
    QObject::connect(&retryTimer_, &QTimer::timeout, [this] { retryPending(); });
}

void HistoryRecorder::RecordHistory(int /*device*/, const QDateTime &received)
{
    if (switches_.options().clientMode)
        return;
    if (switches_.logIniActive() && IsLogDue(settings_.read(Cfg::LogIniLast), settings_.read(Cfg::LogIniTime),
                                             switches_.logIniInterval(), clock_())) {
        if (saveDeviceRegistry_)
            saveDeviceRegistry_();
        settings_.write(Cfg::LogIniLast, FormatDateText(received));
    }
    if (switches_.logFileActive() &&
        IsLogDue(settings_.read(Cfg::LogfileLast), settings_.read(Cfg::LogfileTime),
                 switches_.logFileInterval(), clock_())) {
        AppendHistorySnapshot(received);
        // Also after a failed tank file: the next try comes with the next interval.
        settings_.write(Cfg::LogfileLast, FormatDateText(received));
    }
}

void HistoryRecorder::AppendHistorySnapshot(const QDateTime &t, const ReportedLevel &reported)
{
    const QString folder = switches_.TankWriteFolder();
    for (int n = 1; n <= table_.DeviceCount && n <= kMaxDevices; ++n) {
        DeviceRecord &rec = table_[n];
        const qint32 volumen = n == reported.tank ? reported.volumen : rec.Volumen;
        if (volumen < 0)
            continue; // device error code: no line, no entry
        const QString path = TankFile::PathIn(folder, n);
        const QByteArray line = TankFile::Line(t, rec, volumen, texts_);
        rec.History.append(t, ScaledLevel(volumen, rec), rec.Temperatur);
        // A file still waiting for its retries gets the line behind the
        // earlier ones, never before them.
        auto waiting =
            std::find_if(pending_.begin(), pending_.end(), [&](const Pending &p) { return p.path == path; });
        if (waiting != pending_.end()) {
            waiting->lines += line;
            continue;
        }
        QString error;
        const TankFile::AppendResult r = TankFile::Append(path, line, &error);
        if (r == TankFile::AppendResult::OpenFailed)
            pending_.push_back({path, line});
        else if (r == TankFile::AppendResult::WriteFailed)
            reportFailure(error);
    }
    if (!pending_.empty() && !retryTimer_.isActive())
        retryTimer_.start();
}

void HistoryRecorder::retryPending()
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        ++it->attempts;
        QString error;
        const TankFile::AppendResult r = TankFile::Append(it->path, it->lines, &error);
        if (r == TankFile::AppendResult::OpenFailed && it->attempts < kOpenAttempts) {
            ++it;
            continue;
        }
        if (r != TankFile::AppendResult::Written)
            reportFailure(error);
        it = pending_.erase(it);
    }
    if (!pending_.empty())
        retryTimer_.start();
}

void ReportTankFileFailure(UiServices &ui, const Texts &texts, const QString &error)
{
    ui.messageBox(error, texts(kTextLogFileError), MsgIcon::Stop, MsgButtons::Ok);
}

void HistoryRecorder::reportFailure(const QString &error)
{
    ReportTankFileFailure(ui_, texts_, error);
}

void HistoryRecorder::LoadTankHistory(int device)
{
    if (device >= 1 && device <= kMaxDevices)
        loader_.LoadOrTake(device, table_[device].History);
}

TankHistoryLoader::Refreshed HistoryRecorder::RefreshTankHistory(int device)
{
    if (device < 1 || device > kMaxDevices)
        return TankHistoryLoader::Refreshed::Unchanged;
    return loader_.Refresh(device, table_[device].History);
}
