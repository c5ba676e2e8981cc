#include "CentralDialogLogic.h"

#include "core/TextHelpers.h"
#include "lang/Lng.h"
#include "mqtt/MqttDialogLogic.h"

#include <utility>

CentralDialogLogic::Captions CentralDialogLogic::captions(const Texts &t)
{
    return {t(1412), t(1413), t(426),  t(427), t(428), t(429),
            t(430),  t(1414), t(1415), t(230), t(229), t(226)};
}

CentralDialogLogic::CentralDialogLogic(const CentralValues &stored, UiServices &ui, const Texts &texts,
                                       Apply apply)
    : values(stored), ui_(ui), texts_(texts), apply_(std::move(apply))
{
}

bool CentralDialogLogic::Ok()
{
    values.host = values.host.trimmed();
    values.filter = values.filter.trimmed();
    const QString wrong =
        IsTopicFilter(values.filter)
            ? QString()
            : FormatText(texts_(650), {texts_(1414), ControlsEscaped(values.filter), texts_(1406)});
    if (!BrokerValuesOk(values.aktiv, values.host, values.port, wrong, ui_, texts_))
        return false;
    apply_(values);
    return true;
}
