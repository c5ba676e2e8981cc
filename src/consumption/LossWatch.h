#pragma once
#include "LossAlarm.h"

#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QObject>
#include <array>
#include <functional>

class ForecastProvider;
class Settings;

// Runs the loss alarm (JudgeLoss) on every evaluated telegram of the server:
// it sits in front of the e-mail rules, judges the tank's reading, passes the
// call on, then announces a loss that started or ended (lossChanged). The
// normal use is the tank's 14-day rate of the forecast; the limits come from
// the e-mail settings in force. "VerlustGemeldet" + n of section "E-Mail"
// keeps an open event across a restart; the readings of the window are not
// kept (a restart starts the window afresh).
class LossWatch : public QObject, public EmailHooks
{
    Q_OBJECT
public:
    using LimitsFn = std::function<LossLimits()>;

    LossWatch(const DeviceTable &devices, Settings &settings, const ForecastProvider &forecasts,
              LimitsFn limits, EmailHooks &next, QObject *parent = nullptr);

    void EvalEmail(int tank, bool alarmChanged) override;
    void UnloadForm() override { next_.UnloadForm(); }

    // Whether tank n has an open loss event.
    bool loss(int tank) const;
    // Forgets the readings of every tank (tanks were removed or moved).
    void reset();

signals:
    // A loss of the tank started (true) or ended (false). Each start is one
    // e-mail with the loss reason.
    void lossChanged(int tank, bool active);

private:
    struct Entry {
        bool loaded = false;
        LossState state;
    };
    Entry &entry(int n);

    const DeviceTable &devices_;
    Settings &settings_;
    const ForecastProvider &forecasts_;
    LimitsFn limits_;
    EmailHooks &next_;
    std::array<Entry, kMaxDevices + 1> entries_; // [0] unused
};
