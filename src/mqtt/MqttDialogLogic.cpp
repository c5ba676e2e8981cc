#include "MqttDialogLogic.h"

#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <utility>

MqttDialogLogic::Captions MqttDialogLogic::captions()
{
    return {LngText(424), LngText(425), LngText(426), LngText(427), LngText(428), LngText(429), LngText(430),
            LngText(431), LngText(432), LngText(433), LngText(230), LngText(229), LngText(226)};
}

MqttDialogLogic::MqttDialogLogic(const MqttValues &stored, UiServices &ui, Apply apply)
    : values(stored), ui_(ui), apply_(std::move(apply))
{
}

bool MqttDialogLogic::Ok()
{
    values.host = values.host.trimmed();
    QString wrong;
    if (values.aktiv && values.host.isEmpty())
        wrong = LngText(434);
    // The field, the value as typed (blanks at the ends do not count) and why.
    for (const auto &[caption, value] :
         {std::pair{431, &values.topic}, std::pair{433, &values.discoveryPrefix}}) {
        const QString v = value->trimmed();
        if (const int fault = TopicFault(v); fault && wrong.isEmpty())
            wrong = FormatText(LngText(650), {LngText(caption), ControlsEscaped(v), LngText(fault)});
    }
    if (wrong.isEmpty() && (values.port < 1 || values.port > 65535))
        wrong = LngText(436);
    if (!wrong.isEmpty()) {
        ui_.messageBox(wrong, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    apply_(values);
    return true;
}

QList<MqttDialogLogic::EnergyRow> MqttDialogLogic::EnergyRows(const DeviceTable &devices, const Texts &t)
{
    QList<EnergyRow> rows;
    for (int n = 1; n <= devices.DeviceCount && n <= kMaxDevices; ++n) {
        const DeviceRecord &rec = devices[n];
        const QString name = rec.Tankbezeichnung.trimmed();
        // A tank without a unit still has a content: the factor is per unit of it.
        const QString unit = UnitName(rec.Einheit, true);
        rows.append({name.isEmpty() ? t(281) + QString::number(n) : name,
                     FormatText(t(1109), {unit.isEmpty() ? t(1110) : unit})});
    }
    return rows;
}
