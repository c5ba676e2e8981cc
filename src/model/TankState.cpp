#include "TankState.h"

#include "DeviceRecord.h"
#include "Figures.h"

#include "core/TextHelpers.h"
#include "lang/Lng.h"

#include <cmath>

namespace
{
// The codes whose meaning the device maker documents.
constexpr int kProbeOpen = 0xE002;
constexpr int kProbeOpen2 = 0xE009;
constexpr int kProbeShort = 0xE008;

// A stored or typed percentage: either decimal mark, nothing else around it.
std::optional<double> percentNumber(QString text)
{
    text = text.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString percentText(double p, const Texts &t)
{
    return t.locale().toString(p, 'f', p == qRound(p) ? 0 : 1);
}
} // namespace

TankStatus TankState(const TankReading &reading, const TankStateRules &rules, const QDateTime &now)
{
    TankStatus s;
    s.lowPercent = rules.lowPercent;
    const qint64 age = ReadingAgeMinutes(reading.lastTelegram, now);
    if (reading.alarm) {
        s.condition = TankCondition::Alarm;
    } else if (IsSilent(age, rules.silenceHours)) {
        s.condition = TankCondition::Silent;
        s.silentHours = reading.lastTelegram.isValid() ? age / 60 : 0;
    } else if (reading.errorCode != 0) {
        s.condition = TankCondition::Fault;
        s.errorCode = reading.errorCode;
    } else if (reading.loss) {
        s.condition = TankCondition::Loss;
    } else if (rules.lowPercent > 0 && reading.percent < rules.lowPercent / 2) {
        s.condition = TankCondition::VeryLow;
    } else if (rules.lowPercent > 0 && reading.percent < rules.lowPercent) {
        s.condition = TankCondition::Low;
    }
    return s;
}

TankReading TankReadingOf(const DeviceRecord &rec)
{
    TankReading r;
    r.lastTelegram = rec.Uhrzeit;
    r.alarm = rec.Alarm;
    if (rec.Volumen < 0)
        r.errorCode = int(-qint64(rec.Volumen) & 0xFFFF);
    else
        r.percent = FillFraction(rec) * 100;
    return r;
}

QString ErrorCodeText(int code)
{
    return QString::number(code, 16).toUpper();
}

QString TankStateWords(const TankStatus &s, const Texts &t)
{
    switch (s.condition) {
    case TankCondition::Ok:
        return t(800);
    case TankCondition::Low:
        return t(801);
    case TankCondition::VeryLow:
        return t(802);
    case TankCondition::Fault:
        return FormatText(t(804), {ErrorCodeText(s.errorCode)});
    case TankCondition::Silent:
        return t(803);
    case TankCondition::Loss:
        return t(1107);
    case TankCondition::Alarm:
        return t(805);
    }
    return {};
}

QString TankStateNote(const TankStatus &s, const Texts &t)
{
    switch (s.condition) {
    case TankCondition::Ok:
        return {};
    case TankCondition::Low:
        return FormatText(t(806), {percentText(s.lowPercent, t)});
    case TankCondition::VeryLow:
        return FormatText(t(807), {percentText(s.lowPercent / 2, t)});
    case TankCondition::Fault: {
        // The probe faults have their own words (the same as the value's
        // error text); any other code sends the user to the help page.
        const QString code = ErrorCodeText(s.errorCode);
        QString text = FormatText(t(809), {code});
        if (s.errorCode == kProbeOpen || s.errorCode == kProbeOpen2)
            text += QLatin1Char(' ') + t(30).trimmed();
        else if (s.errorCode == kProbeShort)
            text += QLatin1Char(' ') + t(31).trimmed();
        else
            text += QLatin1Char(' ') + t(810);
        return text;
    }
    case TankCondition::Silent: // never heard: no "0 hours"
        return s.silentHours > 0 ? FormatText(t(808), {QString::number(s.silentHours)}) : t(1405);
    case TankCondition::Loss:
        return t(1108);
    case TankCondition::Alarm:
        return t(811);
    }
    return {};
}

std::optional<QString> WarnThresholdEntry(const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return QString();
    const std::optional<double> v = percentNumber(typed);
    if (!v || *v <= 0 || *v > 100)
        return std::nullopt;
    return QString::number(*v, 'g', 10);
}

double WarnThresholdOf(const QString &own, const QString &common)
{
    for (const QString &text : {own, common})
        if (const std::optional<double> v = percentNumber(text); v && *v > 0)
            return *v;
    return 10;
}

QString TankConditionName(TankCondition c)
{
    switch (c) {
    case TankCondition::Ok:
        break;
    case TankCondition::Low:
        return QStringLiteral("low");
    case TankCondition::VeryLow:
        return QStringLiteral("very_low");
    case TankCondition::Loss:
        return QStringLiteral("loss");
    case TankCondition::Fault:
        return QStringLiteral("fault");
    case TankCondition::Silent:
        return QStringLiteral("silent");
    case TankCondition::Alarm:
        return QStringLiteral("alarm");
    }
    return QStringLiteral("ok");
}
