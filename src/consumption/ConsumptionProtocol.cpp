#include "ConsumptionProtocol.h"

#include "ConsumptionTable.h"
#include "core/Cp1252.h"
#include "core/SafeFile.h"
#include "model/DeviceRecord.h"

namespace
{
// The locale's short date and time, with the full year and the seconds.
QString generalDateTimeFormat(const QLocale &l)
{
    QString date = l.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString time = l.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1String("ss")))
        time.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return date + QLatin1Char(' ') + time;
}
} // namespace

ConsumptionProtocol::ConsumptionProtocol(const QString &path, const QLocale &locale)
    : path_(path), locale_(locale), timeFormat_(generalDateTimeFormat(locale))
{
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
}

QString ConsumptionProtocol::zoned(const QString &first, const QString &second, const QString &third)
{
    QString line = first + second;
    // Always at least one blank, so the items never run into each other.
    const qsizetype next = (line.size() / kZoneWidth + 1) * kZoneWidth;
    line += QString(next - line.size(), QLatin1Char(' '));
    return line + third;
}

QString ConsumptionProtocol::number(double v) const
{
    return locale_.toString(v, 'g', ConsumptionTable::kDigits);
}

QString ConsumptionProtocol::time(qint64 secs) const
{
    return locale_.toString(TankHistory::fromSecs(secs), timeFormat_);
}

QString ConsumptionProtocol::head(int tank, qint64 timeSecs) const
{
    return QStringLiteral("Tank:") + QString::number(tank) + QLatin1Char(' ') + time(timeSecs);
}

void ConsumptionProtocol::refuelling(int tank, qint64 timeSecs, double before, double after,
                                     double refuellingSum)
{
    write(zoned(head(tank, timeSecs),
                QStringLiteral(" Betankung von:") + number(before) + QStringLiteral(" --> ") + number(after),
                QStringLiteral("Summe Betankung = ") + number(refuellingSum)));
}

void ConsumptionProtocol::month(int tank, qint64 timeSecs, bool monthChange, double lastValue,
                                double cellNumber)
{
    const QString what =
        monthChange ? QStringLiteral(" Monatswechsel Volumen:") : QStringLiteral(" Letzter Monat Volumen:");
    write(zoned(head(tank, timeSecs), what + number(lastValue),
                QStringLiteral("Summe Verbrauch:") + number(cellNumber)));
    write(QString(29, QLatin1Char('-')));
}

void ConsumptionProtocol::write(const QString &line)
{
    bytes_ += Cp1252::encode(line) + "\r\n";
}

QString ConsumptionProtocol::close()
{
    QString error;
    if (!SafeFile::Replace(path_, bytes_, &error) && error.isEmpty())
        error = QStringLiteral("not written");
    return error;
}
