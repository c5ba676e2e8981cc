#pragma once
#include <QString>

class TankController;

// The menu command that switches the temperature correction and asks for the
// per-tank expansion coefficients (per mille per degree C). The switch lives
// in the run state (flagTempKorr) and in "Common"/"FlagTempKorr".
namespace TempCorrection
{
// Asks whether to toggle the switch; when it is then on, asks for the
// coefficient of every tank in turn. Returns the switch state afterwards.
bool Toggle(TankController &tanks);
// The coefficient questions alone; false when an answer was rejected (the
// remaining tanks are not asked, coefficients already entered stay).
bool AskCoefficients(TankController &tanks);
// An entered coefficient is valid when greater than 0 and at most 10.
bool IsValidCoefficient(double k);
// The prompt for tank n: "Tank 3 <name>Ausdehnung pro Grad in Promille:".
QString CoefficientPrompt(int n, const QString &tankName);
} // namespace TempCorrection
