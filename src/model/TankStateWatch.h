#pragma once
#include "NotificationLog.h"
#include "TankState.h"

#include "core/Clock.h"
#include "lang/Lng.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

class TankController;

// Keeps every tank's TankStatus current (judged by the snapshots' owner after
// each change of a device, once its loss is known, and here once a minute, as
// silence comes without a telegram) and notes in the log when an alarm, a
// fault or a silence begins or ends. The views read the state in the tank's
// snapshot (TankSnapshots).
class TankStateWatch : public QObject
{
    Q_OBJECT
public:
    using RulesFn = std::function<TankStateRules(int tank)>;

    // texts is kept by reference and must outlive the watch.
    TankStateWatch(const TankController &tanks, RulesFn rules, ClockFn clock, NotificationLog &log,
                   const Texts &texts, QObject *parent = nullptr);

    // Whether tank n has an open loss event (the loss alarm's own notes
    // are added by its owner, not here). Without one, no tank has a loss.
    void setLossSource(std::function<bool(int tank)> loss) { loss_ = std::move(loss); }

    // Starts the one-minute check.
    void start();
    // Evaluates tank n now (a quiet first look notes nothing).
    void update(int n);
    // Every tank, as the minute timer does.
    void updateAll();
    TankStatus status(int n) const;

signals:
    void statusChanged(int n);

private:
    void note(int n, const TankStatus &before, const TankStatus &now);
    void forgetAll();

    const TankController &tanks_;
    RulesFn rules_;
    std::function<bool(int)> loss_;
    ClockFn clock_;
    NotificationLog &log_;
    const Texts &texts_; // the owner's: it may learn the run's language later
    QTimer timer_;
    std::array<TankStatus, 57> status_{};
    std::array<bool, 57> known_{};
};
