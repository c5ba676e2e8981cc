#include "MqttDialogLogic.h"

#include "core/UiServices.h"
#include "lang/Lng.h"

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
    int wrong = 0;
    if (values.aktiv && values.host.isEmpty())
        wrong = 434;
    else if (!IsPublishableTopic(values.topic.trimmed()) || !IsPublishableTopic(values.discoveryPrefix.trimmed()))
        wrong = 435;
    else if (values.port < 1 || values.port > 65535)
        wrong = 436;
    if (wrong) {
        ui_.messageBox(LngText(wrong), QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    apply_(values);
    return true;
}
