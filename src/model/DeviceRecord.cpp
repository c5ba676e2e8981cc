#include "DeviceRecord.h"

#include "core/Clock.h"

void TankHistory::reset()
{
    HistoryTimes.assign(1, 0);
    HistoryValues.assign(1, 0);
    HistoryTemps.assign(1, 0);
}

bool TankHistory::append(const QDateTime &t, double value, qint32 temp)
{
    const bool full = count() >= kMaxEntries;
    if (full) {
        HistoryTimes.erase(HistoryTimes.begin() + 1);
        HistoryValues.erase(HistoryValues.begin() + 1);
        HistoryTemps.erase(HistoryTemps.begin() + 1);
    }
    HistoryTimes.push_back(toSecs(t));
    HistoryValues.push_back(value);
    HistoryTemps.push_back(temp);
    return !full;
}

qint64 TankHistory::toSecs(const QDateTime &t)
{
    return t.isValid() ? t.toSecsSinceEpoch() : 0;
}

QDateTime TankHistory::fromSecs(qint64 s)
{
    return QDateTime::fromSecsSinceEpoch(s, Qt::UTC);
}

QDateTime TankHistory::time(int i) const
{
    return fromSecs(HistoryTimes[size_t(i)]);
}
