#pragma once
#include "model/Hooks.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

// Telegram bytes built field by field, the checksum computed unless given.
struct TelegramBytes {
    int start = 0x02, kind = 0x11, type = 5, sn = 4711, temp = 128 + 12, status = 0;
    int levelHigh = 0x12, levelLow = 0x34, scale = 0, shape = 1, capacity = 5000, height = 1500;
    int spare1 = 0, spare2 = 0, end = 0x03;
    std::optional<int> checksum;
    int length = 19; // other lengths cut or pad the 19 bytes

    QByteArray bytes() const;
    // Level as four BCD digits (0..9999).
    TelegramBytes &level(int v);
};

// Hooks that record their calls and can run something inside them (the
// history waits and the e-mail sending let events run in the real program).
struct RecordingHooks : HistoryHooks, EmailHooks {
    QList<int> recorded, loaded, emailed;
    QList<bool> emailAlarmChanged;
    int unloads = 0;
    std::function<void(int)> insideRecord;

    void RecordHistory(int device, const QDateTime &) override
    {
        recorded << device;
        if (insideRecord)
            insideRecord(device);
    }
    void LoadTankHistory(int device) override { loaded << device; }
    void EvalEmail(int device, bool alarmChanged) override
    {
        emailed << device;
        emailAlarmChanged << alarmChanged;
    }
    void UnloadForm() override { ++unloads; }
};

// Counts the atomic replaces (renames onto the name) of files in a folder.
class ReplaceCounter
{
public:
    explicit ReplaceCounter(const QString &folder);
    ~ReplaceCounter();
    // Replaces (rename onto) and in-place writes of the named file since construction.
    int replaces(const QString &fileName);
    int inPlaceWrites(const QString &fileName);

private:
    void drain();
    int fd_ = -1;
    QList<QPair<QString, quint32>> events_;
};
