#pragma once
#include <QString>
#include <functional>

class Settings;
class TankController;
class UiServices;
class RunSwitches;
class Texts;

// The menu command that switches the temperature correction and asks for the
// per-tank expansion coefficients (per mille per degree C). The switch lives
// in the run configuration (flagTempKorr) and in "Common"/"FlagTempKorr".
class TempCorrection
{
public:
    TempCorrection(TankController &tanks, RunSwitches &switches, Settings &settings, UiServices &ui,
                   const Texts &texts);

    // Asks whether to toggle the switch; when it is then on, asks for the
    // coefficient of every tank in turn. done gets the switch state once the
    // last question is answered.
    void Toggle(std::function<void(bool on)> done = {});
    // The coefficient questions alone, from tank `from` on; done(false) when an
    // answer was rejected (the remaining tanks are not asked, coefficients
    // already entered stay).
    void AskCoefficients(std::function<void(bool ok)> done = {}, int from = 1);

    // An entered coefficient is valid when greater than 0 and at most 10.
    static bool IsValidCoefficient(double k);
    // The prompt for tank n: "Tank 3 <name>Ausdehnung pro Grad in Promille:".
    static QString CoefficientPrompt(int n, const QString &tankName, const Texts &texts);

private:
    TankController &tanks_;
    RunSwitches &switches_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
};
