#include "SilenceAlarm.h"

#include "EmailNotifier.h"
#include "EmailSettings.h"

#include "core/Catalogue.h"
#include "core/RunConfig.h"
#include "core/Settings.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

SilenceAlarm::SilenceAlarm(const DeviceTable &devices, EmailSettings &values, Settings &settings,
                           const RunConfig &config, ClockFn clock, EmailNotifier &notifier, QObject *parent)
    : QObject(parent), devices_(devices), values_(values), settings_(settings), config_(config),
      clock_(std::move(clock)), notifier_(notifier)
{
    timer_.setInterval(60000);
    connect(&timer_, &QTimer::timeout, this, &SilenceAlarm::CheckSilence);
}

void SilenceAlarm::start()
{
    if (!config_.clientMode)
        timer_.start();
}

void SilenceAlarm::CheckSilence()
{
    if (config_.clientMode)
        return;
    if (values_.values().stilleStunden <= 0) {
        // Switched off: no silence stays pending for a later switch-on.
        for (int n = 1; n <= devices_.DeviceCount; ++n)
            if (settings_.readIsOne(Cfg::Email::StilleGemeldet.at(n)))
                settings_.write(Cfg::Email::StilleGemeldet.at(n), 0);
        return;
    }
    const int hours = values_.values().stilleStunden;
    const QDateTime now = clock_();
    for (int n = 1; n <= devices_.DeviceCount; ++n) {
        const IniKey reported = Cfg::Email::StilleGemeldet.at(n);
        const bool silent = IsSilent(ReadingAgeMinutes(devices_[n].Uhrzeit, now), hours);
        if (silent == settings_.readIsOne(reported))
            continue;
        // Written before the message, as the other rules do: a failed or
        // refused message is not tried again. What cannot be recorded is not
        // mailed either, or every minute would repeat it.
        if (!settings_.write(reported, silent ? 1 : 0))
            continue;
        notifier_.SendRuleEmail(n, silent ? ReasonSilent : ReasonReturned);
    }
}
