// The remote sites' tanks of a central installation: the store's batched
// changes and the fleet list over them (site column, filters, worst first).
#include "support/TestSupport.h"

#include "core/Clock.h"
#include "lang/Lng.h"
#include "model/FleetModel.h"
#include "model/SiteTanks.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace
{
TankSnapshotPtr Remote(const QString &site, int tank, TankCondition c, double days)
{
    auto s = std::make_shared<TankSnapshot>();
    s->tank = tank;
    s->site = site;
    s->label = QString::number(tank);
    s->level = 100 * tank;
    s->percent = 10 * tank;
    s->status.condition = c;
    s->emptyAt = QDateTime::currentDateTimeUtc().addSecs(qint64(days * 86400));
    return s;
}

QStringList Shown(const FleetFilter &f)
{
    QStringList rows;
    for (int r = 0; r < f.rowCount(); ++r)
        rows << f.index(r, FleetModel::Site).data().toString() + "/" +
                    f.index(r, FleetModel::Number).data().toString();
    return rows;
}

// The store and the fleet list over it, sorted worst first.
class RemoteFleet : public ::testing::Test
{
protected:
    RemoteFleet()
    {
        list.setSourceModel(&model);
        list.sort(FleetModel::State, Qt::AscendingOrder);
    }

    SiteTanks store;
    const Texts texts{2};
    FleetModel model{store, SystemClock(), texts};
    FleetFilter list;
    QSignalSpy changed{&store, &SiteTanks::changed};
};
} // namespace

// Many puts become one notice naming each changed row once; the list shows
// every site's tanks worst first, by site and only those with a warning, and
// a tank whose state changes moves to its place.
TEST_F(RemoteFleet, ChangesTogetherAndTheFleetListSortsAndFiltersThem)
{

    const int north = store.site("farm/north"), south = store.site("farm/south");
    EXPECT_EQ(store.site("farm/north"), north);
    store.put(north, Remote("north", 1, TankCondition::Ok, 30));
    store.put(north, Remote("north", 2, TankCondition::Low, 9));
    store.put(south, Remote("south", 1, TankCondition::Ok, 4));
    store.put(south, Remote("south", 7, TankCondition::Fault, 1));
    store.put(north, Remote("north", 1, TankCondition::Ok, 20)); // the same row again
    ASSERT_TRUE(WaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(changed[0][0].value<std::vector<int>>(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(changed[0][1].toInt(), 0); // all of them new
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(Shown(list).join(" "), "south/7 north/2 south/1 north/1");

    list.setSiteFilter("north");
    EXPECT_EQ(Shown(list).join(" "), "north/2 north/1");
    list.setAttentionOnly(true);
    EXPECT_EQ(Shown(list).join(" "), "north/2");
    list.setSiteFilter({});
    EXPECT_EQ(Shown(list).join(" "), "south/7 north/2");

    // An alarm at the north's first tank: first in the list once told.
    store.put(north, Remote("north", 1, TankCondition::Alarm, 20));
    ASSERT_TRUE(WaitFor([&] { return changed.size() == 2; }));
    EXPECT_EQ(changed[1][0].value<std::vector<int>>(), (std::vector<int>{0}));
    EXPECT_EQ(changed[1][1].toInt(), 4); // nothing new
    EXPECT_EQ(Shown(list).join(" "), "north/1 south/7 north/2");
    EXPECT_EQ(list.index(0, FleetModel::Content).data().toString(), "100 L");

    // Two sites that call themselves alike stay apart by their topics.
    const int other = store.site("dairy/north");
    EXPECT_EQ(store.siteAt(other).name, "north (dairy/north)");
    store.setSiteName(south, "north");
    EXPECT_EQ(store.siteAt(south).name, "north (farm/south)");
    EXPECT_EQ(store.sitesNamed("NORTH"), QList<int>{north});
}

// A broker's retained states after a reconnect change every row at once: the
// list sorts them all again in one step, the selected tank stays selected,
// the filter holds, and sites sort by name with their numbers by value.
TEST_F(RemoteFleet, ABatchOfManyChangesSortsOnceAndKeepsTheSelection)
{
    constexpr int sites = 12; // more rows than are told one by one
    static_assert(sites * kMaxDevices > FleetModel::kRowByRow);
    const auto putAll = [&](int lowSite) {
        for (int s = 0; s < sites; ++s)
            for (int t = 1; t <= kMaxDevices; ++t)
                store.put(store.site("farm/Site " + QByteArray::number(s)),
                          Remote("Site " + QString::number(s), t,
                                 s == lowSite ? TankCondition::Low : TankCondition::Ok, t));
        const qsizetype before = changed.size();
        return WaitFor([&] { return changed.size() > before; });
    };
    ASSERT_TRUE(putAll(0));
    ASSERT_EQ(list.rowCount(), sites * kMaxDevices);
    EXPECT_EQ(Shown(list).first(), "Site 0/1");
    // The 1st tank of site 10, as a view's selection holds it.
    const QPersistentModelIndex selected = list.mapFromSource(model.index(10 * kMaxDevices, 0));

    QSignalSpy moved(&list, &QAbstractItemModel::layoutChanged);
    ASSERT_TRUE(putAll(sites - 1));
    EXPECT_EQ(moved.size(), 1);
    EXPECT_EQ(Shown(list).mid(0, 2).join(" "), QString("Site %1/1 Site %1/2").arg(sites - 1));
    EXPECT_GE(Shown(list).indexOf("Site 0/1"), kMaxDevices); // now among the ok ones
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(list.index(selected.row(), FleetModel::Site).data().toString() + "/" +
                  list.index(selected.row(), FleetModel::Number).data().toString(),
              "Site 10/1");

    list.sort(FleetModel::Site, Qt::AscendingOrder);
    QStringList order;
    for (int r = 0; r < list.rowCount(); r += kMaxDevices)
        order << list.index(r, FleetModel::Site).data().toString();
    EXPECT_EQ(order.mid(0, 4).join(", "), "Site 0, Site 1, Site 2, Site 3");
    EXPECT_EQ(order.last(), QString("Site %1").arg(sites - 1));

    // The filter holds across such a batch too.
    list.setAttentionOnly(true);
    ASSERT_TRUE(putAll(0));
    EXPECT_EQ(Shown(list).filter(QRegularExpression("^Site 0/")).size(), kMaxDevices);
    EXPECT_EQ(list.rowCount(), kMaxDevices);
}
