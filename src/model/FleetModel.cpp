#include "FleetModel.h"

#include "ConditionLook.h"
#include "Figures.h"
#include "SiteTanks.h"
#include "TankController.h"
#include "TankSnapshots.h"

#include "core/RunSwitches.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// Sort keys of what has no value: after every real value when ascending.
constexpr double kNoValue = std::numeric_limits<double>::max();

QString fullTime(const QDateTime &t, const QLocale &loc)
{
    if (!t.isValid())
        return {};
    return loc.toString(t.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           loc.toString(t.time(), QStringLiteral("HH:mm:ss"));
}
} // namespace

QString AgoText(const QDateTime &time, const QDateTime &now, const Texts &t)
{
    if (!time.isValid())
        return t(828);
    const qint64 minutes = time.secsTo(now) / 60;
    if (minutes < 1)
        return t(823);
    if (minutes < 60)
        return FormatText(t(824), {QString::number(minutes)});
    const qint64 hours = minutes / 60;
    if (hours < 48)
        return FormatText(t(825), {QString::number(hours)});
    const qint64 days = hours / 24;
    return FormatText(t(827), {QString::number(days)});
}

FleetModel::FleetModel(const TankController &tanks, const TankSnapshots &snapshots, ClockFn clock,
                       const Texts &texts, QObject *parent)
    : QAbstractTableModel(parent), tanks_(&tanks), snapshots_(&snapshots), clock_(std::move(clock)),
      texts_(texts), rows_(tanks.DeviceCount())
{
    auto reset = [this] {
        beginResetModel();
        rows_ = tanks_->DeviceCount();
        endResetModel();
    };
    connect(tanks_, &TankController::deviceAdded, this, [this, reset](int n) {
        if (n == rows_ + 1) {
            beginInsertRows({}, rows_, rows_);
            rows_ = n;
            endInsertRows();
        } else if (n > rows_) {
            reset();
        }
    });
    connect(tanks_, &TankController::tableReset, this, reset);
    connect(snapshots_, &TankSnapshots::snapshotChanged, this, &FleetModel::refreshRow);
    connect(snapshots_, &TankSnapshots::snapshotsReset, this, reset);
}

FleetModel::FleetModel(const SiteTanks &sites, ClockFn clock, const Texts &texts, QObject *parent)
    : QAbstractTableModel(parent), clock_(std::move(clock)), texts_(texts)
{
    setSites(&sites);
}

void FleetModel::setSites(const SiteTanks *sites)
{
    if (sites_)
        disconnect(sites_, nullptr, this, nullptr);
    beginResetModel();
    sites_ = sites;
    remoteRows_ = sites_ ? int(sites_->rows().size()) : 0;
    endResetModel();
    if (sites_)
        connect(sites_, &SiteTanks::changed, this,
                [this](const std::vector<int> &rows, int firstNew, bool) { sitesChanged(rows, firstNew); });
}

void FleetModel::sitesChanged(const std::vector<int> &rows, int firstNew)
{
    const int now = int(sites_->rows().size());
    if (now > remoteRows_) {
        beginInsertRows({}, rows_ + remoteRows_, rows_ + now - 1);
        remoteRows_ = now;
        endInsertRows();
    }
    const auto changed = std::count_if(rows.begin(), rows.end(), [firstNew](int r) { return r < firstNew; });
    if (changed > kRowByRow) {
        // Many at once (a broker's retained states after a reconnect): a sorting
        // view moves each changed row on its own at the cost of all rows, so it
        // is told once that the order may have changed and sorts all rows again;
        // rows, selection and current row keep their tanks.
        emit layoutAboutToBeChanged({}, VerticalSortHint);
        emit layoutChanged({}, VerticalSortHint);
        return;
    }
    // Row by row: a view that sorts moves only the rows that changed.
    for (const int r : rows)
        if (r < firstNew)
            emit dataChanged(index(rows_ + r, 0), index(rows_ + r, ColumnCount - 1));
}

const TankSnapshot &FleetModel::snapshotRef(int row) const
{
    if (row < rows_)
        return *snapshots_->at(row + 1);
    return *sites_->rows()[size_t(row - rows_)];
}

double FleetModel::sortKey(int row, int column, QString *text, const QDateTime &now) const
{
    const TankSnapshot &s = snapshotRef(row);
    if (column == Name || column == Site) {
        *text = sortValue(s.tank, s, column, now).toString();
        return 0;
    }
    return sortValue(s.tank, s, column, now).toDouble();
}

TankSnapshotPtr FleetModel::snapshotAt(int row) const
{
    if (row < rows_)
        return snapshots_->at(row + 1);
    return sites_->rows()[size_t(row - rows_)];
}

int FleetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_ + remoteRows_;
}

int FleetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void FleetModel::refreshRow(int n)
{
    if (n >= 1 && n <= rows_)
        emit dataChanged(index(n - 1, 0), index(n - 1, ColumnCount - 1));
}

void FleetModel::refreshTimes()
{
    if (rows_ + remoteRows_ > 0)
        emit dataChanged(index(0, Days),
                         index(rows_ + remoteRows_ - 1, State)); // the state sorts by the days too
}

QString FleetModel::tankName(int n) const
{
    return shownName(*snapshots_->at(n));
}

QString FleetModel::shownName(const TankSnapshot &s) const
{
    const QString name = s.record.Tankbezeichnung.trimmed();
    return name.isEmpty() ? texts_(281) + QString::number(s.tank) : name;
}

QVariant FleetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return section == Site ? texts_(1410) : texts_(816 + section);
    if (role == Qt::TextAlignmentRole && section != Name && section != State && section != Site)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FleetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_ + remoteRows_)
        return {};
    const int column = index.column();
    const TankSnapshotPtr s = snapshotAt(index.row());
    const int n = s->tank;
    switch (role) {
    case Qt::DisplayRole:
        return display(n, *s, column);
    case SortRole:
        return sortValue(n, *s, column, clock_());
    case Qt::ToolTipRole:
        return toolTip(*s, column);
    case FractionRole:
        if (!s->site.isEmpty()) // the percent its site computed
            return s->percent ? *s->percent / 100 : -1.0;
        return s->fault() || s->record.Tankvolumen <= 0 ? -1.0 : FillFraction(s->record);
    case SiteRole:
        return s->site;
    case ConditionRole:
        return int(s->status.condition);
    case DeviceRole:
        return n;
    case Qt::TextAlignmentRole:
        if (column == Name || column == State || column == Site)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant FleetModel::display(int n, const TankSnapshot &s, int column) const
{
    const DeviceRecord &r = s.record;
    switch (column) {
    case Number:
        return QString::number(n);
    case Name:
        return shownName(s);
    case Content:
        if (!s.site.isEmpty()) // in the display unit as its site sent it
            return s.fault() || !s.level
                       ? texts_(815)
                       : texts_.locale().toString(*s.level, 'f', *s.level == std::floor(*s.level) ? 0 : 2) +
                             QLatin1Char(' ') + UnitSymbol(r.Einheit);
        return s.fault() ? texts_(815) : ShownValue(CorrectedVolume(r, s.tempKorrOn), r, texts_);
    case Percent:
        if (!s.site.isEmpty())
            return s.percent ? QString::number(*s.percent, 'f', 0) + QLatin1Char('%') : QString();
        return s.fault() ? QString() : CorrectedPercentText(r, s.tempKorrOn);
    case Days: {
        const std::optional<double> d = s.daysUntilEmpty(clock_());
        if (d && s.level && *s.level <= 0)
            return texts_(1400); // empty already
        if (d && *d <= 0)
            return QStringLiteral("–"); // its date gone by while it still holds some: out of date
        return d ? texts_.locale().toString(std::floor(*d), 'f', 0) : QStringLiteral("–");
    }
    case LastTelegram:
        return AgoText(r.Uhrzeit, clock_(), texts_);
    case State:
        return LookOf(s.status.condition).sign + QLatin1Char(' ') + TankStateWords(s.status, texts_);
    case Site:
        return s.site.isEmpty() ? QStringLiteral("local") : s.site;
    default:
        return {};
    }
}

QVariant FleetModel::sortValue(int n, const TankSnapshot &s, int column, const QDateTime &now) const
{
    const DeviceRecord &r = s.record;
    switch (column) {
    case Number:
        return n;
    case Name:
        return NaturalKey(shownName(s));
    case Content:
        return s.level ? *s.level : -1.0;
    case Percent:
        if (!s.site.isEmpty())
            return s.percent ? *s.percent / 100 : -1.0;
        return s.fault() || r.Tankvolumen <= 0 ? -1.0 : FillFraction(r);
    case Days: {
        const std::optional<double> d = s.daysUntilEmpty(now);
        return d ? *d : kNoValue;
    }
    case LastTelegram:
        return r.Uhrzeit.isValid() ? double(r.Uhrzeit.toSecsSinceEpoch()) : 0.0;
    case State: // worst first, then the tank that runs dry first
        return WorstFirstKey(s.status.condition, s.daysUntilEmpty(now));
    case Site:
        return NaturalKey(s.site);
    default:
        return {};
    }
}

QVariant FleetModel::toolTip(const TankSnapshot &s, int column) const
{
    const DeviceRecord &r = s.record;
    switch (column) {
    case Name:
        return shownName(s) + QStringLiteral(" (SN ") + QString::number(r.SN) + QLatin1Char(')');
    case Content: {
        // The device's error text in a fault, and the meter (it counts on).
        QStringList lines;
        if (s.fault())
            lines << FormatValue(r.Volumen, r, texts_);
        if (s.consumed)
            lines << FormatText(texts_(1047), {texts_.locale().toString(*s.consumed, 'f', LevelDecimals(r)) +
                                               QLatin1Char(' ') + UnitSymbol(r.Einheit)});
        return lines.isEmpty() ? QVariant() : lines.join(QLatin1Char('\n'));
    }
    case Days:
        if (!s.emptyAt.isValid())
            return {};
        return texts_.locale().toString(s.emptyAt.date(), QLocale::LongFormat);
    case LastTelegram:
        return fullTime(r.Uhrzeit, texts_.locale());
    case State: {
        const QString note = TankStateNote(s.status, texts_);
        return note.isEmpty() ? QVariant() : note;
    }
    default:
        return {};
    }
}

FleetFilter::FleetFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(FleetModel::SortRole);
    setDynamicSortFilter(true);
}

void FleetFilter::setNameFilter(const QString &text)
{
    filter_ = text.trimmed();
    invalidateFilter();
}

void FleetFilter::setSiteFilter(const QString &site)
{
    site_ = site.trimmed();
    invalidateFilter();
}

void FleetFilter::setAttentionOnly(bool on)
{
    attention_ = on;
    invalidateFilter();
}

bool FleetFilter::filterAcceptsRow(int row, const QModelIndex &parent) const
{
    // The fleet's own model is asked directly: a filter over tens of
    // thousands of rows makes no index and no QVariant per row.
    if (const auto *m = qobject_cast<const FleetModel *>(sourceModel()); m && filter_.isEmpty()) {
        const TankSnapshot &s = m->snapshotRef(row);
        if (attention_ && !IsWarning(s.status.condition))
            return false;
        if (site_.isEmpty())
            return true;
        return (s.site.isEmpty() ? QStringLiteral("local") : s.site).compare(site_, Qt::CaseInsensitive) == 0;
    }
    const QModelIndex any = sourceModel()->index(row, FleetModel::Name, parent);
    if (attention_ && !IsWarning(TankCondition(sourceModel()->data(any, FleetModel::ConditionRole).toInt())))
        return false;
    if (!site_.isEmpty()) {
        QString site = sourceModel()->data(any, FleetModel::SiteRole).toString();
        if (site.isEmpty())
            site = QStringLiteral("local");
        if (site.compare(site_, Qt::CaseInsensitive) != 0)
            return false;
    }
    if (filter_.isEmpty())
        return true;
    return sourceModel()->data(any, Qt::DisplayRole).toString().contains(filter_, Qt::CaseInsensitive);
}

void FleetFilter::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &c : std::as_const(watching_))
        disconnect(c);
    watching_.clear();
    keyColumn_ = -1;
    // Connected before the base class's own: a changed row's key is new
    // before the proxy sorts it in again.
    if (model) {
        watching_ << connect(
            model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) { keysChanged(from.row(), to.row()); });
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            watching_ << connect(model, signal, this, [this] { keyColumn_ = -1; });
        watching_ << connect(model, &QAbstractItemModel::modelReset, this, [this] { keyColumn_ = -1; });
        watching_ << connect(model, &QAbstractItemModel::layoutChanged, this, [this] { keyColumn_ = -1; });
    }
    QSortFilterProxyModel::setSourceModel(model);
}

void FleetFilter::keysChanged(int first, int last)
{
    if (keyColumn_ < 0)
        return;
    const QAbstractItemModel *m = sourceModel();
    for (int r = first; r <= last && r < int(numberKeys_.size()); ++r) {
        const QVariant v = m->data(m->index(r, keyColumn_), sortRole());
        if (v.typeId() == QMetaType::QString)
            textKeys_[size_t(r)] = v.toString();
        else
            numberKeys_[size_t(r)] = v.toDouble();
    }
}

bool FleetFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QAbstractItemModel *m = sourceModel();
    if (keyColumn_ != left.column()) {
        // Every row's key at once: a comparison then costs two array reads.
        const int rows = m->rowCount();
        keyColumn_ = left.column();
        numberKeys_.assign(size_t(rows), 0);
        textKeys_.assign(size_t(rows), QString());
        const auto *fleet = qobject_cast<const FleetModel *>(m);
        const QDateTime now = fleet ? fleet->now() : QDateTime();
        for (int r = 0; r < rows; ++r) {
            if (fleet && sortRole() == FleetModel::SortRole) {
                numberKeys_[size_t(r)] = fleet->sortKey(r, keyColumn_, &textKeys_[size_t(r)], now);
                continue;
            }
            const QVariant v = m->data(m->index(r, keyColumn_), sortRole());
            if (v.typeId() == QMetaType::QString)
                textKeys_[size_t(r)] = v.toString();
            else
                numberKeys_[size_t(r)] = v.toDouble();
        }
    }
    const size_t l = size_t(left.row()), r = size_t(right.row());
    if (l >= numberKeys_.size() || r >= numberKeys_.size())
        return QSortFilterProxyModel::lessThan(left, right);
    if (numberKeys_[l] != numberKeys_[r])
        return numberKeys_[l] < numberKeys_[r];
    return textKeys_[l] < textKeys_[r];
}
