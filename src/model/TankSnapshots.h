#pragma once
#include "Hooks.h"
#include "TankSnapshot.h"

#include <QObject>
#include <array>
#include <functional>

class RunSwitches;
class TankController;
class TankStateWatch;

// The one owner of every tank's snapshot. In a telegram's evaluation it is
// the step after the loss: the state is judged (once, the loss known), the
// snapshot composed and published, then the notification rules run (next).
// Outside an evaluation it follows what changes a tank otherwise: the user's
// edits and the start-up's load (deviceChanged, deviceAdded), a history that
// grew or was reloaded (forecast, meter), the minute's state check, the
// temperature-correction switch, a removal. snapshotChanged comes once per
// change, never for an unchanged snapshot.
class TankSnapshots : public QObject, public EmailHooks
{
    Q_OBJECT
public:
    // What the snapshot takes from the consumption side: the forecast's
    // date and daily use (invalid date: none), the open loss, the meter.
    struct Sources {
        std::function<std::pair<QDateTime, double>(int n)> forecast;
        std::function<bool(int n)> loss;
        std::function<std::optional<double>(int n)> consumed;
    };

    // states: who judges the states (none: every tank counts as ok).
    TankSnapshots(const TankController &tanks, const RunSwitches &switches, TankStateWatch *states,
                  Sources sources = {}, QObject *parent = nullptr);

    // The rules that follow the snapshot in an evaluation (none: nothing follows).
    void setNext(EmailHooks *next) { next_ = next ? next : &nullNext_; }

    // Tank n's snapshot; an empty one (tank 0) outside 1..DeviceCount.
    TankSnapshotPtr at(int n) const;
    // Every registered tank's, in order.
    QList<TankSnapshotPtr> all() const;

    // The evaluation's step: state, snapshot, then the rules.
    void EvalEmail(int tank, bool alarmChanged) override;
    void UnloadForm() override { next_->UnloadForm(); }

    // Tank n composed again now (a figure changed outside an evaluation).
    void refresh(int n);
    void refreshAll();
    // A figure changed: composed again unless tank n's telegram is being
    // evaluated now (its own step follows).
    void figureChanged(int n);

signals:
    void snapshotChanged(int n);
    // Tanks were removed: every number may name another tank now.
    void snapshotsReset();

private:
    void judge(int n);
    void publish(int n);

    const TankController &tanks_;
    const RunSwitches &switches_;
    TankStateWatch *states_;
    Sources sources_;
    EmailHooks nullNext_;
    EmailHooks *next_ = &nullNext_;
    std::array<TankSnapshotPtr, kMaxDevices + 1> snapshots_{}; // [0] unused
};
