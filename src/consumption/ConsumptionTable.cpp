#include "ConsumptionTable.h"

#include "lang/Lng.h"

#include <algorithm>
#include <cmath>

namespace
{
// Running sums as the table shows them: rounded to the unit's decimals after
// every addition, halves to the even neighbour (the default rounding mode).
double addRounded(double sum, double x, int decimals)
{
    if (decimals <= 0)
        return std::nearbyint(sum + x);
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint((sum + x) * scale) / scale;
}
} // namespace

ConsumptionTable::ConsumptionTable(int newestYear, int oldestYear, int decimals)
    : newestYear_(newestYear), decimals_(decimals), rows_(size_t(std::max(0, newestYear - oldestYear + 1)))
{
    computeTotals();
}

ConsumptionTable::Row &ConsumptionTable::rowOf(int year)
{
    if (year > newestYear_) {
        rows_.insert(rows_.begin(), size_t(year - newestYear_), Row{});
        newestYear_ = year;
    }
    const size_t r = size_t(newestYear_ - year);
    if (r >= rows_.size())
        rows_.resize(r + 1);
    return rows_[r];
}

double ConsumptionTable::add(int year, int month, double amount)
{
    std::optional<double> &c = rowOf(year)[size_t(month - 1)];
    c = c.value_or(0) + amount;
    return *c;
}

void ConsumptionTable::computeTotals()
{
    totals_.assign(rows_.size(), 0);
    total_ = 0;
    for (size_t r = 0; r < rows_.size(); ++r) {
        double sum = 0;
        for (const std::optional<double> &c : rows_[r])
            sum = addRounded(sum, c.value_or(0), decimals_);
        totals_[r] = sum;
        total_ = addRounded(total_, sum, decimals_);
    }
}

std::optional<double> ConsumptionTable::month(int year, int month) const
{
    const int r = newestYear_ - year;
    if (r < 0 || r >= yearRows() || month < 1 || month > 12)
        return std::nullopt;
    return rows_[size_t(r)][size_t(month - 1)];
}

ConsumptionTable::Cell ConsumptionTable::cell(int row, int column, const Texts &texts) const
{
    Cell c;
    if (column < 1 || column > kColumns || row < 1 || row > yearRows() + 1)
        return c;
    if (row == yearRows() + 1) {
        if (column == 1) {
            c.kind = Cell::Text;
            c.text = texts(355);
        } else if (column == kColumns) {
            c.kind = Cell::Number;
            c.number = total_;
        }
        return c;
    }
    const size_t r = size_t(row - 1);
    if (column == 1) {
        c.kind = Cell::Number;
        c.number = newestYear_ - int(r);
    } else if (column == kColumns) {
        c.kind = Cell::Number;
        c.number = totals_[r];
    } else if (const std::optional<double> &m = rows_[r][size_t(column - 2)]) {
        c.kind = Cell::Number;
        c.number = *m;
    }
    return c;
}
