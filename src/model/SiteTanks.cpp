#include "SiteTanks.h"

SiteTanks::SiteTanks(QObject *parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    timer_.setInterval(kNotifyMs);
    connect(&timer_, &QTimer::timeout, this, &SiteTanks::flush);
}

int SiteTanks::site(const QByteArray &topic)
{
    if (const auto it = byTopic_.constFind(topic); it != byTopic_.constEnd())
        return *it;
    Site s;
    s.topic = topic;
    s.rows.fill(-1);
    sites_.push_back(std::move(s));
    const int i = int(sites_.size()) - 1;
    byTopic_.insert(topic, i);
    name(i, QString::fromUtf8(topic.mid(topic.lastIndexOf('/') + 1)));
    return i;
}

void SiteTanks::setSiteName(int site, const QString &name)
{
    Site &s = sites_[size_t(site)];
    if (name.isEmpty() || s.ownName == name)
        return;
    s.ownName = name;
    this->name(site, name);
}

void SiteTanks::name(int site, const QString &wanted)
{
    Site &s = sites_[size_t(site)];
    if (!s.name.isEmpty())
        byName_[s.name.toCaseFolded()].removeOne(site);
    const bool taken = !byName_.value(wanted.toCaseFolded()).isEmpty();
    s.name = taken ? wanted + QStringLiteral(" (") + QString::fromUtf8(s.topic) + QLatin1Char(')') : wanted;
    byName_[s.name.toCaseFolded()].append(site);
    sitesDirty_ = true;
    if (!timer_.isActive())
        timer_.start();
}

void SiteTanks::setOnline(int site, bool online, const QDateTime &now)
{
    Site &s = sites_[size_t(site)];
    if (s.online == online && s.since.isValid())
        return;
    s.online = online;
    s.since = now;
    sitesDirty_ = true;
    if (!timer_.isActive())
        timer_.start();
}

void SiteTanks::put(int site, TankSnapshotPtr snap)
{
    const int tank = snap->tank;
    if (tank < 1 || tank > kMaxDevices)
        return;
    int &row = sites_[size_t(site)].rows[size_t(tank)];
    if (row < 0) {
        row = int(rows_.size());
        rows_.push_back(nullptr);
        rowSite_.push_back(site);
        dirtyFlag_.push_back(0);
    }
    rows_[size_t(row)] = std::move(snap);
    touch(row);
}

TankSnapshotPtr SiteTanks::at(int site, int tank) const
{
    if (site < 0 || site >= siteCount() || tank < 1 || tank > kMaxDevices)
        return {};
    const int row = sites_[size_t(site)].rows[size_t(tank)];
    return row < 0 ? TankSnapshotPtr() : rows_[size_t(row)];
}

void SiteTanks::touch(int row)
{
    if (!dirtyFlag_[size_t(row)]) {
        dirtyFlag_[size_t(row)] = 1;
        dirty_.push_back(row);
    }
    if (!timer_.isActive())
        timer_.start();
}

void SiteTanks::flush()
{
    std::vector<int> rows;
    rows.swap(dirty_);
    for (const int r : rows)
        dirtyFlag_[size_t(r)] = 0;
    const int firstNew = announced_;
    announced_ = int(rows_.size());
    const bool sites = sitesDirty_;
    sitesDirty_ = false;
    emit changed(rows, firstNew, sites);
}
