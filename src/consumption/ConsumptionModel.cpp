#include "ConsumptionModel.h"

#include "lang/Lng.h"

#include <cmath>

ConsumptionModel::ConsumptionModel(const Texts &texts, QObject *parent)
    : QAbstractTableModel(parent), texts_(texts), locale_(texts.locale())
{
}

void ConsumptionModel::setSheet(ConsumptionSheet sheet)
{
    beginResetModel();
    sheet_ = std::move(sheet);
    endResetModel();
}

int ConsumptionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : sheet_.rowCount();
}

int ConsumptionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ConsumptionTable::kColumns;
}

QString ConsumptionModel::cellText(const ConsumptionTable::Cell &cell, int column, const QString &unit,
                                   int decimals, const QLocale &locale)
{
    if (cell.kind == ConsumptionTable::Cell::Text)
        return cell.text;
    if (cell.kind == ConsumptionTable::Cell::Empty)
        return {};
    if (column == 1) // a year, not an amount
        return QString::number(qint64(cell.number));
    const QString number = decimals > 0 ? locale.toString(cell.number, 'f', decimals)
                                        : locale.toString(qint64(std::round(cell.number)));
    // The unit with the totals only: the months stay narrow enough for the
    // whole year and its total on a small screen.
    return unit.isEmpty() || column != ConsumptionTable::kColumns ? number : number + QLatin1Char(' ') + unit;
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
    const ConsumptionGroup &group = sheet_.groupOf(index.row() + 1);
    return cellText(sheet_.cell(index.row() + 1, column, texts_), column, group.unit, group.table.decimals(),
                    locale_);
}

QVariant ConsumptionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ConsumptionTable::kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    return texts_(365 + section); // "Jahr", "Jan".."Dez", "Summe"
}
