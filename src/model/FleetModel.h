#pragma once
#include "TankSnapshot.h"

#include "core/Clock.h"
#include "lang/Lng.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <functional>
#include <optional>

class TankController;
class TankSnapshots;

// "3 min ago" for a time, as of now; "never" without a time.
QString AgoText(const QDateTime &time, const QDateTime &now, const Texts &t);

// Every tank in one row: the fleet view's data, without widgets, read from
// the tanks' snapshots. Each cell has its text (DisplayRole), a value to sort
// by (SortRole: numbers sort as numbers; the state worst first, then by the
// days until empty), a tool tip (the content's: the
// consumption meter), and for the level the fill fraction of its bar.
class FleetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Number, Name, Content, Percent, Days, LastTelegram, State, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole + 1,
        FractionRole,  // Percent: 0..1 (more above full), -1 without a level
        ConditionRole, // every column: the tank's TankCondition as int
        DeviceRole,    // every column: the device number
    };

    // The rows follow the registered tanks; their cells the snapshots.
    FleetModel(const TankController &tanks, const TankSnapshots &snapshots, ClockFn clock, const Texts &texts,
               QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The name shown for tank n: its name, else "Tank n".
    QString tankName(int n) const;
    // The "ago" texts and the days move on with the clock: the owner calls this now and then.
    void refreshTimes();

private:
    void refreshRow(int n);
    QVariant display(int n, const TankSnapshot &s, int column) const;
    QVariant sortValue(int n, const TankSnapshot &s, int column) const;
    QVariant toolTip(int n, const TankSnapshot &s, int column) const;

    const TankController &tanks_;
    const TankSnapshots &snapshots_;
    ClockFn clock_;
    Texts texts_;
    int rows_ = 0;
};

// The fleet view's sorting and name filter over a FleetModel.
class FleetFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit FleetFilter(QObject *parent = nullptr);
    // Rows whose name contains text (any case); empty: all.
    void setNameFilter(const QString &text);

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;

private:
    QString filter_;
};
