#pragma once
#include "LossAlarm.h"

#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QObject>
#include <array>
#include <functional>
#include <optional>

class ForecastProvider;
class Settings;

// Runs the loss alarm (JudgeLoss) on every evaluated telegram of the server:
// it sits in front of the e-mail rules, judges the tank's reading, passes the
// call on, then announces a loss that started or ended (lossChanged). The
// normal use is the tank's 14-day rate of the forecast; the limits (the
// common ones, under each tank's own, TankLossLimits) are read once and again
// after reloadLimits() (the owner calls it when the settings change), not for
// every telegram. "VerlustGemeldet" + n of section "E-Mail"
// keeps an open event across a restart; the readings of the window are not
// kept (a restart starts the window afresh).
//
// Fabricated readings (the simulation's level falls by up to 1 % of the
// capacity every 2 s) are not judged: they would report a leak in every
// demonstration. An event that is open stays as it is until real readings
// decide it.
class LossWatch : public QObject, public EmailHooks
{
    Q_OBJECT
public:
    using LimitsFn = std::function<LossLimits()>;

    // simulated: whether the readings come from the simulation (none: never).
    LossWatch(const DeviceTable &devices, Settings &settings, const ForecastProvider &forecasts,
              LimitsFn limits, EmailHooks &next, std::function<bool()> simulated = {},
              QObject *parent = nullptr);

    void EvalEmail(int tank, bool alarmChanged) override;
    void UnloadForm() override { next_.UnloadForm(); }

    // Whether tank n has an open loss event.
    bool loss(int tank) const;
    // Forgets the readings of every tank (tanks were removed or moved).
    void reset();
    // The limits are read again at the next reading (the settings changed).
    void reloadLimits();
    // The limits tank n is judged by now.
    LossLimits limits(int tank);

signals:
    // A loss of the tank started (true) or ended (false). Each start is one
    // e-mail with the loss reason.
    void lossChanged(int tank, bool active);

private:
    struct Entry {
        bool loaded = false;
        LossState state;
        std::optional<LossLimits> limits; // read at its first reading after a change
        qint32 limitsUnit = 0;            // the tank's unit when they were read
    };
    Entry &entry(int n);

    const DeviceTable &devices_;
    Settings &settings_;
    const ForecastProvider &forecasts_;
    LimitsFn readLimits_;
    std::optional<LossLimits> common_; // read at the first reading after a change
    EmailHooks &next_;
    std::function<bool()> simulated_;
    std::array<Entry, kMaxDevices + 1> entries_; // [0] unused
};
