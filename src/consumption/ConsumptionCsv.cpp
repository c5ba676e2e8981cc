#include "ConsumptionCsv.h"

#include "ConsumptionSelection.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <algorithm>

ConsumptionCsvTexts ConsumptionCsvTexts::forLanguage(const Texts &texts)
{
    ConsumptionCsvTexts t;
    t.year = texts(359);
    t.total = texts(360);
    t.language = texts;
    // The months as the table's columns name them.
    for (int m = 1; m <= 12; ++m)
        t.months << texts(365 + m);
    return t;
}

namespace
{
QString plainNumber(double v)
{
    return QString::number(v, 'g', ConsumptionTable::kDigits);
}

// A number as a print statement writes it: a blank for the sign when it is
// not negative, the digits, a trailing blank.
QString printForm(double v)
{
    return (v < 0 ? QString() : QStringLiteral(" ")) + plainNumber(v) + QLatin1Char(' ');
}

QString cellText(const ConsumptionTable::Cell &c)
{
    switch (c.kind) {
    case ConsumptionTable::Cell::Number:
        return printForm(c.number);
    case ConsumptionTable::Cell::Text:
        return c.text;
    default:
        return {};
    }
}

// A field in quotes when it holds a separator, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QByteArray ConsumptionCsv(const QString &entryText, const ConsumptionSheet &sheet,
                          const ConsumptionCsvTexts &texts)
{
    const QLatin1String eol("\r\n");
    // The unit of a table of one unit stands with its title; several name theirs in their total rows.
    const QString unit = sheet.groups().size() == 1 ? sheet.groups().front().unit : QString();
    QString out =
        entryText + (unit.isEmpty() ? QString() : QStringLiteral(" (") + unit + QLatin1Char(')')) + eol + eol;
    for (int m = 1; m <= 12; ++m)
        out += QLatin1Char(',') + QString::number(m);
    out += QLatin1Char(',') + eol;
    out += texts.year;
    for (int m = 0; m < 12; ++m)
        out += QLatin1Char(',') + texts.months.value(m);
    out += QLatin1Char(',') + texts.total + eol;
    for (int row = 1; row <= sheet.rowCount(); ++row) {
        for (int col = 1; col <= ConsumptionTable::kColumns; ++col) {
            if (col > 1)
                out += QLatin1Char(',');
            out += cellText(sheet.cell(row, col, texts.language));
        }
        out += eol;
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + out.toUtf8();
}

QByteArray ConsumptionCsvLong(const DeviceTable &devices, const std::vector<ConsumptionGroup> &groups,
                              const Texts &texts)
{
    QString out = QStringLiteral("tank,name,unit,year,month,consumption\n");
    for (const ConsumptionGroup &g : groups) {
        if (g.tanks.size() != 1 || g.firstMonth < 0 || devices[g.tanks.front()].History.count() < 6)
            continue;
        const int d = g.tanks.front();
        const QString head = QString::number(d) + QLatin1Char(',') +
                             csvField(ConsumptionTankName(devices[d], texts)) + QLatin1Char(',') +
                             csvField(g.unit) + QLatin1Char(',');
        // A clock that went back may have put consumption outside the
        // points' first and last month: those months are written too.
        int from = g.firstMonth, to = g.lastMonth;
        const int newest = g.table.newestYear();
        for (int y = newest - g.table.yearRows() + 1; y <= newest; ++y)
            for (int m = 1; m <= 12; ++m)
                if (g.table.month(y, m)) {
                    from = std::min(from, MonthIndex(y, m));
                    to = std::max(to, MonthIndex(y, m));
                }
        for (int i = from; i <= to; ++i) {
            const int year = i / 12, month = i % 12 + 1;
            // A month without consumption stays empty, as in the table.
            const std::optional<double> used = g.table.month(year, month);
            out += head + QString::number(year) + QLatin1Char(',') + QString::number(month) +
                   QLatin1Char(',') + (used ? plainNumber(*used) : QString()) + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}

ConsumptionExportFile ConsumptionExportBytes(const DeviceTable &devices, ConsumptionRequest request,
                                             ConsumptionCsvFormat format, const QString &entryText,
                                             const ConsumptionCsvTexts &texts)
{
    request.perTank = format == ConsumptionCsvFormat::Long;
    ConsumptionResult r = ComputeConsumption(devices, request);
    if (format == ConsumptionCsvFormat::Long)
        return {ConsumptionCsvLong(devices, r.groups, texts.language), r.protocolError};
    return {ConsumptionCsv(entryText, ConsumptionSheet(std::move(r.groups)), texts), r.protocolError};
}
