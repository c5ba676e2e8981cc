#pragma once
#include "ConsumptionSheet.h"
#include "lang/Lng.h"

#include <QAbstractTableModel>
#include <QLocale>

// The consumption table as the table view reads it, cell by cell on demand:
// the rows of the sheet (each unit's year rows newest first, then its total
// row); 14 columns with the captions "Jahr", the twelve months and "Summe".
class ConsumptionModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ConsumptionModel(const Texts &texts, QObject *parent = nullptr);

    // A new sheet: each row's numbers carry its group's unit and decimals.
    void setSheet(ConsumptionSheet sheet);
    const ConsumptionSheet &sheet() const { return sheet_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A cell's text: the number with the locale's grouping, rounded to the
    // given decimals, and the unit ("1.234 L", "0,267 m³"); the year as a
    // plain year, texts and empty cells unchanged.
    static QString cellText(const ConsumptionTable::Cell &cell, int column, const QString &unit, int decimals,
                            const QLocale &locale);

private:
    ConsumptionSheet sheet_;
    Texts texts_;
    QLocale locale_;
};
