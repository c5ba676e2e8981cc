#include "support/Fixtures.h"

#include "model/FleetModel.h"
#include "model/TankState.h"
#include "model/TankStateWatch.h"

#include <gtest/gtest.h>
#include <set>

namespace
{
const QDateTime kNow = Clock::Naive(QDate(2026, 3, 14), QTime(10, 30, 0));

struct StateCase {
    const char *what;
    TankReading reading;
    TankStateRules rules;
    TankCondition expected;
    int errorCode;
};

TankReading Reading(double percent, qint64 minutesAgo, bool alarm = false, int error = 0)
{
    return {percent, kNow.addSecs(-60 * minutesAgo), alarm, error};
}
} // namespace

TEST(TankStates, RulesInOrderOfUrgency)
{
    const TankStateRules r{20, 24};
    const StateCase cases[] = {
        {"well filled", Reading(57, 5), r, TankCondition::Ok, 0},
        {"exactly at the threshold", Reading(20, 5), r, TankCondition::Ok, 0},
        {"just below it", Reading(19.9, 5), r, TankCondition::Low, 0},
        {"exactly at half of it", Reading(10, 5), r, TankCondition::Low, 0},
        {"below half of it", Reading(9.9, 5), r, TankCondition::VeryLow, 0},
        {"24 h to the minute", Reading(57, 24 * 60), r, TankCondition::Ok, 0},
        {"a minute longer", Reading(57, 24 * 60 + 1), r, TankCondition::Silent, 0},
        {"silence off", Reading(57, 90 * 24 * 60), {20, 0}, TankCondition::Ok, 0},
        {"never a telegram", {57, QDateTime(), false, 0}, r, TankCondition::Silent, 0},
        {"own hours", Reading(57, 3 * 60 + 1), {20, 3}, TankCondition::Silent, 0},
        {"low warning off", Reading(1, 5), {0, 24}, TankCondition::Ok, 0},
        {"fault", Reading(0, 5, false, 0xE008), r, TankCondition::Fault, 0xE008},
        {"fault, low percent ignored", Reading(3, 5, false, 0xE001), r, TankCondition::Fault, 0xE001},
        {"silent beats fault", Reading(0, 25 * 60, false, 0xE002), r, TankCondition::Silent, 0},
        {"alarm beats everything", Reading(1, 25 * 60, true, 0xE002), r, TankCondition::Alarm, 0},
        {"a loss", {57, kNow.addSecs(-300), false, 0, true}, r, TankCondition::Loss, 0},
        {"fault over loss", {0, kNow.addSecs(-300), false, 0xE008, true}, r, TankCondition::Fault, 0xE008},
        {"silence hides a loss", {40, kNow.addSecs(-25 * 3600), false, 0, true}, r, TankCondition::Silent, 0},
        {"alarm beats a loss", {40, kNow.addSecs(-300), true, 0, true}, r, TankCondition::Alarm, 0},
    };
    for (const StateCase &c : cases) {
        const TankStatus s = TankState(c.reading, c.rules, kNow);
        EXPECT_EQ(int(s.condition), int(c.expected)) << c.what;
        EXPECT_EQ(s.errorCode, c.errorCode) << c.what;
    }
}

// The notes of a low and a silent tank: the threshold as set, its half,
// whole hours.
TEST(TankStates, NotesOfLowAndSilentTanks)
{
    EXPECT_EQ(TankStateNote(TankState(Reading(7, 1), {12.5, 24}, kNow), Texts(2)),
              "Level below the warning threshold of 12.5 %");
    EXPECT_EQ(TankStateNote(TankState(Reading(5, 1), {12, 24}, kNow), Texts(1)),
              "Füllstand unter 6 % (die Hälfte der Warnschwelle)");
    EXPECT_EQ(TankStateNote(TankState(Reading(50, 30 * 60 + 59), {12, 24}, kNow), Texts(1)),
              "Seit 30 Stunden kein Telegramm");
}

// A tank's own threshold as typed, and the one that then applies.
TEST(TankStates, OwnWarnThreshold)
{
    const struct {
        const char *typed;
        std::optional<QString> stored;
    } entries[] = {
        {"  ", QString()},     {"12,5", "12.5"},        {" 0.5 ", "0.5"},        {"100", "100"},
        {"0", std::nullopt},   {"100.1", std::nullopt}, {"12 %", std::nullopt},  {"abc", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt},   {"1,2,3", std::nullopt},
    };
    for (const auto &e : entries)
        EXPECT_EQ(WarnThresholdEntry(QString::fromUtf8(e.typed)), e.stored) << e.typed;

    const struct {
        const char *own, *common;
        double applies;
    } applies[] = {
        {"", "10", 10},     {"25", "10", 25}, {"12,5", "", 12.5}, {"0", "15", 15},
        {"junk", "15", 15}, {"", "junk", 10}, {"", "-5", 10},     {"", "7,5", 7.5},
    };
    for (const auto &a : applies)
        EXPECT_DOUBLE_EQ(WarnThresholdOf(a.own, a.common), a.applies) << a.own << " / " << a.common;
}

// The fleet list's model over a controller with four tanks.
class FleetTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        struct {
            const char *name;
            qint32 volumen, capacity;
            int minutesAgo;
            bool alarm;
        } tanks[] = {
            {"Heizöl Keller", 1200, 4000, 3, false}, // 30 %
            {"diesel Hof", 290, 1000, 70, false},    // 29 %: less than tank 1, but more content than 90
            {"", -0xE008, 5000, 1, false},           // a fault, no name
            {"AdBlue", 90, 1000, 26 * 60, true},     // 9 %, silent and in alarm
        };
        for (int n = 1; n <= 4; ++n) {
            DeviceRecord &r = this->tanks.device(n);
            r.SN = 100 + n;
            r.Geraetetyp = 7;
            r.Tankbezeichnung = QString::fromUtf8(tanks[n - 1].name);
            r.Volumen = tanks[n - 1].volumen;
            r.Tankvolumen = tanks[n - 1].capacity;
            r.Uhrzeit = now.addSecs(-60 * tanks[n - 1].minutesAgo);
            r.Alarm = tanks[n - 1].alarm;
            this->tanks.AddDevice(n);
        }
        watch.updateAll();
    }
    // The device numbers in the order the filter shows them.
    QList<int> order(FleetFilter &f)
    {
        QList<int> o;
        for (int r = 0; r < f.rowCount(); ++r)
            o << f.index(r, 0).data(FleetModel::DeviceRole).toInt();
        return o;
    }

    NotificationLog log;
    Texts texts{2};
    TankStateWatch watch{tanks, [](int) { return TankStateRules{10, 24}; }, clock, log, texts};
    std::map<int, double> days{{1, 40.5}, {2, 3.2}, {4, 120}};
    FleetModel model{tanks, watch,
                     [this](int n) -> std::optional<double> {
                         auto it = days.find(n);
                         return it == days.end() ? std::nullopt : std::optional<double>(it->second);
                     },
                     clock, texts};
};

TEST_F(FleetTest, SortsEveryColumnByItsValue)
{
    FleetFilter f;
    f.setSourceModel(&model);
    const struct {
        FleetModel::Column column;
        QList<int> ascending;
    } cases[] = {
        {FleetModel::Name, {4, 2, 1, 3}},    // AdBlue, diesel Hof, Heizöl Keller, Tank 3 (any case)
        {FleetModel::Content, {3, 4, 2, 1}}, // the fault first, then 90 < 290 < 1200 (not as text)
        {FleetModel::Percent, {3, 4, 2, 1}}, // none, 9 %, 29 %, 30 %
        {FleetModel::Days, {2, 1, 4, 3}},    // 3.2 < 40.5 < 120 (not as text), none last
    };
    for (const auto &c : cases) {
        f.sort(c.column, Qt::AscendingOrder);
        EXPECT_EQ(order(f), c.ascending) << "column " << c.column;
    }
    // By state: the two ok tanks (in either order), the fault, the alarm.
    f.sort(FleetModel::State, Qt::AscendingOrder);
    EXPECT_EQ(order(f).mid(2), (QList<int>{3, 4}));
    f.sort(FleetModel::Days, Qt::DescendingOrder);
    EXPECT_EQ(order(f), (QList<int>{3, 4, 1, 2}));

    f.setNameFilter(QStringLiteral("  HEIZ "));
    EXPECT_EQ(order(f), QList<int>{1});
    f.setNameFilter(QStringLiteral("e"));
    EXPECT_EQ(order(f), (QList<int>{4, 1, 2})); // "Tank 3" has no e
    f.setNameFilter({});
    EXPECT_EQ(f.rowCount(), 4);
}

TEST_F(FleetTest, RowsAsShown)
{
    auto row = [this](int n) {
        QStringList cells;
        for (int c = 0; c < FleetModel::ColumnCount; ++c)
            cells << model.index(n - 1, c).data().toString();
        return cells.join(" | ");
    };
    EXPECT_EQ(row(1), "1 | Heizöl Keller | 1,200 litres | 30% | 40 | 3 min ago | OK");
    EXPECT_EQ(row(3), "3 | Tank 3 | no valid value |  | – | 1 min ago | fault E008");
    EXPECT_EQ(row(4), "4 | AdBlue | 90 litres | 9% | 120 | 26 h ago | alarm");
    EXPECT_DOUBLE_EQ(model.index(0, FleetModel::Percent).data(FleetModel::FractionRole).toDouble(), 0.3);
    EXPECT_EQ(model.index(2, FleetModel::Percent).data(FleetModel::FractionRole).toDouble(), -1);

    // The "ago" texts follow the clock, in the run's language.
    QStringList ago;
    for (qint64 secondsAgo : {0, 59, 60, 59 * 60 + 59, 3600, 47 * 3600, 48 * 3600, -600})
        ago << AgoText(now.addSecs(-secondsAgo), now, Texts(2)) + " / " +
                   AgoText(now.addSecs(-secondsAgo), now, Texts(1));
    EXPECT_EQ(ago, QStringList({"just now / gerade eben", "just now / gerade eben", "1 min ago / vor 1 min",
                                "59 min ago / vor 59 min", "1 h ago / vor 1 h", "47 h ago / vor 47 h",
                                "2 days ago / vor 2 Tagen", "just now / gerade eben"}));
    EXPECT_EQ(AgoText(QDateTime(), now, Texts(2)), "never");
}

TEST_F(FleetTest, WatchNotesBeginningsAndEndsOnceALossOnlyInTheRow)
{
    // The first look notes the fault and the alarm, not the silence under it.
    ASSERT_EQ(log.events().size(), 2u);
    EXPECT_EQ(log.events()[0].tank, 3);
    EXPECT_EQ(log.events()[0].kind, NotificationLog::Kind::Fault);
    // What the alarm box said.
    EXPECT_EQ(log.events()[1].text, texts(271) + "4 / SN104");

    tanks.device(4).Alarm = false; // silent now shows
    tanks.refreshDevice(4);
    tanks.device(3).Volumen = 2500; // fault over
    tanks.refreshDevice(3);
    tanks.refreshDevice(3); // nothing new
    now = now.addSecs(60);
    watch.updateAll(); // the minute timer: nothing new either
    using K = NotificationLog::Kind;
    QList<std::pair<K, int>> kinds;
    for (const auto &e : log.events())
        kinds.append({e.kind, e.tank});
    EXPECT_EQ(
        kinds,
        (QList<std::pair<K, int>>{
            {K::Fault, 3}, {K::AlarmStarted, 4}, {K::AlarmEnded, 4}, {K::Silent, 4}, {K::FaultEnded, 3}}));
    EXPECT_EQ(log.unacknowledged(), 5);
    log.acknowledge(log.events()[1].id);
    log.acknowledge(log.events()[1].id);
    EXPECT_EQ(log.unacknowledged(), 4);
    log.acknowledgeAll();
    EXPECT_EQ(log.unacknowledged(), 0);

    // An open loss shows in the tank's row; its notes are its owner's, not
    // the watch's, so the list gets no second line for it.
    std::set<int> losses{1};
    watch.setLossSource([&losses](int n) { return losses.contains(n); });
    const auto state = [this](int n) { return model.index(n - 1, FleetModel::State).data().toString(); };
    watch.updateAll();
    EXPECT_EQ(state(1), "loss");
    EXPECT_EQ(model.index(0, FleetModel::State).data(Qt::ToolTipRole).toString(),
              "The content is falling far faster than its usual use: a leak or theft?");
    losses.clear();
    watch.updateAll();
    EXPECT_EQ(state(1), "OK");
    EXPECT_EQ(log.events().size(), 5u);
}
