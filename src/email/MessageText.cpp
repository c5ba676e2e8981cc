#include "MessageText.h"

#include "core/TextHelpers.h"
#include "lang/Lng.h"
#include "model/Figures.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace
{

const QString kCrLf = QStringLiteral("\r\n");
const char *const kMakerWebAddress = "www.valmor.example";
constexpr int kPartnerWebAddressText = 274;

// One code of the subject template with its placeholder texts and its value.
struct SubjectCode {
    const char *code;
    int displayText; // 0: the literal "<>"
    int inputText;
};

// The order is the order of replacement.
const SubjectCode kCodes[] = {
    {"%01", 87, 102},  {"%02", 88, 103},  {"%03", 89, 104},  {"%04", 90, 105}, {"%05", 91, 106},
    {"%06", 0, 0},     {"%07", 92, 107},  {"%08", 126, 127}, {"%09", 93, 108}, {"%10", 94, 109},
    {"%11", 95, 110},  {"%12", 96, 111},  {"%13", 97, 112},  {"%14", 98, 113}, {"%15", 99, 114},
    {"%16", 123, 124}, {"%20", 100, 115}, {"%21", 101, 116},
};

QString placeholder(int textId, const Texts &texts)
{
    return textId ? texts(textId) : QStringLiteral("<>");
}

QString codeValue(const QString &code, int tank, const DeviceRecord &rec, const CustomerFields &c,
                  const QLocale &locale, const Texts &texts)
{
    const int n = code.mid(1).toInt();
    switch (n) {
    case 1:
        return c.kundenname;
    case 2:
        return c.telefon;
    case 3:
        return c.strasse;
    case 4:
        return c.ort;
    case 5:
        return c.bemerkung;
    case 6:
        return {};
    case 7:
        return QString::number(rec.SN);
    case 8:
        return rec.Tankbezeichnung;
    case 9:
        return FormatValue(rec.Volumen, rec, texts);
    case 10:
        return FormatValue(rec.Tankvolumen, rec, texts);
    case 11:
        return QString::number(rec.Tankhoehe) + QStringLiteral("mm");
    case 12:
        return TankTypeName(rec, texts);
    case 13:
        return PercentText(rec);
    case 14:
        return MeasurementTimeText(rec.Uhrzeit, locale);
    case 15:
        return QString::number(tank);
    case 16:
        return QString::number(rec.Temperatur);
    case 20:
        return texts(117);
    case 21:
        return texts(118);
    }
    return {};
}

const DeviceRecord &recordOf(const DeviceTable &devices, int tank)
{
    static const DeviceRecord kEmpty;
    return tank >= 1 && tank <= kMaxDevices ? devices[tank] : kEmpty;
}

// The reason text of a message about the tank.
QString reasonOf(int reason, const DeviceRecord &rec, const QDateTime &now, const Texts &texts)
{
    return ReasonText(reason, texts, std::clamp<qint64>(ReadingAgeMinutes(rec.Uhrzeit, now) / 60, 0, 999999));
}

// The text followed by w blanks, then its first w characters.
QString padded(const QString &text, int w)
{
    return (text + QString(w, QLatin1Char(' '))).left(w);
}

// w blanks followed by the text, then its last w characters.
QString rightAligned(const QString &text, int w)
{
    return (QString(w, QLatin1Char(' ')) + text).right(w);
}

QString trimmedRight(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

// A figure as plain number text ("1.25", "9999000").
QString plainNumber(double v)
{
    return QString::number(v, 'g', 15);
}

QString figureWithUnit(double v, int unit)
{
    return plainNumber(v) + QLatin1Char(' ') + UnitSymbol(unit);
}

QString dashes()
{
    return QString(80, QLatin1Char('-')) + kCrLf;
}

} // namespace

QString ReasonText(int reason, const Texts &texts, qint64 silentHours)
{
    static const int kTextOf[] = {25, 18, 19, 23, 24, 20, 21, 410, 411, 1100, 1106};
    if (reason < 0 || reason > ReasonLossEnd)
        return texts(22);
    if (reason == ReasonSilent)
        return FormatText(texts(410), {QString::number(silentHours)});
    return texts(kTextOf[reason]);
}

namespace
{

// A code without a value goes with one separator beside it, so an empty
// customer field leaves no ", , " in the subject.
void replaceCode(QString &s, const QString &code, const QString &value)
{
    if (!value.isEmpty()) {
        s.replace(code, value);
        return;
    }
    const QString c = QRegularExpression::escape(code), sep = QStringLiteral("\\s*[,;/|]\\s*");
    for (const QString &pattern : {c + sep, sep + c, c})
        s.remove(QRegularExpression(pattern));
    s = s.trimmed();
}

} // namespace

QString ExpandSubject(int tank, const QString &tmpl, int mode, const DeviceTable &devices,
                      const CustomerFields &customer, const QLocale &locale, const Texts &texts)
{
    if (mode < SubjectToPlaceholders || mode > SubjectToValues)
        return tmpl;
    const DeviceRecord &rec = recordOf(devices, tank);
    QString s = tmpl;
    for (const SubjectCode &c : kCodes) {
        const QString code = QString::fromLatin1(c.code);
        switch (mode) {
        case SubjectToPlaceholders:
            s.replace(code, placeholder(c.displayText, texts));
            break;
        case SubjectToCodes: {
            const QString p = placeholder(c.inputText, texts);
            if (!p.isEmpty())
                s.replace(p, code);
            break;
        }
        case SubjectToValues:
            if (s.contains(code))
                replaceCode(s, code, codeValue(code, tank, rec, customer, locale, texts));
            break;
        }
    }
    return s;
}

QString MeasurementTimeText(const QDateTime &t, const QLocale &locale)
{
    // Our times carry no zone; the zone part of the long format would print "UTC".
    static const QRegularExpression zone(QStringLiteral("\\s*(?<![A-Za-z'])t+(?![A-Za-z'])\\s*"));
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.replace(zone, QStringLiteral(" "));
    const QString text = locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         locale.toString(t.time(), timeFormat.trimmed());
    return text.trimmed();
}

bool IsMeasurementStale(const QDateTime &t, const QDateTime &now)
{
    if (!t.isValid() || !now.isValid())
        return true;
    return t.secsTo(now) / 60 > 60;
}

QString VersionLine(const QString &programTitle, int major, int minor, int revision)
{
    QString s = programTitle + QStringLiteral(" V") + QString::number(major) + QLatin1Char('.') +
                QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0'));
    if (revision != 0)
        s += QLatin1Char('.') + QStringLiteral("%1").arg(revision, 2, 10, QLatin1Char('0'));
    return s;
}

QString EmailSubject(int tank, int reason, const QString &templateCodes, const DeviceTable &devices,
                     const MessageContext &ctx)
{
    return reasonOf(reason, recordOf(devices, tank), ctx.now, ctx.texts) + QStringLiteral(" : ") +
           ExpandSubject(tank, templateCodes, SubjectToValues, devices, ctx.customer, ctx.locale, ctx.texts);
}

QString EmailBody(int tank, int reason, const DeviceTable &devices, const QList<bool> &selected,
                  const MessageContext &ctx)
{
    const int count = std::clamp(devices.DeviceCount, 0, kMaxDevices);

    // Litres and cubic metres add up in litres; any other mix has no sum.
    bool litres = false, cubicMetres = false;
    for (int k = 1; k <= count; ++k) {
        litres |= devices[k].Einheit == 0;
        cubicMetres |= devices[k].Einheit == 1;
    }
    const bool mixed = litres && cubicMetres;
    int sumUnit = devices[1].Einheit;
    if (sumUnit == 1 && mixed)
        sumUnit = 0;
    bool withSum = true;
    for (int k = 1; k <= count; ++k) {
        const int unit = mixed && devices[k].Einheit == 1 ? 0 : devices[k].Einheit;
        withSum &= unit == sumUnit;
    }

    QString b = ctx.versionLine + kCrLf + kCrLf;

    const CustomerFields &c = ctx.customer;
    const std::pair<int, const QString *> customerLines[] = {
        {152, &c.kundenname}, {151, &c.strasse}, {150, &c.ort}, {149, &c.telefon}, {148, &c.bemerkung}};
    for (const auto &[label, text] : customerLines)
        b += trimmedRight(padded(ctx.texts(label), 25) + *text) + kCrLf;
    b += kCrLf;

    const DeviceRecord &rec = recordOf(devices, tank);
    b += padded(rec.Tankbezeichnung + QLatin1Char(':'), 25) + reasonOf(reason, rec, ctx.now, ctx.texts) +
         kCrLf;
    b += padded(ctx.texts(129), 25) + trimmedRight(MeasurementTimeText(rec.Uhrzeit, ctx.locale)) + kCrLf;
    b += kCrLf;

    b += QStringLiteral("    ") + padded(ctx.texts(130), 13) + QLatin1Char(' ') + padded(ctx.texts(131), 10) +
         QLatin1Char(' ') + padded(ctx.texts(128), 4) + QStringLiteral("  ") + QString(18, QLatin1Char(' ')) +
         QLatin1Char(' ') + padded(QStringLiteral(" SN"), 5) + QStringLiteral("  ") +
         padded(ctx.texts(132), 19) + kCrLf;
    b += dashes();

    double contentSum = 0, volumeSum = 0;
    for (int pos = 0; pos < count && pos < selected.size(); ++pos) {
        if (!selected[pos])
            continue;
        const DeviceRecord &r = devices[pos + 1];
        const double toSum = mixed && r.Einheit == 1 ? 1000 : 1;
        QString row = (QString::number(pos + 1) + QStringLiteral(":  ")).left(3);
        if (r.Volumen < 0) {
            // A device error code, as the device shows it.
            row += rightAligned(QString::number(-qint64(r.Volumen), 16).toUpper(), 9);
            withSum = false;
        } else {
            const double content = ScaledLevel(r.Volumen, r);
            row += rightAligned(figureWithUnit(content, r.Einheit), 9);
            contentSum += content * toSum;
        }
        row +=
            QLatin1Char(' ') +
            rightAligned(IsMeasurementStale(r.Uhrzeit, ctx.now) ? QStringLiteral("?%") : PercentText(r), 4);
        const double volume = ScaledLevel(r.Tankvolumen, r);
        volumeSum += volume * toSum;
        row += rightAligned(figureWithUnit(volume, r.Einheit), 10);
        row += QLatin1Char(' ') + (r.Temperatur == kNoTemperature
                                       ? QString(4, QLatin1Char(' '))
                                       : rightAligned(QString::number(r.Temperatur) + QLatin1Char('C'), 4));
        row += QStringLiteral("  ") + padded(r.Tankbezeichnung, 18) + QLatin1Char(' ') +
               rightAligned(QString::number(r.SN), 5) + QStringLiteral("  ") +
               trimmedRight(MeasurementTimeText(r.Uhrzeit, ctx.locale));
        b += row + kCrLf;
    }
    b += kCrLf;

    if (withSum) {
        const double percent = contentSum / (volumeSum == 0 ? 1 : volumeSum) * 100;
        b += dashes();
        b += rightAligned(figureWithUnit(contentSum, sumUnit), 12) + QLatin1Char(' ') +
             rightAligned(QString::number(qint64(std::round(percent))) + QLatin1Char('%'), 4) +
             rightAligned(figureWithUnit(volumeSum, sumUnit), 10) + kCrLf + kCrLf;
    }

    b += ctx.partnerBranding
             ? QStringLiteral("ARV-VALMOR Electronics  ") + ctx.texts(kPartnerWebAddressText)
             : QStringLiteral("VALMOR GmbH & Co.KG  ") + QString::fromLatin1(kMakerWebAddress);
    b += kCrLf + kCrLf;
    return b;
}
