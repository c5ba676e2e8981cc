#pragma once
#include "ConsumptionTable.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

// The header words of the export: "Jahr", the twelve short month names of
// the system language and "Summe".
struct ConsumptionCsvTexts {
    QString year;
    QStringList months; // January..December
    QString total;

    // The language's words and the locale's month names.
    static ConsumptionCsvTexts forLocale(const QLocale &locale);
};

// The export file of a consumption table: the tank entry's text, an empty
// line, the month numbers, the header words, then one line per table row
// with its 14 cells (empty cells as nothing, numbers with a blank before and
// after). UTF-8 with a byte-order mark so spreadsheets detect it, "." as
// decimal point whatever the locale (a "," would split a cell), CR LF.
QByteArray ConsumptionCsv(const QString &entryText, const ConsumptionTable &table,
                          const ConsumptionCsvTexts &texts);
