// What the centre reads from the broker, without one: topics, the sites'
// state payloads, silence, and the filter of the settings.
#include "support/TestSupport.h"

#include "central/CentralDialogLogic.h"
#include "central/CentralSettings.h"
#include "central/RemoteHistory.h"
#include "central/RemoteState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

// Only a site's status and its tanks 1..56 are the centre's; garbage is no
// tank; a fault has no level; the time with its offset becomes the naive
// local time; a tank older than the silence hours turns silent once.
TEST(RemoteState, TopicsPayloadsAndSilence)
{
    EXPECT_EQ(ParseSiteTopic("farm/a/status").base, "farm/a");
    EXPECT_TRUE(ParseSiteTopic("farm/a/status").status);
    const SiteTopic t = ParseSiteTopic("farm/a/tank12/state");
    EXPECT_EQ(std::pair(t.base, t.tank), std::pair(QByteArray("farm/a"), 12));
    for (const char *other :
         {"farm/a/tank0/state", "farm/a/tank57/state", "farm/a/tank07/state", "farm/a/tank+1/state",
          "farm/a/tankx/state", "farm/a/tank1/state/x", "/status", "tank1/state", "farm/a/pump1/state"})
        EXPECT_TRUE(ParseSiteTopic(other).base.isEmpty()) << other;

    qputenv("TZ", "Europe/Berlin");
    const QDateTime now(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);
    for (const char *garbage : {"", "not json", "[1,2]", "{\"level\":", "null"})
        EXPECT_FALSE(RemoteSnapshot(garbage, 1, "a", now)) << garbage;
    QString site;
    const std::optional<TankSnapshot> s = RemoteSnapshot(
        R"({"serial":9,"level":1234.5,"unit":"m³","percent":41,"temperature":-3,"time":"2026-07-01T09:30:00Z",
            "alarm":true,"error":null,"days_until_empty":2,"state":"alarm","loss":true,"consumed":12.5,
            "name":"Keller","capacity":3000,"site":"Hof Nord"})",
        4, "a", now, &site);
    ASSERT_TRUE(s);
    EXPECT_EQ(site, "Hof Nord");
    EXPECT_EQ(s->label, "4 Keller");
    EXPECT_EQ(s->record.Uhrzeit,
              QDateTime(QDate(2026, 7, 1), QTime(11, 30), Qt::UTC)); // 09:30Z is 11:30 in Berlin
    EXPECT_EQ(s->record.Einheit, 1);
    EXPECT_EQ(std::pair(s->record.Volumen, s->record.Tankvolumen),
              std::pair(1234500, 3000000)); // thousandths of m³
    EXPECT_EQ(s->level, 1234.5);
    EXPECT_EQ(s->status.condition, TankCondition::Alarm);
    EXPECT_EQ(s->emptyAt, now.addDays(2));
    EXPECT_TRUE(s->loss && s->record.Alarm);
    const std::optional<TankSnapshot> fault =
        RemoteSnapshot(R"({"level":5,"percent":1,"error":57352,"state":"fault"})", 2, "a", now);
    ASSERT_TRUE(fault);
    EXPECT_TRUE(fault->fault());
    EXPECT_FALSE(fault->level || fault->percent);
    EXPECT_EQ(fault->status.errorCode, 57352);

    EXPECT_FALSE(SilencedSnapshot(*s, 24, now)); // 30 minutes old
    const std::optional<TankSnapshot> silent = SilencedSnapshot(*s, 24, now.addDays(2));
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->status.condition, TankCondition::Silent);
    EXPECT_EQ(silent->status.silentHours, 48);
    EXPECT_FALSE(SilencedSnapshot(*silent, 24, now.addDays(3))); // told once
    EXPECT_FALSE(SilencedSnapshot(*s, 0, now.addDays(30)));      // 0: never
}

// A filter a broker takes for subscribing, and what the centre subscribes to.
TEST(RemoteState, FiltersAndSubscriptions)
{
    for (const char *good : {"tankmon/+", "#", "a/+/b", "kunden/#", "+"})
        EXPECT_TRUE(IsTopicFilter(good)) << good;
    for (const char *bad : {"", "a/#/b", "a/b+", "a/#x", "$SYS/#", "a/\x01"})
        EXPECT_FALSE(IsTopicFilter(bad)) << bad;
    EXPECT_EQ(SiteSubscriptions("tankmon/+"), (QList<QByteArray>{"tankmon/+/status", "tankmon/+/+/state"}));
    EXPECT_EQ(SiteSubscriptions("kunden/#"), QList<QByteArray>{"kunden/#"});
}

// The dialog's OK: a filter no broker takes, or no host while switched on,
// is said in a box naming the field, and nothing is applied; else the values
// go out as typed, without blanks at the ends.
TEST(CentralDialog, OkRefusesWhatCannotWorkAndAppliesTheRest)
{
    ScriptedUi ui;
    const Texts texts(2);
    QList<CentralValues> applied;
    CentralDialogLogic logic(CentralValues{}, ui, texts, [&](const CentralValues &v) { applied << v; });
    logic.values.aktiv = true;
    EXPECT_FALSE(logic.Ok());
    logic.values.host = " broker.local ";
    logic.values.filter = "farm/#/north";
    EXPECT_FALSE(logic.Ok());
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_EQ(ui.shown[0].text, texts(434));
    EXPECT_TRUE(ui.shown[1].text.startsWith("Sites (topic filter) \"farm/#/north\" cannot be used"))
        << qPrintable(ui.shown[1].text);
    EXPECT_TRUE(applied.isEmpty());
    logic.values.filter = " farm/+ ";
    EXPECT_TRUE(logic.Ok());
    ASSERT_EQ(applied.size(), 1);
    EXPECT_EQ(std::pair(applied[0].host, applied[0].filter),
              std::pair(QString("broker.local"), QString("farm/+")));
}

// The centre's record of a remote tank: a reading once in the site's tank
// file, however often the centre starts and hears the retained state again
// (even with the interval passed); a later reading after it. Lines that
// cannot be written (a file stands where a site's folder belongs) are told
// once, naming the file, not once per line.
TEST(RemoteHistory, EachReadingOnceAndAFailureToldOnce)
{
    QTemporaryDir dir;
    const Texts texts(2);
    const auto reading = [](const QString &site, int tank, qint32 level, int hour) {
        auto s = std::make_shared<TankSnapshot>();
        s->site = site;
        s->tank = tank;
        s->record.Volumen = level;
        s->record.Uhrzeit = QDateTime(QDate(2026, 7, 1), QTime(hour, 0), Qt::UTC);
        return s;
    };
    const QString file = RemoteHistory::SiteFolder(dir.path(), "Hof/Nord") + "/Tank2.csv";
    const auto lines = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : -1;
    };
    for (int start = 0; start < 2; ++start) {
        RemoteHistory h(dir.path(), 0, texts);
        h.record(reading("Hof/Nord", 2, 1500, 10));
    }
    EXPECT_EQ(lines(), 1) << qPrintable(file);

    QFile blocker(RemoteHistory::SiteFolder(dir.path(), "south"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QObject receiver;
    QStringList told;
    {
        RemoteHistory h(dir.path(), 0, texts);
        QObject::connect(&h, &RemoteHistory::writeFailed, &receiver,
                         [&](const QString &text) { told << text; });
        h.record(reading("Hof/Nord", 2, 1500, 10));
        h.record(reading("Hof/Nord", 2, 1400, 12));
        for (int n = 1; n <= 3; ++n)
            h.record(reading("south", n, 100 * n, 10));
    } // the lines are written (or not) before it ends
    EXPECT_EQ(lines(), 2);
    ASSERT_TRUE(WaitFor([&] { return !told.isEmpty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("south/Tank1.csv")) << qPrintable(told[0]);
}
