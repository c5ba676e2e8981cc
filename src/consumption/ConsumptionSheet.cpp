#include "ConsumptionSheet.h"

#include "lang/Lng.h"

#include <algorithm>

ConsumptionSheet::ConsumptionSheet(std::vector<ConsumptionGroup> groups) : groups_(std::move(groups))
{
    if (groups_.empty())
        groups_.emplace_back();
    for (size_t g = 0; g < groups_.size(); ++g)
        for (int r = 1; r <= groups_[g].table.yearRows() + 1; ++r)
            rows_.push_back({int(g), r});
}

const ConsumptionGroup &ConsumptionSheet::groupOf(int row) const
{
    if (row < 1 || row > rowCount())
        return groups_.front();
    return groups_[size_t(rows_[size_t(row - 1)].group)];
}

ConsumptionTable::Cell ConsumptionSheet::cell(int row, int column, const Texts &texts) const
{
    if (row < 1 || row > rowCount())
        return {};
    const Row &r = rows_[size_t(row - 1)];
    const ConsumptionGroup &group = groups_[size_t(r.group)];
    ConsumptionTable::Cell c = group.table.cell(r.row, column, texts);
    if (groups_.size() > 1 && c.kind == ConsumptionTable::Cell::Text && !group.unit.isEmpty()) {
        c.text += QLatin1Char(' ') + group.unit;
        // A tank with a table of its own beside others of its unit is named.
        const bool shared = std::count_if(groups_.begin(), groups_.end(), [&](const ConsumptionGroup &g) {
                                return g.unit == group.unit;
                            }) > 1;
        if (shared && group.tanks.size() == 1)
            c.text += QStringLiteral(" \u00b7 ") + texts(364) + QLatin1Char(' ') +
                      QString::number(group.tanks.front());
    }
    return c;
}
