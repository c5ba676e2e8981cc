#include "ConsumptionMeter.h"

#include "ConsumptionController.h"

#include "core/Catalogue.h"
#include "core/Settings.h"

#include <cmath>

ConsumptionMeter::ConsumptionMeter(const DeviceTable &devices, Settings &settings, bool store,
                                   QObject *parent)
    : QObject(parent), devices_(devices), settings_(settings), store_(store)
{
}

std::optional<double> ConsumptionMeter::consumed(int tank) const
{
    if (tank < 1 || tank > kMaxDevices || tank > devices_.DeviceCount || !entries_[size_t(tank)].known)
        return std::nullopt;
    return entries_[size_t(tank)].value;
}

void ConsumptionMeter::reset()
{
    entries_ = {};
    for (int n = 1; n <= devices_.DeviceCount; ++n)
        update(n);
}

void ConsumptionMeter::update(int n)
{
    if (n < 1 || n > kMaxDevices || n > devices_.DeviceCount)
        return;
    const DeviceRecord &rec = devices_[n];
    Entry &e = entries_[size_t(n)];
    if (!e.known || e.einheit != rec.Einheit) {
        // The value an earlier run held, when it counted in this unit.
        e = {true, rec.Einheit, 0, 0};
        const QString unit = settings_.read(Cfg::Device::VerbrauchszaehlerEinheit.at(n));
        bool ok = false;
        const double stored = settings_.read(Cfg::Device::Verbrauchszaehler.at(n)).toDouble(&ok);
        if (ok && std::isfinite(stored) && stored > 0 && unit == QString::number(rec.Einheit))
            e.value = e.stored = stored;
    }
    const double total = ConsumedTotal(rec, ConsumptionSettingsFrom(settings_));
    if (!std::isfinite(total))
        return;
    if (total > e.value) {
        e.value = total;
        emit consumedChanged(n);
    } else if (total < e.value && e.value > e.stored && store_) {
        // The history alone now gives less: what is held is stored, so that
        // a start, which computes the history again, does not go back.
        Settings::Batch batch(settings_);
        settings_.write(Cfg::Device::Verbrauchszaehler.at(n), QString::number(e.value, 'g', 15));
        settings_.write(Cfg::Device::VerbrauchszaehlerEinheit.at(n), rec.Einheit);
        if (batch.commit())
            e.stored = e.value;
    }
}
