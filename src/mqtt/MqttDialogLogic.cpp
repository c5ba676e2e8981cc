#include "MqttDialogLogic.h"

#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <utility>

MqttDialogLogic::Captions MqttDialogLogic::captions(const Texts &texts)
{
    return {texts(424), texts(425), texts(426), texts(427), texts(428), texts(429), texts(430),
            texts(431), texts(432), texts(433), texts(230), texts(229), texts(226)};
}

MqttDialogLogic::MqttDialogLogic(const MqttValues &stored, UiServices &ui, const Texts &texts, Apply apply)
    : values(stored), ui_(ui), texts_(texts), apply_(std::move(apply))
{
}

bool MqttDialogLogic::Ok()
{
    values.host = values.host.trimmed();
    QString wrong;
    // The field, the value as typed (blanks at the ends do not count) and why.
    for (const auto &[caption, value] :
         {std::pair{431, &values.topic}, std::pair{433, &values.discoveryPrefix}}) {
        const QString v = value->trimmed();
        if (const int fault = TopicFault(v); fault && wrong.isEmpty())
            wrong = FormatText(texts_(650), {texts_(caption), ControlsEscaped(v), texts_(fault)});
    }
    if (!BrokerValuesOk(values.aktiv, values.host, values.port, wrong, ui_, texts_))
        return false;
    apply_(values);
    return true;
}

bool BrokerValuesOk(bool aktiv, const QString &host, int port, const QString &ownFault, UiServices &ui,
                    const Texts &texts)
{
    QString wrong = aktiv && host.isEmpty() ? texts(434) : ownFault;
    if (wrong.isEmpty() && (port < 1 || port > 65535))
        wrong = texts(436);
    if (wrong.isEmpty())
        return true;
    ui.messageBox(wrong, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

QList<MqttDialogLogic::EnergyRow> MqttDialogLogic::EnergyRows(const DeviceTable &devices, const Texts &t)
{
    QList<EnergyRow> rows;
    for (int n = 1; n <= devices.DeviceCount && n <= kMaxDevices; ++n) {
        const DeviceRecord &rec = devices[n];
        const QString name = rec.Tankbezeichnung.trimmed();
        // A tank without a unit still has a content: the factor is per unit of it.
        const QString unit = UnitCode(rec.Einheit);
        rows.append({name.isEmpty() ? t(281) + QString::number(n) : name,
                     FormatText(t(1109), {unit.isEmpty() ? t(1110) : unit})});
    }
    return rows;
}
