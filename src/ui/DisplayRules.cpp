#include "DisplayRules.h"

#include "consumption/Forecast.h"
#include "core/TextHelpers.h"
#include "lang/AccessKeys.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace DisplayRules
{

bool IsOld(qint64 ageMinutes)
{
    return ageMinutes > 60;
}
bool IsStale(qint64 ageMinutes)
{
    return IsSilent(ageMinutes, kStaleHours);
}

QColor NormalColour()
{
    return QColor(0, 0, 0);
}
QColor OldColour()
{
    return QColor(0x80, 0x80, 0x80);
}
QColor OldTimeColour()
{
    return QColor(0xff, 0, 0);
}

int OverviewTab(int device)
{
    return (device - 1) / 4 + 1;
}

QString OverviewTabCaption(const Texts &t, int tab, int lastDevice)
{
    const int first = 4 * tab - 3;
    QString caption = t(282) + QString::number(first);
    if (lastDevice != first)
        caption += QLatin1Char('-') + QString::number(lastDevice);
    return caption;
}

int TabsPerRow(int overviewTabs)
{
    return overviewTabs < 5 ? overviewTabs + 1 : 5;
}

int OverviewColumns(int width, int entryWidth, int gap)
{
    return std::clamp((width + gap) / std::max(1, entryWidth + gap), 1, 4);
}

QString WaitingText(const Texts &t, const QStringList &links)
{
    QString text = FormatText(t(268), {t.deviceName()});
    for (const QString &l : links)
        text += QLatin1Char('\n') + l;
    return text;
}

QString EmptyProgramText(const Texts &t)
{
    const auto plain = [&t](int id) { return t(id).remove(QLatin1Char('&')); };
    const QString arrow = QStringLiteral(" \u203A ");
    return FormatText(t(905), {plain(317) + arrow + plain(318)}) + QStringLiteral("\n") +
           FormatText(t(906), {plain(318), plain(322) + arrow + plain(323)});
}

TankPicture::Shape TankShapeOf(const DeviceRecord &rec)
{
    using S = TankPicture::Shape;
    switch (rec.Tanktyp + (rec.Geraetetyp < 7 ? 0 : 10)) {
    case 2: // horizontal cylinder
    case 12:
        return S::Lying;
    case 3: // sphere
    case 13:
        return S::Sphere;
    case 4: // batteries
    case 15:
    case 16:
        return S::Battery;
    case 5: // oval
    case 14:
        return S::Oval;
    case 7: // half-round cistern
        return S::Cistern;
    default: // linear, hollowed, plastic, large cylinder, unknown
        return S::Standing;
    }
}

QString TemperatureText(qint16 temperatur)
{
    if (temperatur == kNoTemperature)
        return {};
    return QString::number(temperatur) + QStringLiteral(" °C");
}

QString DetailCaption(const QString &valueText, qint16 temperatur, const QString &programTitle)
{
    QString caption = valueText;
    if (temperatur != kNoTemperature)
        caption += QStringLiteral(" / ") + TemperatureText(temperatur);
    return caption + QStringLiteral("  ") + programTitle;
}

QString GeneralDateTimeText(const Texts &texts, const QDateTime &t)
{
    if (!t.isValid())
        return {};
    // In the run's language, as every other text of the window.
    const QLocale loc = texts.locale();
    // The long time format carries the seconds, but also a time zone we do
    // not have: the readings are naive local times.
    QString timeFormat = loc.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return loc.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           loc.toString(t.time(), timeFormat);
}

QString SelectorText(int device, qint32 sn)
{
    return QString::number(device) + QStringLiteral(" / SN") + QString::number(sn);
}

namespace
{
// The text whose word for "days" agrees with n: 401 for the singular
// form, 403 for Romanian's plural with "de" (20 and on, less its last two
// digits below 20), 402 for every other plural.
int dayFormTextId(int lng, qint64 n)
{
    const qint64 last2 = n % 100;
    const bool one = lng == 4   ? n <= 1                     // French: 0 and 1
                     : lng == 8 ? n % 10 == 1 && last2 != 11 // Croatian: 1, 21, 31, ...
                                : n == 1;
    if (one)
        return 401;
    return lng == 9 && n > 0 && (last2 == 0 || last2 >= 20) ? 403 : 402;
}
} // namespace

QString ForecastText(const Texts &t, const std::optional<EmptyForecast> &forecast, bool empty)
{
    if (!forecast)
        return {};
    // An empty tank is empty, not "about 0 days" until a date gone by; one
    // emptying within hours still has its day. A date gone by while the tank
    // still reads some content is no forecast: never "Empty" beside litres.
    if (empty)
        return t(1400);
    if (forecast->days <= 0)
        return {};
    const qint64 days = std::max<qint64>(1, std::llround(forecast->days));
    return FormatText(
        t(dayFormTextId(t.lngId(), days)),
        {QString::number(days), t.locale().toString(forecast->emptyAt.date(), QLocale::ShortFormat)});
}

QString StaleWarningText(const Texts &t)
{
    return t(283) + QStringLiteral("\r\n") + t(284);
}

QString ReceptionProgressTip(const Texts &t, double elapsed, double limit)
{
    return FormatText(t(260), {t.deviceName()}) +
           QStringLiteral(": %1 / %2 s\n→ ").arg(qRound(elapsed)).arg(qRound(limit)) +
           WithoutAccessKey(t(317)) + QStringLiteral(" › ") + t(318);
}

} // namespace DisplayRules
