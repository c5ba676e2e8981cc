#include "ConsumptionModel.h"

#include "lang/Lng.h"

#include <cmath>

ConsumptionModel::ConsumptionModel(const QLocale &locale, QObject *parent)
    : QAbstractTableModel(parent), locale_(locale)
{
}

void ConsumptionModel::setTable(const ConsumptionTable &table, const QString &unit)
{
    beginResetModel();
    table_ = table;
    unit_ = unit;
    endResetModel();
}

int ConsumptionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : table_.yearRows() + 1;
}

int ConsumptionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ConsumptionTable::kColumns;
}

QString ConsumptionModel::cellText(const ConsumptionTable::Cell &cell, int column, const QString &unit,
                                   const QLocale &locale)
{
    if (cell.kind == ConsumptionTable::Cell::Text)
        return cell.text;
    if (cell.kind == ConsumptionTable::Cell::Empty)
        return {};
    if (column == 1) // a year, not an amount
        return QString::number(qint64(cell.number));
    const QString number = locale.toString(qint64(std::round(cell.number)));
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

QVariant ConsumptionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int column = index.column() + 1;
    if (role == Qt::TextAlignmentRole)
        return int((column == 1 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return cellText(table_.cell(index.row() + 1, column), column, unit_, locale_);
}

QVariant ConsumptionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ConsumptionTable::kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    return LngText(365 + section); // "Jahr", "Jan".."Dez", "Summe"
}
