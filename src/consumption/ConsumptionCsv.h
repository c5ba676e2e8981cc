#pragma once
#include "Consumption.h"
#include "ConsumptionSheet.h"
#include "lang/Lng.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

// The header words of the export: "Jahr", the twelve short month names of
// the run's language and "Summe".
struct ConsumptionCsvTexts {
    QString year;
    QStringList months; // January..December
    QString total;
    Texts language; // the rows' own texts

    // The language's words and the month names of its locale.
    static ConsumptionCsvTexts forLanguage(const Texts &texts);
};

// The export file of a consumption table: the tank entry's text, an empty
// line, the month numbers, the header words, then one line per row of the
// sheet with its 14 cells (empty cells as nothing, numbers with a blank
// before and after). UTF-8 with a byte-order mark so spreadsheets detect it,
// "." as decimal point whatever the locale (a "," would split a cell), CR LF.
QByteArray ConsumptionCsv(const QString &entryText, const ConsumptionSheet &sheet,
                          const ConsumptionCsvTexts &texts);

// The export for scripts: a header line "tank,name,unit,year,month,consumption",
// then one line per tank and month, oldest first, from the month of its first
// history point to that of its last (a month without consumption has an
// empty field, as its cell in the table is empty).
// Plain numbers with "." decimals, names quoted where they need it, UTF-8
// without a byte-order mark, LF. groups: one per tank (ConsumptionRequest::perTank);
// tanks with fewer than 6 points, which have no consumption, have no lines.
QByteArray ConsumptionCsvLong(const DeviceTable &devices, const std::vector<ConsumptionGroup> &groups,
                              const Texts &texts);

enum class ConsumptionCsvFormat { Table, Long };

struct ConsumptionExportFile {
    QByteArray bytes;
    QString protocolError; // as ConsumptionResult's
};
// What an export of a selection writes in a format: the table as the window
// shows it, headed by the entry's text, or the long form of every tank in it.
// The request's perTank is set here.
ConsumptionExportFile ConsumptionExportBytes(const DeviceTable &devices, ConsumptionRequest request,
                                             ConsumptionCsvFormat format, const QString &entryText,
                                             const ConsumptionCsvTexts &texts);
