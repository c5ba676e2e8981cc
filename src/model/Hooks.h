#pragma once
#include <QDateTime>
#include <QtGlobal>

// What telegram evaluation and the registry call in the history and e-mail
// subsystems. The controller starts with the Null versions, which record and
// send nothing, until the real subsystems are plugged in.
// A tank's content as a message reports it, which may differ from its
// current one; tank 0: none.
struct ReportedLevel {
    int tank = 0;
    qint32 volumen = 0;
};

class HistoryHooks
{
public:
    virtual ~HistoryHooks() = default;
    // Both periodic recordings (settings snapshot, then tank files), when due.
    virtual void RecordHistory(int device, const QDateTime &received)
    {
        (void)device;
        (void)received;
    }
    // Fills the device's history from its tank file (after it was reset).
    virtual void LoadTankHistory(int device) { (void)device; }
    // Brings the device's history up to date with its tank file, keeping
    // what is already loaded when the file has only grown (client refresh).
    virtual void ReloadTankHistory(int device) { LoadTankHistory(device); }
    // One line stamped t for every tank with a valid level (a refuelling's
    // start and end); the reported tank's line has the content reported
    // (the minimum before a refuelling) instead of its current one.
    virtual void AppendHistorySnapshot(const QDateTime &t, const ReportedLevel &reported = {})
    {
        (void)t;
        (void)reported;
    }
};

class EmailHooks
{
public:
    virtual ~EmailHooks() = default;
    virtual void EvalEmail(int device, bool alarmChanged)
    {
        (void)device;
        (void)alarmChanged;
    }
    // The e-mail settings are rebuilt for a new number of devices.
    virtual void UnloadForm() {}
};
