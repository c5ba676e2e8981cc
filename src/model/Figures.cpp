#include "Figures.h"

#include "lang/Lng.h"
#include "lang/Plural.h"

#include <cmath>
#include <limits>

namespace
{

// How a scale code acts on a raw figure.
struct Scale {
    bool valid = false;
    qint64 factor = 1; // whole-number units
    int decimals = 0;  // fractional units: divisor 10^decimals
};

Scale scaleOf(int dezPunkt, int unit)
{
    static const qint64 kFactor[5] = {1, 1, 10, 100, 1000};
    static const int kDecimals[5] = {0, 3, 2, 1, 0};
    Scale s;
    if (dezPunkt < 0 || dezPunkt > 4)
        return s;
    s.valid = true;
    if (IsFractionalUnit(unit))
        s.decimals = kDecimals[dezPunkt];
    else
        s.factor = kFactor[dezPunkt];
    return s;
}

qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Fixed-point text of a non-negative raw figure, built digit by digit so no
// locale can put a comma in.
QString numberText(qint64 raw, const Scale &s)
{
    if (!s.valid)
        return {};
    if (s.decimals == 0)
        return QString::number(raw * s.factor);
    const qint64 div = pow10(s.decimals);
    return QString::number(raw / div) + QLatin1Char('.') +
           QStringLiteral("%1").arg(raw % div, s.decimals, 10, QLatin1Char('0'));
}

// num / den as a whole percentage; an exact half rounds away from zero.
qint64 roundedRatio(qint64 num, qint64 den)
{
    const qint64 a = num < 0 ? -num : num;
    const qint64 q = (2 * a + den) / (2 * den);
    return num < 0 ? -q : q;
}

QString percentOf(qint64 value, const DeviceRecord &rec)
{
    if (rec.Volumen < 0 || rec.Tankvolumen <= 0)
        return QStringLiteral("???%");
    return QString::number(roundedRatio(value * 100, rec.Tankvolumen)) + QLatin1Char('%');
}

} // namespace

bool IsFractionalUnit(int code)
{
    return code == 1 || code == 2 || code == 3 || code == 7;
}

namespace
{
QString unitText(int code, bool shortForm, const Texts &texts)
{
    switch (code) {
    case 0:
        return shortForm ? QStringLiteral("L") : texts(26);
    case 1:
        return QStringLiteral("m³");
    case 2:
        return QStringLiteral("m");
    case 3:
        return QStringLiteral("%");
    case 4:
        return QStringLiteral("kg");
    case 5:
        return shortForm ? QStringLiteral("Gal") : QStringLiteral("Imp.Gal");
    case 6:
        return shortForm ? QStringLiteral("Gal") : QStringLiteral("US Gal");
    case 7:
        return QStringLiteral("t");
    default:
        return {};
    }
}
} // namespace

QString UnitCode(int code)
{
    if (code == 5)
        return QStringLiteral("imp gal");
    if (code == 6)
        return QStringLiteral("US gal");
    return unitText(code, true, Texts());
}

QString UnitName(int code, const Texts &texts)
{
    return unitText(code, false, texts);
}

QString UnitSymbol(int code)
{
    return unitText(code, true, Texts());
}

QString DeviceErrorText(qint64 value, const Texts &texts)
{
    const qint64 code = -value;
    QString text = texts(29) + QString::number(code, 16).toUpper();
    if (code == 0xE002 || code == 0xE009)
        text += texts(30);
    else if (code == 0xE008)
        text += texts(31);
    return text;
}

QString FormatValue(qint64 value, const DeviceRecord &rec, const Texts &texts)
{
    if (value < 0)
        return DeviceErrorText(value, texts);
    return numberText(value, scaleOf(rec.DezPunkt, rec.Einheit)) + QLatin1Char(' ') +
           UnitName(rec.Einheit, texts);
}

QString PercentText(const DeviceRecord &rec)
{
    return percentOf(rec.Volumen, rec);
}

QString CorrectedPercentText(const DeviceRecord &rec, bool tempKorrOn)
{
    return percentOf(CorrectedVolume(rec, tempKorrOn), rec);
}

double FillFraction(const DeviceRecord &rec)
{
    if (rec.Volumen < 0 || rec.Tankvolumen <= 0)
        return 1;
    return double(rec.Volumen) / double(rec.Tankvolumen);
}

QString ShownValue(qint64 value, const DeviceRecord &rec, const Texts &t)
{
    if (value < 0)
        return DeviceErrorText(value, t);
    const Scale s = scaleOf(rec.DezPunkt, rec.Einheit);
    QString number;
    if (s.valid) {
        const QLocale locale = t.locale();
        if (s.decimals == 0)
            number = locale.toString(value * s.factor);
        else
            number = locale.toString(double(value) / double(pow10(s.decimals)), 'f', s.decimals);
    }
    const QString unit = rec.Einheit == 0 ? PluralText(t, 900, value * s.factor) : UnitName(rec.Einheit, t);
    return number + QLatin1Char(' ') + unit;
}

int TankTypeKey(const DeviceRecord &rec)
{
    return rec.Tanktyp + (rec.Geraetetyp < 7 ? 0 : 10);
}

QString TankTypeName(const DeviceRecord &rec, const Texts &texts)
{
    switch (TankTypeKey(rec)) {
    case 1:
    case 11:
        return texts(32);
    case 2:
    case 12:
        return texts(33);
    case 3:
    case 13:
        return texts(34);
    case 4:
        return texts(35);
    case 5:
    case 14:
        return texts(36);
    case 6:
        return texts(37);
    case 7:
        return texts(38);
    case 15:
        return texts(39);
    case 16:
        return texts(40);
    case 17:
        return texts(41);
    case 18:
        return texts(42);
    default:
        return texts(43);
    }
}

qint32 CorrectedVolume(const DeviceRecord &rec, bool tempKorrOn)
{
    const qint32 v = rec.Volumen;
    if (!tempKorrOn || rec.Temperatur == kNoTemperature || v < 0)
        return v;
    // The order of the operations is part of the result (rounding of doubles).
    double c = (double(rec.Temperatur) - 15) * rec.TempKorr;
    c /= 1000;
    c *= v;
    c += v;
    if (std::isnan(c))
        return v;
    // An absurd coefficient must not produce a figure that reads as an error code.
    c = std::nearbyint(c);
    if (c <= 0)
        return 0;
    if (c >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    return qint32(c);
}

double ParseNumber(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok); // QString::toDouble ignores the locale
    return ok && std::isfinite(v) ? v : 0;
}

double ScaledLevel(qint64 raw, const DeviceRecord &rec)
{
    if (raw < 0)
        return 0;
    const Scale s = scaleOf(rec.DezPunkt, rec.Einheit);
    if (!s.valid)
        return 0;
    if (s.decimals == 0)
        return double(raw * s.factor);
    return double(raw) / double(pow10(s.decimals));
}

QString ScaledLevelText(qint64 raw, const DeviceRecord &rec)
{
    if (raw < 0)
        return {};
    return numberText(raw, scaleOf(rec.DezPunkt, rec.Einheit));
}

int LevelDecimals(const DeviceRecord &rec)
{
    return scaleOf(rec.DezPunkt, rec.Einheit).decimals;
}

namespace
{
// Whole minutes since the epoch, rounded down also before 1970.
qint64 minuteIndex(const QDateTime &t)
{
    const qint64 s = t.toSecsSinceEpoch();
    return s >= 0 ? s / 60 : -((-s + 59) / 60);
}
} // namespace

qint64 ReadingAgeMinutes(const QDateTime &reading, const QDateTime &now)
{
    if (!reading.isValid())
        return std::numeric_limits<qint64>::max();
    // Both are naive local times; compare them as written.
    const QDateTime a(reading.date(), reading.time(), Qt::UTC);
    const QDateTime b(now.date(), now.time(), Qt::UTC);
    return minuteIndex(b) - minuteIndex(a);
}

bool IsSilent(qint64 ageMinutes, int hours)
{
    return hours > 0 && ageMinutes > qint64(hours) * 60;
}
