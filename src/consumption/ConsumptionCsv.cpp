#include "ConsumptionCsv.h"

#include "lang/Lng.h"

ConsumptionCsvTexts ConsumptionCsvTexts::forLocale(const QLocale &locale)
{
    ConsumptionCsvTexts t;
    t.year = LngText(359);
    t.total = LngText(360);
    for (int m = 1; m <= 12; ++m)
        t.months << locale.monthName(m, QLocale::ShortFormat);
    return t;
}

namespace
{
// A number as a print statement writes it: a blank for the sign when it is
// not negative, the digits, a trailing blank.
QString printForm(double v)
{
    const QString digits = QString::number(v, 'g', ConsumptionTable::kDigits);
    return (v < 0 ? QString() : QStringLiteral(" ")) + digits + QLatin1Char(' ');
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
} // namespace

QByteArray ConsumptionCsv(const QString &entryText, const ConsumptionTable &table,
                          const ConsumptionCsvTexts &texts)
{
    const QLatin1String eol("\r\n");
    QString out = entryText + eol + eol;
    for (int m = 1; m <= 12; ++m)
        out += QLatin1Char(',') + QString::number(m);
    out += QLatin1Char(',') + eol;
    out += texts.year;
    for (int m = 0; m < 12; ++m)
        out += QLatin1Char(',') + texts.months.value(m);
    out += QLatin1Char(',') + texts.total + eol;
    for (int row = 1; row <= table.yearRows() + 1; ++row) {
        for (int col = 1; col <= ConsumptionTable::kColumns; ++col) {
            if (col > 1)
                out += QLatin1Char(',');
            out += cellText(table.cell(row, col));
        }
        out += eol;
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + out.toUtf8();
}
