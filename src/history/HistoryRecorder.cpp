#include "HistoryRecorder.h"

#include "LogSchedule.h"
#include "TankFile.h"

#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"

namespace {
constexpr int kOpenAttempts = 5;
constexpr int kRetryWaitMs = 250;
constexpr int kTextLogFileError = 27; // "Fehler Logdatei"
} // namespace

HistoryRecorder::HistoryRecorder(DeviceTable &table, std::function<void()> saveDeviceRegistry)
    : table_(table), saveDeviceRegistry_(std::move(saveDeviceRegistry))
{
}

void HistoryRecorder::RecordHistory(int /*device*/, const QDateTime &received)
{
    const RunState &s = State();
    if (s.clientMode)
        return;
    if (s.logIniActive &&
        IsLogDue(Cfg::LogIniLast.read(), Cfg::LogIniTime.read(), s.logIniInterval, Clock::Now())) {
        if (saveDeviceRegistry_)
            saveDeviceRegistry_();
        Cfg::LogIniLast.write(FormatDateText(received));
    }
    if (s.logFileActive && !snapshotRunning_ &&
        IsLogDue(Cfg::LogfileLast.read(), Cfg::LogfileTime.read(), s.logFileInterval, Clock::Now())) {
        snapshotRunning_ = true;
        AppendHistorySnapshot(received);
        snapshotRunning_ = false;
        // Also after a failed tank file: the next try comes with the next interval.
        Cfg::LogfileLast.write(FormatDateText(received));
    }
}

void HistoryRecorder::AppendHistorySnapshot(const QDateTime &t)
{
    const QString folder = TankFile::WriteFolder();
    for (int n = 1; n <= table_.DeviceCount && n <= kMaxDevices; ++n) {
        DeviceRecord &rec = table_[n];
        if (rec.Volumen < 0)
            continue; // device error code: no line, no entry
        const QString path = TankFile::PathIn(folder, n);
        const QByteArray line = TankFile::Line(t, rec);
        const double level = ScaledLevel(rec.Volumen, rec);
        const qint32 temp = rec.Temperatur;
        QString error;
        TankFile::AppendResult r = TankFile::AppendResult::OpenFailed;
        for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
            r = TankFile::Append(path, line, &error);
            if (r != TankFile::AppendResult::OpenFailed || attempt == kOpenAttempts)
                break;
            WaitMs(kRetryWaitMs);
        }
        if (r != TankFile::AppendResult::Written)
            Ui().messageBox(error, LngText(kTextLogFileError), MsgIcon::Stop, MsgButtons::Ok);
        // The device record may have moved on during the waits; the entry
        // takes the values the line was written with.
        rec.History.append(t, level, temp);
    }
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
