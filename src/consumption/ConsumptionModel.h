#pragma once
#include "ConsumptionTable.h"

#include <QAbstractTableModel>
#include <QLocale>

// The consumption table as the table view reads it, cell by cell on demand:
// the year rows newest first, then the total row; 14 columns with the
// captions "Jahr", the twelve months and "Summe".
class ConsumptionModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ConsumptionModel(const QLocale &locale, QObject *parent = nullptr);

    // A new table; unit is the short unit the numbers carry ("" for none).
    void setTable(const ConsumptionTable &table, const QString &unit);
    const ConsumptionTable &table() const { return table_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A cell's text: whole numbers with the locale's grouping and the unit
    // ("1.234 L"), the year as a plain year, texts and empty cells unchanged.
    static QString cellText(const ConsumptionTable::Cell &cell, int column, const QString &unit,
                            const QLocale &locale);

private:
    ConsumptionTable table_;
    QString unit_;
    QLocale locale_;
};
