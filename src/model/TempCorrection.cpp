#include "TempCorrection.h"

#include "Figures.h"
#include "TankController.h"

#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

TempCorrection::TempCorrection(TankController &tanks, RunSwitches &switches, Settings &settings,
                               UiServices &ui, const Texts &texts)
    : tanks_(tanks), switches_(switches), settings_(settings), ui_(ui), texts_(texts)
{
}

bool TempCorrection::IsValidCoefficient(double k)
{
    return k > 0 && k <= 10;
}

QString TempCorrection::CoefficientPrompt(int n, const QString &tankName, const Texts &texts)
{
    // The tank on a line of its own: name and question must not run together.
    QString tank = texts(292) + QLatin1Char(' ') + QString::number(n);
    if (!tankName.isEmpty())
        tank += QLatin1Char(' ') + tankName;
    return tank + QLatin1Char('\n') + texts(293);
}

void TempCorrection::Toggle(std::function<void(bool on)> done)
{
    const bool wasOn = switches_.flagTempKorr();
    ui_.messageBox(texts_(wasOn ? 288 : 290), texts_(wasOn ? 291 : 289), MsgIcon::Question, MsgButtons::YesNo,
                   [this, wasOn, done](MsgResult answer) {
                       if (answer == MsgResult::Yes) {
                           switches_.setFlagTempKorr(!wasOn);
                           settings_.write(Cfg::FlagTempKorr, switches_.flagTempKorr() ? 1 : 0);
                           // Every displayed figure depends on the switch.
                           for (int n = 1; n <= tanks_.DeviceCount(); ++n)
                               tanks_.refreshDevice(n);
                           tanks_.ComboSN_Click(tanks_.currentDevice());
                       }
                       if (!switches_.flagTempKorr()) {
                           if (done)
                               done(false);
                           return;
                       }
                       AskCoefficients([this, done](bool) {
                           if (done)
                               done(switches_.flagTempKorr());
                       });
                   });
}

void TempCorrection::AskCoefficients(std::function<void(bool ok)> done, int from)
{
    // DeviceCount is read on every round: a telegram evaluated while a box is
    // open may register another tank, which is then asked as well.
    const int n = from;
    if (n > tanks_.DeviceCount()) {
        if (done)
            done(true);
        return;
    }
    DeviceRecord &r = tanks_.device(n);
    if (r.TempKorr == 0)
        r.TempKorr = 1.5;
    ui_.inputBox(CoefficientPrompt(n, r.Tankbezeichnung, texts_), texts_(294),
                 QString::number(r.TempKorr, 'g', 15), [this, n, done](const QString &answer) {
                     const double k = ParseNumber(answer);
                     if (!IsValidCoefficient(k)) {
                         ui_.messageBox(texts_(295), texts_(296), MsgIcon::Stop, MsgButtons::Ok);
                         if (done)
                             done(false);
                         return;
                     }
                     // The tank may have been removed while the box was open.
                     if (n <= tanks_.DeviceCount())
                         tanks_.setTempKorr(n, k);
                     AskCoefficients(done, n + 1);
                 });
}
