#include "TankSnapshots.h"

#include "TankController.h"
#include "TankStateWatch.h"

#include "core/RunSwitches.h"

#include <tuple>

TankSnapshots::TankSnapshots(const TankController &tanks, const RunSwitches &switches, TankStateWatch *states,
                             Sources sources, QObject *parent)
    : QObject(parent), tanks_(tanks), switches_(switches), states_(states), sources_(std::move(sources))
{
    // A change of the record outside an evaluation: the state follows, then the snapshot.
    const auto recordChanged = [this](int n) {
        if (tanks_.evaluating() == n)
            return;
        judge(n);
        publish(n);
    };
    connect(&tanks_, &TankController::deviceChanged, this, recordChanged);
    connect(&tanks_, &TankController::deviceAdded, this, recordChanged);
    if (states_)
        connect(states_, &TankStateWatch::statusChanged, this, &TankSnapshots::figureChanged);
    connect(&switches_, &RunSwitches::flagTempKorrChanged, this, &TankSnapshots::refreshAll);
    // Connected after the state watch's own: the states of the new numbers are judged.
    connect(&tanks_, &TankController::tableReset, this, [this] {
        snapshots_.fill(nullptr);
        for (int n = 1; n <= tanks_.DeviceCount(); ++n)
            publish(n);
        emit snapshotsReset();
    });
}

TankSnapshotPtr TankSnapshots::at(int n) const
{
    static const TankSnapshotPtr kNone = std::make_shared<const TankSnapshot>();
    if (n < 1 || n > tanks_.DeviceCount() || !snapshots_[size_t(n)])
        return kNone;
    return snapshots_[size_t(n)];
}

QList<TankSnapshotPtr> TankSnapshots::all() const
{
    QList<TankSnapshotPtr> list;
    list.reserve(tanks_.DeviceCount());
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        list << at(n);
    return list;
}

void TankSnapshots::EvalEmail(int tank, bool alarmChanged)
{
    if (tank >= 1 && tank <= tanks_.DeviceCount()) {
        judge(tank);
        publish(tank);
    }
    next_->EvalEmail(tank, alarmChanged);
}

void TankSnapshots::judge(int n)
{
    if (states_)
        states_->update(n);
}

void TankSnapshots::figureChanged(int n)
{
    if (tanks_.evaluating() != n)
        publish(n);
}

void TankSnapshots::refresh(int n)
{
    publish(n);
}

void TankSnapshots::refreshAll()
{
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        publish(n);
}

void TankSnapshots::publish(int n)
{
    if (n < 1 || n > tanks_.DeviceCount())
        return;
    SnapshotFigures f;
    f.label = tanks_.label(n);
    f.tempKorrOn = switches_.flagTempKorr();
    if (states_)
        f.status = states_->status(n);
    if (sources_.forecast)
        std::tie(f.emptyAt, f.dailyUse) = sources_.forecast(n);
    f.loss = sources_.loss && sources_.loss(n);
    if (sources_.consumed)
        f.consumed = sources_.consumed(n);
    auto next = std::make_shared<const TankSnapshot>(ComposeSnapshot(n, tanks_.device(n), f));
    TankSnapshotPtr &slot = snapshots_[size_t(n)];
    if (slot && *slot == *next)
        return;
    slot = std::move(next);
    emit snapshotChanged(n);
}
