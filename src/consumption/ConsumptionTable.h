#pragma once
#include <QString>
#include <array>
#include <optional>
#include <vector>

class Texts;

// Monthly consumption as a table of years by months: year rows newest first,
// then the total row. Row totals and the overall total are summed with
// rounding after each addition (halves to even) to the decimals of the
// tanks' unit: whole numbers for litres and the like, the way the table has
// always shown them, and 0.001 m³ for a tank that reads 1.234 m³.
class ConsumptionTable
{
public:
    static constexpr int kColumns = 14; // year, January..December, row total
    // Significant digits the table's numbers are written with: enough for
    // any sum of levels, few enough to hide the noise of summing decimals.
    static constexpr int kDigits = 12;

    struct Cell {
        enum Kind { Empty, Number, Text } kind = Empty;
        double number = 0;
        QString text;
    };

    // The years oldestYear..newestYear, every month empty.
    ConsumptionTable(int newestYear = 0, int oldestYear = 0, int decimals = 0);

    int yearRows() const { return int(rows_.size()); }
    int newestYear() const { return newestYear_; }
    // Rows 1..yearRows() are the years, yearRows() + 1 the total row;
    // columns 1..14. Anything outside is empty.
    Cell cell(int row, int column, const Texts &texts) const;
    std::optional<double> month(int year, int month) const;
    double total() const { return total_; }
    int decimals() const { return decimals_; }

    // Adds to a month's cell and returns its new number. A year outside the
    // table adds rows (a history whose clock went back or ahead), so nothing
    // is lost and nothing is addressed outside the table.
    double add(int year, int month, double amount);
    // Row totals and the overall total; call after the last add().
    void computeTotals();

private:
    using Row = std::array<std::optional<double>, 12>;
    Row &rowOf(int year);

    int newestYear_;
    int decimals_;
    std::vector<Row> rows_; // rows_[0] is newestYear_
    std::vector<double> totals_;
    double total_ = 0;
};
