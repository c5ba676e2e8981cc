#include "LossWatch.h"

#include "Forecast.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "model/Figures.h"

LossWatch::LossWatch(const DeviceTable &devices, Settings &settings, const ForecastProvider &forecasts,
                     LimitsFn limits, EmailHooks &next, std::function<bool()> simulated, QObject *parent)
    : QObject(parent), devices_(devices), settings_(settings), forecasts_(forecasts),
      readLimits_(std::move(limits)), next_(next), simulated_(std::move(simulated))
{
}

LossWatch::Entry &LossWatch::entry(int n)
{
    Entry &e = entries_[size_t(n)];
    if (!e.loaded) {
        e.loaded = true;
        e.state = {};
        e.state.active = settings_.readIsOne(Cfg::Email::VerlustGemeldet.at(n));
    }
    return e;
}

bool LossWatch::loss(int tank) const
{
    if (tank < 1 || tank > kMaxDevices || tank > devices_.DeviceCount)
        return false;
    const Entry &e = entries_[size_t(tank)];
    return e.loaded ? e.state.active : settings_.readIsOne(Cfg::Email::VerlustGemeldet.at(tank));
}

void LossWatch::reset()
{
    entries_ = {};
}

void LossWatch::reloadLimits()
{
    common_.reset();
    for (Entry &e : entries_)
        e.limits.reset();
}

LossLimits LossWatch::limits(int tank)
{
    if (tank < 1 || tank > kMaxDevices)
        return {};
    Entry &e = entries_[size_t(tank)];
    // A tank given another unit may become a percent tank.
    if (!e.limits || e.limitsUnit != devices_[tank].Einheit) {
        if (!common_)
            common_ = readLimits_();
        using namespace Cfg::Email;
        const TankLossSettings own{settings_.read(VerlustProzentTank.at(tank)),
                                   settings_.read(VerlustStundenTank.at(tank)),
                                   settings_.read(VerlustRuhezeit.at(tank))};
        e.limitsUnit = devices_[tank].Einheit;
        e.limits = TankLossLimits(*common_, own, devices_[tank].Einheit == Loss::kPercentUnit);
    }
    return *e.limits;
}

void LossWatch::EvalEmail(int tank, bool alarmChanged)
{
    LossEvent event = LossEvent::None;
    const bool simulated = simulated_ && simulated_();
    if (tank >= 1 && tank <= devices_.DeviceCount && tank <= kMaxDevices && !simulated) {
        const LossLimits l = limits(tank);
        const DeviceRecord &rec = devices_[tank];
        Entry &e = entry(tank);
        const std::optional<EmptyForecast> f = forecasts_.forecast(tank);
        // The reading as the history records it, so the normal use compares.
        const LossPoint reading{TankHistory::toSecs(rec.Uhrzeit),
                                rec.Volumen < 0 ? -1.0 : ScaledLevel(rec.Volumen, rec)};
        LossOutcome out =
            JudgeLoss(std::move(e.state), reading, ScaledLevel(rec.Tankvolumen, rec), f ? f->dailyUse : 0, l);
        e.state = std::move(out.state);
        event = out.event;
        // Written before the message, as the other rules do: a restart
        // neither repeats nor forgets it.
        if (event != LossEvent::None)
            settings_.write(Cfg::Email::VerlustGemeldet.at(tank), e.state.active ? 1 : 0);
    }
    next_.EvalEmail(tank, alarmChanged);
    if (event != LossEvent::None)
        emit lossChanged(tank, event == LossEvent::Started);
}
