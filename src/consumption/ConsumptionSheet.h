#pragma once
#include "Consumption.h"

class Texts;

// The rows the consumption window and its CSV show: the groups one after the
// other, each with its year rows and its total row. With one group that is
// the table as it has always been; with several (all tanks of different
// units) each total row names its unit: "Summe L", "Summe m³", and a tank
// with a table of its own beside others of its unit: "Summe % · Tank 3".
class ConsumptionSheet
{
public:
    explicit ConsumptionSheet(std::vector<ConsumptionGroup> groups = {});

    int rowCount() const { return int(rows_.size()); }
    // Rows 1..rowCount(), columns 1..14 as in ConsumptionTable.
    ConsumptionTable::Cell cell(int row, int column, const Texts &texts) const;
    // The group a row belongs to (the first one for a row outside).
    const ConsumptionGroup &groupOf(int row) const;
    const std::vector<ConsumptionGroup> &groups() const { return groups_; }

private:
    struct Row {
        int group;
        int row; // in the group's table
    };
    std::vector<ConsumptionGroup> groups_;
    std::vector<Row> rows_;
};
