#include "CentralDialogLogic.h"

#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <utility>

CentralDialogLogic::Captions CentralDialogLogic::captions(const Texts &t)
{
    return {t(1412), t(1413), t(426), t(427), t(428), t(429), t(430), t(1414), t(1415), t(230), t(229)};
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
    QString wrong;
    if (values.aktiv && values.host.isEmpty())
        wrong = texts_(434);
    else if (!IsTopicFilter(values.filter))
        wrong = FormatText(texts_(650), {texts_(1414), ControlsEscaped(values.filter), texts_(1406)});
    else if (values.port < 1 || values.port > 65535)
        wrong = texts_(436);
    if (!wrong.isEmpty()) {
        ui_.messageBox(wrong, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    apply_(values);
    return true;
}
