#include "FleetModel.h"

#include "ConditionLook.h"
#include "Figures.h"
#include "TankController.h"
#include "TankSnapshots.h"

#include "core/RunSwitches.h"
#include "core/TextHelpers.h"

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
    : QAbstractTableModel(parent), tanks_(tanks), snapshots_(snapshots), clock_(std::move(clock)),
      texts_(texts), rows_(tanks.DeviceCount())
{
    auto reset = [this] {
        beginResetModel();
        rows_ = tanks_.DeviceCount();
        endResetModel();
    };
    connect(&tanks_, &TankController::deviceAdded, this, [this, reset](int n) {
        if (n == rows_ + 1) {
            beginInsertRows({}, rows_, rows_);
            rows_ = n;
            endInsertRows();
        } else if (n > rows_) {
            reset();
        }
    });
    connect(&tanks_, &TankController::tableReset, this, reset);
    connect(&snapshots_, &TankSnapshots::snapshotChanged, this, &FleetModel::refreshRow);
    connect(&snapshots_, &TankSnapshots::snapshotsReset, this, reset);
}

int FleetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
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
    if (rows_ > 0)
        emit dataChanged(index(0, Days), index(rows_ - 1, State)); // the state sorts by the days too
}

QString FleetModel::tankName(int n) const
{
    const QString name = snapshots_.at(n)->record.Tankbezeichnung.trimmed();
    return name.isEmpty() ? texts_(281) + QString::number(n) : name;
}

QVariant FleetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return texts_(816 + section);
    if (role == Qt::TextAlignmentRole && section != Name && section != State)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FleetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const int n = index.row() + 1;
    const int column = index.column();
    const TankSnapshotPtr s = snapshots_.at(n);
    switch (role) {
    case Qt::DisplayRole:
        return display(n, *s, column);
    case SortRole:
        return sortValue(n, *s, column);
    case Qt::ToolTipRole:
        return toolTip(n, *s, column);
    case FractionRole:
        return s->fault() || s->record.Tankvolumen <= 0 ? -1.0 : FillFraction(s->record);
    case ConditionRole:
        return int(s->status.condition);
    case DeviceRole:
        return n;
    case Qt::TextAlignmentRole:
        if (column == Name || column == State)
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
        return tankName(n);
    case Content:
        return s.fault() ? texts_(815) : ShownValue(CorrectedVolume(r, s.tempKorrOn), r, texts_);
    case Percent:
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
    default:
        return {};
    }
}

QVariant FleetModel::sortValue(int n, const TankSnapshot &s, int column) const
{
    const DeviceRecord &r = s.record;
    switch (column) {
    case Number:
        return n;
    case Name:
        return tankName(n).toCaseFolded();
    case Content:
        return s.level ? *s.level : -1.0;
    case Percent:
        return s.fault() || r.Tankvolumen <= 0 ? -1.0 : FillFraction(r);
    case Days: {
        const std::optional<double> d = s.daysUntilEmpty(clock_());
        return d ? *d : kNoValue;
    }
    case LastTelegram:
        return r.Uhrzeit.isValid() ? double(r.Uhrzeit.toSecsSinceEpoch()) : 0.0;
    case State: // worst first, then the tank that runs dry first
        return WorstFirstKey(s.status.condition, s.daysUntilEmpty(clock_()));
    default:
        return {};
    }
}

QVariant FleetModel::toolTip(int n, const TankSnapshot &s, int column) const
{
    const DeviceRecord &r = s.record;
    switch (column) {
    case Name:
        return tankName(n) + QStringLiteral(" (SN ") + QString::number(r.SN) + QLatin1Char(')');
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

bool FleetFilter::filterAcceptsRow(int row, const QModelIndex &parent) const
{
    if (filter_.isEmpty())
        return true;
    const QModelIndex name = sourceModel()->index(row, FleetModel::Name, parent);
    return sourceModel()->data(name, Qt::DisplayRole).toString().contains(filter_, Qt::CaseInsensitive);
}
