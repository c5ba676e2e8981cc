#pragma once
#include "TankSnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <array>
#include <vector>

// The tanks of the remote sites a central installation watches, keyed by
// (site, tank): one immutable snapshot each, as for the local tanks. Sites
// and tanks are only ever added (a site that goes away stays, offline), so a
// row number names the same tank for the whole run. Every put is O(1); the
// readers hear of the changes together, at most every kNotifyMs, as the rows
// that changed since the last time: a thousand sites that send at once cost
// the views one redraw, not thousands.
class SiteTanks : public QObject
{
    Q_OBJECT
public:
    static constexpr int kNotifyMs = 200;

    struct Site {
        QByteArray topic; // its base topic, which tells sites apart
        // As shown: what the site calls itself, else the topic's last level;
        // a name another site has already gets the topic added, so no two
        // sites share a name (in the list, the API's filter, the metrics).
        QString name;
        QString ownName; // what it calls itself, as it came
        bool online = false;
        QDateTime since; // when online last changed (naive local time)
        std::array<int, kMaxDevices + 1> rows;
    };

    explicit SiteTanks(QObject *parent = nullptr);

    // The site under a base topic, added when new; -1 when none.
    int site(const QByteArray &topic);
    int findSite(const QByteArray &topic) const { return byTopic_.value(topic, -1); }
    const Site &siteAt(int i) const { return sites_[size_t(i)]; }
    int siteCount() const { return int(sites_.size()); }
    // The sites called name (any case): a name need not be unique.
    QList<int> sitesNamed(const QString &name) const { return byName_.value(name.toCaseFolded()); }

    // The name the site gives itself (empty: none).
    void setSiteName(int site, const QString &name);
    void setOnline(int site, bool online, const QDateTime &now);

    // Tank s->tank of the site is s from now on (s->site names it).
    void put(int site, TankSnapshotPtr s);
    TankSnapshotPtr at(int site, int tank) const;

    // Every remote tank in the order first seen; a row never changes its tank.
    const std::vector<TankSnapshotPtr> &rows() const { return rows_; }
    int siteOfRow(int row) const { return rowSite_[size_t(row)]; }

signals:
    // The rows whose snapshot changed since the last time (those at
    // firstNew and beyond are new), and whether a site changed (its name,
    // online).
    void changed(const std::vector<int> &rows, int firstNew, bool sitesChanged);

private:
    void touch(int row);
    void name(int site, const QString &wanted);
    void flush();

    std::vector<Site> sites_;
    QHash<QByteArray, int> byTopic_;
    QHash<QString, QList<int>> byName_; // case-folded name -> sites
    std::vector<TankSnapshotPtr> rows_;
    std::vector<int> rowSite_;
    std::vector<char> dirtyFlag_;
    std::vector<int> dirty_;
    int announced_ = 0; // rows the readers know of
    bool sitesDirty_ = false;
    QTimer timer_;
};
