#pragma once
#include "TankSnapshot.h"

#include "core/Clock.h"
#include "lang/Lng.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <functional>
#include <optional>
#include <vector>

class SiteTanks;
class TankController;
class TankSnapshots;

// "3 min ago" for a time, as of now; "never" without a time.
QString AgoText(const QDateTime &time, const QDateTime &now, const Texts &t);

// Every tank in one row: the fleet view's data, without widgets, read from
// the tanks' snapshots: this installation's own first, then those of the
// remote sites a central installation watches (their site in a column). Each cell has its text (DisplayRole),
// a value to sort by (SortRole: numbers sort as numbers; the state worst first, then by the days until
// empty), a tool tip (the content's: the consumption meter), and for the level the fill fraction of its bar.
class FleetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Number, Name, Content, Percent, Days, LastTelegram, State, Site, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole + 1,
        FractionRole,  // Percent: 0..1 (more above full), -1 without a level
        ConditionRole, // every column: the tank's TankCondition as int
        DeviceRole,    // every column: the device number
        SiteRole,      // every column: the tank's site ("" for this installation's own)
    };

    // The rows follow the registered tanks; their cells the snapshots.
    FleetModel(const TankController &tanks, const TankSnapshots &snapshots, ClockFn clock, const Texts &texts,
               QObject *parent = nullptr);
    // The remote sites' tanks alone (a centre without local devices).
    FleetModel(const SiteTanks &sites, ClockFn clock, const Texts &texts, QObject *parent = nullptr);
    // The remote sites' tanks after the local ones, following the store's changes.
    void setSites(const SiteTanks *sites);
    bool hasSites() const { return sites_ != nullptr; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The name shown for tank n: its name, else "Tank n".
    QString tankName(int n) const;
    // The "ago" texts and the days move on with the clock: the owner calls this now and then.
    void refreshTimes();

    // The snapshot shown in a row.
    TankSnapshotPtr snapshotAt(int row) const;
    // Without a copy of the pointer: for the filter's loops over every row.
    const TankSnapshot &snapshotRef(int row) const;
    // The row's sort value in column as a number, or in *text for a text
    // column, the days counted from now (the clock read once for all rows).
    double sortKey(int row, int column, QString *text, const QDateTime &now) const;
    QDateTime now() const { return clock_(); }

    // Changed remote rows up to this many are announced row by row (a view
    // moves just those); more in one batch as one change of the order.
    static constexpr int kRowByRow = 128;

private:
    void refreshRow(int n);
    void sitesChanged(const std::vector<int> &rows, int firstNew);
    QString shownName(const TankSnapshot &s) const;
    QVariant display(int n, const TankSnapshot &s, int column) const;
    QVariant sortValue(int n, const TankSnapshot &s, int column, const QDateTime &now) const;
    QVariant toolTip(const TankSnapshot &s, int column) const;

    const TankController *tanks_ = nullptr;
    const TankSnapshots *snapshots_ = nullptr;
    const SiteTanks *sites_ = nullptr;
    ClockFn clock_;
    Texts texts_;
    int rows_ = 0;       // the local tanks
    int remoteRows_ = 0; // the remote tanks after them
};

// The fleet view's sorting and filters over a FleetModel: by name, by site
// and to the tanks that need attention. A sort computes each row's key once
// and compares those, so tens of thousands of rows sort in milliseconds.
class FleetFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit FleetFilter(QObject *parent = nullptr);
    // Rows whose name contains text (any case); empty: all.
    void setNameFilter(const QString &text);
    // Rows of this site only ("local": this installation's own); empty: all.
    void setSiteFilter(const QString &site);
    // Only the tanks whose state is not ok.
    void setAttentionOnly(bool on);
    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString filter_;
    QString site_;
    bool attention_ = false;
    void keysChanged(int first, int last);
    // Each source row's sort key in the sort column, made at the first
    // comparison and kept current row by row (keyColumn_ -1: none made).
    mutable int keyColumn_ = -1;
    mutable std::vector<double> numberKeys_;
    mutable std::vector<QString> textKeys_;
    QList<QMetaObject::Connection> watching_;
};
