#include "support/Fixtures.h"

#include "model/ConditionLook.h"
#include "model/FleetModel.h"
#include "model/TankSnapshots.h"
#include "model/TankState.h"
#include "model/TankStateWatch.h"

#include <array>
#include <cmath>
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
        {"a loss over a low level", {15, kNow.addSecs(-300), false, 0, true}, r, TankCondition::Loss, 0},
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
// whole hours; a tank never heard says so.
TEST(TankStates, NotesOfLowAndSilentTanks)
{
    EXPECT_EQ(TankStateNote(TankState(Reading(7, 1), {12.5, 24}, kNow), Texts(2)),
              "Level below the warning threshold of 12.5 %");
    EXPECT_EQ(TankStateNote(TankState(Reading(5, 1), {12, 24}, kNow), Texts(1)),
              "Füllstand unter 6 % (die Hälfte der Warnschwelle)");
    EXPECT_EQ(TankStateNote(TankState(Reading(50, 30 * 60 + 59), {12, 24}, kNow), Texts(1)),
              "Seit 30 Stunden kein Telegramm");
    EXPECT_EQ(TankStateNote(TankState({50, QDateTime()}, {12, 24}, kNow), Texts(2)),
              "No telegram received yet");
}

namespace
{
// Red, green and blue of "#rrggbb".
std::array<int, 3> rgb(const char *hex)
{
    std::array<int, 3> out{};
    for (int i = 0; i < 3; ++i)
        out[size_t(i)] = QByteArray(hex + 1 + 2 * i, 2).toInt(nullptr, 16);
    return out;
}

// The relative luminance of "#rrggbb" (WCAG 2).
double luminance(const char *hex)
{
    double l = 0;
    const double weight[] = {0.2126, 0.7152, 0.0722};
    for (int i = 0; i < 3; ++i) {
        const double c = rgb(hex)[size_t(i)] / 255.0;
        l += weight[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return l;
}
} // namespace

// Every state reads on its own: a colour far from every other one's, a sign
// of its own for whoever cannot tell the colours apart, its words readable
// on its colour (4.5:1 at least).
TEST(TankStates, EveryStateLooksItsOwnAndReadsOnItsColour)
{
    const QList<TankCondition> all = ConditionsWorstFirst();
    ASSERT_EQ(all.size(), int(TankCondition::Alarm) + 1);
    for (const TankCondition a : all) {
        const ConditionLook la = LookOf(a);
        const double hi = std::max(luminance(la.colour), luminance(la.ink)),
                     lo = std::min(luminance(la.colour), luminance(la.ink));
        EXPECT_GE((hi + 0.05) / (lo + 0.05), 4.5) << TankConditionName(a).toStdString();
        EXPECT_EQ(la.sign.size(), 1);
        for (const TankCondition b : all) {
            if (a == b)
                continue;
            const ConditionLook lb = LookOf(b);
            EXPECT_NE(la.sign, lb.sign);
            const auto ca = rgb(la.colour), cb = rgb(lb.colour);
            const double distance = std::hypot(ca[0] - cb[0], ca[1] - cb[1], ca[2] - cb[2]);
            EXPECT_GT(distance, 60) << TankConditionName(a).toStdString() << " / "
                                    << TankConditionName(b).toStdString();
        }
    }
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

// The state watch and the fleet list's model over a controller with four
// tanks: 30 %, 29 %, a fault, and 9 % silent and in alarm.
class FleetTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        // Content, capacity, minutes since the last telegram, alarm.
        const std::tuple<qint32, qint32, int, bool> records[] = {{1200, 4000, 3, false},
                                                                 {290, 1000, 70, false},
                                                                 {-0xE008, 5000, 1, false},
                                                                 {90, 1000, 26 * 60, true}};
        for (int n = 1; n <= 4; ++n) {
            const auto [volumen, capacity, minutesAgo, alarm] = records[n - 1];
            DeviceRecord &r = tanks.device(n);
            r.SN = 100 + n, r.Geraetetyp = 7, r.Volumen = volumen, r.Tankvolumen = capacity;
            r.Uhrzeit = now.addSecs(-60 * minutesAgo), r.Alarm = alarm;
            tanks.AddDevice(n);
        }
        watch.updateAll();
    }

    NotificationLog log;
    Texts texts{2};
    TankStateWatch watch{tanks, [](int) { return TankStateRules{10, 24}; }, clock, log, texts};
    TankSnapshots snapshots{tanks, switches, &watch};
    FleetModel model{tanks, snapshots, clock, texts};
};

// The "ago" texts of the list follow the clock, in the run's language.
TEST_F(FleetTest, AgoTexts)
{
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
    EXPECT_EQ(state(1), "\u224b loss");
    EXPECT_EQ(model.index(0, FleetModel::State).data(Qt::ToolTipRole).toString(),
              "The content is falling far faster than its usual use: a leak or theft?");
    losses.clear();
    watch.updateAll();
    EXPECT_EQ(state(1), "\u2713 OK");
    EXPECT_EQ(log.events().size(), 5u);
}

// The list sorts worst first by the state (ascending, as a first click on
// its heading sorts), ok last; within a state the tank that runs dry first.
TEST_F(FleetTest, StateSortsWorstFirstThenBySoonestEmpty)
{
    std::set<int> losses{2};
    watch.setLossSource([&losses](int n) { return losses.contains(n); });
    tanks.device(5) = tanks.device(1);
    tanks.device(5).SN = 105;
    tanks.device(5).Volumen = 240; // 6 % of 4000: low
    tanks.AddDevice(5);
    watch.updateAll();
    FleetFilter sorted;
    sorted.setSourceModel(&model);
    sorted.sort(FleetModel::State, Qt::AscendingOrder);
    QStringList order;
    for (int r = 0; r < sorted.rowCount(); ++r)
        order << sorted.index(r, FleetModel::Number).data().toString() + " " +
                     TankConditionName(
                         TankCondition(sorted.index(r, 0).data(FleetModel::ConditionRole).toInt()));
    EXPECT_EQ(order.join(", "), "4 alarm, 3 fault, 2 loss, 5 low, 1 ok");

    // Within a state the days decide, a tank without a forecast last; no
    // number of days lifts a tank above a worse state.
    EXPECT_LT(WorstFirstKey(TankCondition::Low, 3), WorstFirstKey(TankCondition::Low, 10));
    EXPECT_LT(WorstFirstKey(TankCondition::Low, 1e9), WorstFirstKey(TankCondition::Low, std::nullopt));
    EXPECT_LT(WorstFirstKey(TankCondition::Silent, std::nullopt), WorstFirstKey(TankCondition::Fault, 0));
    EXPECT_LT(WorstFirstKey(TankCondition::Low, std::nullopt), WorstFirstKey(TankCondition::Ok, 0));
}
