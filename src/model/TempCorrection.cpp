#include "TempCorrection.h"

#include "Figures.h"
#include "TankController.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

bool TempCorrection::IsValidCoefficient(double k)
{
    return k > 0 && k <= 10;
}

QString TempCorrection::CoefficientPrompt(int n, const QString &tankName)
{
    return LngText(292) + QLatin1Char(' ') + QString::number(n) + QLatin1Char(' ') + tankName + LngText(293);
}

bool TempCorrection::Toggle(TankController &tanks)
{
    RunState &s = State();
    const bool wasOn = s.flagTempKorr;
    const MsgResult answer = Ui().messageBox(LngText(wasOn ? 288 : 290), LngText(wasOn ? 291 : 289),
                                             MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgResult::Yes) {
        s.flagTempKorr = !wasOn;
        Cfg::FlagTempKorr.write(s.flagTempKorr ? 1 : 0);
        // Every displayed figure depends on the switch.
        for (int n = 1; n <= tanks.DeviceCount(); ++n)
            tanks.refreshDevice(n);
        tanks.ComboSN_Click(tanks.currentDevice());
    }
    if (s.flagTempKorr)
        AskCoefficients(tanks);
    return s.flagTempKorr;
}

bool TempCorrection::AskCoefficients(TankController &tanks)
{
    // DeviceCount is read on every round: a telegram evaluated while a box is
    // open may register another tank, which is then asked as well.
    for (int n = 1; n <= tanks.DeviceCount(); ++n) {
        DeviceRecord &r = tanks.device(n);
        if (r.TempKorr == 0)
            r.TempKorr = 1.5;
        const QString answer = Ui().inputBox(CoefficientPrompt(n, r.Tankbezeichnung), LngText(294),
                                             QString::number(r.TempKorr, 'g', 15));
        const double k = ParseNumber(answer);
        if (!IsValidCoefficient(k)) {
            Ui().messageBox(LngText(295), LngText(296), MsgIcon::Stop, MsgButtons::Ok);
            return false;
        }
        tanks.setTempKorr(n, k);
    }
    return true;
}
