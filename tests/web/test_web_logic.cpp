// The web view's pure parts: password hash, login delay, the JSON and the
// metrics text, and the listener's bounds against real sockets.
#include "WebRequest.h"
#include "web/WebAuthCheck.h"
#include "web/WebAuthDelay.h"
#include "web/WebJson.h"
#include "web/WebListener.h"
#include "web/WebPassword.h"
#include "web/WebSettings.h"

#include "consumption/Consumption.h"
#include "lang/Lng.h"

#include <QHttpServer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

TEST(WebPassword, DerivesTheKnownKeyAndRefusesEverythingElse)
{
    // PBKDF2-HMAC-SHA256("password", "salt", 1 iteration, 32 bytes), the published test vector.
    const QString stored = HashWebPassword(QStringLiteral("password"), "salt", 1);
    EXPECT_EQ(stored, QStringLiteral("pbkdf2-sha256$1$c2FsdA==$") +
                          QString::fromLatin1(QByteArray::fromHex("120fb6cffcf8b32c43e7225256c4f837"
                                                                  "a86548c92ccc35480805987cb70be17b")
                                                  .toBase64()));
    EXPECT_TRUE(VerifyWebPassword(stored, QStringLiteral("password")));
    const QString fresh = NewWebPasswordHash(QStringLiteral("geheim äß"));
    EXPECT_TRUE(VerifyWebPassword(fresh, QStringLiteral("geheim äß")));
    EXPECT_NE(fresh, NewWebPasswordHash(QStringLiteral("geheim äß"))); // salted
    const QString bad[] = {{},
                           "password",
                           "pbkdf2-sha256$1$c2FsdA==$",
                           "pbkdf2-sha256$0" + stored.mid(15),
                           "pbkdf2-sha256$99999999999" + stored.mid(15),
                           "md5$1$c2FsdA==$" + stored.section('$', 3),
                           QString(stored).replace("c2FsdA==", "!!")};
    for (const QString &s : bad)
        EXPECT_FALSE(VerifyWebPassword(s, "password")) << qPrintable(s);
    EXPECT_FALSE(VerifyWebPassword(stored, "Password") || VerifyWebPassword(fresh, QString()));
}

TEST(WebAuthDelay, GrowsPerAddressAndForgets)
{
    qint64 now = 0;
    WebAuthDelay d([&] { return now; });
    QList<qint64> seen;
    for (int i = 0; i < 10; ++i)
        seen << d.failed(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(seen, (QList<qint64>{250, 500, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_EQ(d.failed(QStringLiteral("10.0.0.2")), 250); // another address starts afresh
    now += WebAuthDelay::kForgetMs - 1;
    EXPECT_EQ(d.failed(QStringLiteral("10.0.0.1")), 30000);
    now += WebAuthDelay::kForgetMs;
    EXPECT_EQ(d.failed(QStringLiteral("10.0.0.1")), 250);
    d.failed(QStringLiteral("10.0.0.1"));
    d.succeeded(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(d.failed(QStringLiteral("10.0.0.1")), 250);
    // A flood of addresses keeps the table bounded and still counts the newest.
    for (int i = 0; i < 3 * WebAuthDelay::kMaxAddresses; ++i, ++now)
        d.failed(QStringLiteral("192.168.%1.%2").arg(i / 256).arg(i % 256));
    EXPECT_EQ(d.failed(QStringLiteral("192.168.47.255")), 500);
}

TEST(WebSettings, OnlyLoopbackRunsWithoutPasswordAndTls)
{
    const Texts en(2);
    struct Case {
        const char *address;
        bool password, tls, allowed;
    } cases[] = {
        {"127.0.0.1", false, false, true}, {"::1", false, false, true},
        {"127.8.0.1", false, false, true}, {"0.0.0.0", false, false, false},
        {"0.0.0.0", true, false, false},   {"192.168.1.5", false, true, false},
        {"192.168.1.5", true, true, true}, {"localhost", false, false, false},
        {"", false, false, false},
    };
    for (const Case &c : cases) {
        WebValues v;
        v.adresse = QString::fromLatin1(c.address);
        v.password = c.password ? QStringLiteral("pbkdf2-sha256$1$a$b") : QString();
        v.zertifikat = v.schluessel = c.tls ? QStringLiteral("/x.pem") : QString();
        const QString problem = WebStartProblem(v, en);
        EXPECT_EQ(problem.isEmpty(), c.allowed) << c.address << " " << qPrintable(problem);
        EXPECT_TRUE(c.allowed || problem.contains(v.adresse)) << qPrintable(problem);
    }
}

// Two tanks: a named one with a temperature and a faulty unnamed one.
static std::unique_ptr<DeviceTable> twoTanks()
{
    auto t = std::make_unique<DeviceTable>();
    t->DeviceCount = 2;
    DeviceRecord &a = (*t)[1];
    a.SN = 4711;
    a.Geraetetyp = 9;
    a.Tankbezeichnung = QStringLiteral("Keller \"Ost\"\\\nalt");
    a.Volumen = 1500;
    a.Tankvolumen = 5000;
    a.Temperatur = 12;
    a.Uhrzeit = QDateTime(QDate(2026, 7, 1), QTime(10, 15), Qt::LocalTime);
    a.History.append(QDateTime(QDate(2026, 6, 30), QTime(8, 0), Qt::UTC), 1600, 11);
    a.History.append(QDateTime(QDate(2026, 7, 1), QTime(8, 0), Qt::UTC), 1500, kNoTemperature);
    DeviceRecord &b = (*t)[2];
    b.SN = 12;
    b.Geraetetyp = 9;
    b.Volumen = -8;
    b.Temperatur = kNoTemperature;
    b.Alarm = true;
    return t;
}

static const QDateTime kNow(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);

// Their snapshots: tank 1 low with a loss open, 12.345 days to go and its
// meter; tank 2 faulty without either (a forecast given is not shown).
static QList<TankSnapshotPtr> snapshotsOf(const DeviceTable &t)
{
    QList<TankSnapshotPtr> list;
    for (int n = 1; n <= 2; ++n) {
        SnapshotFigures f;
        f.status.condition = n == 1 ? TankCondition::Low : TankCondition::Fault;
        f.status.lowPercent = 40;
        f.status.errorCode = n == 2 ? 8 : 0;
        f.emptyAt = kNow.addSecs(1066608), f.dailyUse = 100;
        if (n == 1)
            f.loss = true, f.consumed = 812.5;
        list << std::make_shared<const TankSnapshot>(ComposeSnapshot(n, t[n], f));
    }
    return list;
}

TEST(WebJson, TanksAndHistoryAsTheApiGivesThem)
{
    qputenv("TZ", "Europe/Berlin");
    const auto t = twoTanks();
    const QJsonObject tanks = QJsonDocument::fromJson(WebTanksJson(snapshotsOf(*t), kNow, Texts(2))).object();
    const QJsonObject expected = QJsonDocument::fromJson(R"({"tanks":[
        {"number":1,"serial":4711,"name":"Keller \"Ost\"\\\nalt","level":1500,"unit":"L","percent":30,
         "temperature":12,"time":"2026-07-01T10:15:00+02:00","alarm":false,"error":null,
         "days_until_empty":12.3,"state":"low","state_note":"Level below the warning threshold of 40 %",
         "loss":true,"consumed":812.5,"site":"local"},
        {"number":2,"serial":12,"name":"Tank 2","level":null,"unit":"L","percent":null,"temperature":null,
         "time":null,"alarm":true,"error":8,"days_until_empty":null,"state":"fault",
         "state_note":"The device reports fault 8. See the help page “Tank states”.","loss":false,
         "consumed":null,"site":"local"}],"total":2})")
                                     .object();
    EXPECT_EQ(tanks, expected) << WebTanksJson(snapshotsOf(*t), kNow, Texts(2)).constData();

    const QJsonObject all = QJsonDocument::fromJson(WebHistoryJson(*t, 1, {}, {})).object();
    // Naive local 2026-06-30 08:00 in Berlin is 06:00 UTC.
    EXPECT_EQ(QJsonDocument(all.value(QStringLiteral("points")).toArray()).toJson(QJsonDocument::Compact),
              "[[1782799200,1600,11],[1782885600,1500,null]]");
    const QDateTime from(QDate(2026, 7, 1), QTime(0, 0), Qt::OffsetFromUTC, 3600);
    EXPECT_EQ(
        QJsonDocument::fromJson(WebHistoryJson(*t, 1, from, {})).object().value("points").toArray().size(),
        1);
    EXPECT_EQ(WebHistoryCsv(*t, 1, {}, from),
              "time;level;temperature\r\n2026-06-30T08:00:00+02:00;1600;11\r\n");
}

TEST(WebJson, MetricsFollowTheExpositionFormat)
{
    qputenv("TZ", "Europe/Berlin");
    const auto t = twoTanks();
    WebCounters c;
    c.telegrams = {{QStringLiteral("tcp"), 7}, {QStringLiteral("serial"), 0}};
    c.emails = {{QStringLiteral("sent"), 2}, {QStringLiteral("failed"), 1}};
    c.linksUp = {{QStringLiteral("tcp"), true}, {QStringLiteral("serial"), false}};
    c.mqttConnected = true;
    const QString text = QString::fromUtf8(WebMetricsText(snapshotsOf(*t), kNow, c));
    // Every line: a HELP or TYPE comment, or a sample after its metric's one TYPE.
    QMap<QString, QString> types;
    QStringList samples;
    ASSERT_TRUE(text.endsWith('\n'));
    for (const QString &line : text.chopped(1).split('\n')) {
        if (line.startsWith("# TYPE ")) {
            EXPECT_FALSE(types.contains(line.section(' ', 2, 2))) << qPrintable(line);
            types.insert(line.section(' ', 2, 2), line.section(' ', 3));
        } else if (!line.startsWith("# HELP ")) {
            EXPECT_TRUE(types.contains(line.section(QRegularExpression("[{ ]"), 0, 0))) << qPrintable(line);
            samples << line;
        }
    }
    EXPECT_EQ(samples.join('|'),
              R"(tankmon_tank_info{tank="1",serial="4711",name="Keller \"Ost\"\\\nalt",unit="L"} 1|)"
              R"(tankmon_tank_info{tank="2",serial="12",name="Tank 2",unit="L"} 1|)"
              R"(tankmon_volume_litres{tank="1"} 1500|tankmon_fill_ratio{tank="1"} 0.3|)"
              R"(tankmon_temperature_celsius{tank="1"} 12|)"
              R"(tankmon_time_until_empty_seconds{tank="1"} 1066608|)"
              R"(tankmon_last_telegram_timestamp_seconds{tank="1"} 1782893700|)"
              R"(tankmon_alarm{tank="1"} 0|tankmon_alarm{tank="2"} 1|tankmon_fault{tank="1"} 0|)"
              R"(tankmon_fault{tank="2"} 1|tankmon_loss{tank="1"} 1|tankmon_loss{tank="2"} 0|)"
              R"(tankmon_state{tank="1",state="low"} 1|tankmon_state{tank="2",state="fault"} 1|)"
              R"(tankmon_consumed_litres_total{tank="1"} 812.5|)"
              R"(tankmon_telegrams_total{link="serial"} 0|tankmon_telegrams_total{link="tcp"} 7|)"
              R"(tankmon_emails_total{result="failed"} 1|tankmon_emails_total{result="sent"} 2|)"
              R"(tankmon_link_up{link="serial"} 0|tankmon_link_up{link="tcp"} 1|tankmon_mqtt_connected 1)");
    EXPECT_EQ(QStringList({types["tankmon_telegrams_total"], types["tankmon_consumed_litres_total"],
                           types["tankmon_loss"]}),
              QStringList({"counter", "counter", "gauge"}));

    // Every unit: its content under the name of its kind, in the base unit;
    // its symbol in the info series, no two alike.
    const std::map<int, QString> expected = {{0, R"(tankmon_volume_litres{tank="1"} 1500)"},
                                             {1, R"(tankmon_volume_litres{tank="1"} 1500)"},
                                             {2, R"(tankmon_height_metres{tank="1"} 1.5)"},
                                             {3, R"(tankmon_level_ratio{tank="1"} 0.015)"},
                                             {4, R"(tankmon_mass_kilograms{tank="1"} 1500)"},
                                             {5, R"(tankmon_volume_litres{tank="1"} 6819.135)"},
                                             {6, R"(tankmon_volume_litres{tank="1"} 5678.117676)"},
                                             {7, R"(tankmon_mass_kilograms{tank="1"} 1500)"}};
    QSet<QString> symbols;
    (*t)[1].DezPunkt = 1; // three decimals for m³, m, %, t
    for (const auto &[unit, line] : expected) {
        (*t)[1].Einheit = unit;
        const QString m = QString::fromUtf8(WebMetricsText(snapshotsOf(*t).mid(0, 1), kNow, {}));
        EXPECT_TRUE(m.contains(line + '\n')) << unit << qPrintable(m);
        const QRegularExpressionMatch symbol = QRegularExpression("unit=\"([^\"]+)\"").match(m);
        EXPECT_TRUE(symbol.hasMatch()) << unit;
        symbols << symbol.captured(1);
        const QJsonObject tank =
            QJsonDocument::fromJson(WebTanksJson(snapshotsOf(*t).mid(0, 1), kNow, Texts(2))).object();
        EXPECT_EQ(tank["tanks"].toArray()[0].toObject()["unit"].toString(), symbol.captured(1));
    }
    EXPECT_EQ(symbols.size(), 8) << qPrintable(QStringList(symbols.values()).join('|'));
}

TEST(WebJson, ConsumptionAsTheTableShowsIt)
{
    // Sums of decimals carry binary noise; the answer has the unit's decimals.
    ConsumptionGroup g;
    g.einheit = 1;
    g.table = ConsumptionTable(2026, 2025, 3);
    g.table.add(2026, 1, 0.1);
    g.table.add(2026, 1, 0.2);
    g.table.add(2026, 3, 0.1);
    g.table.add(2026, 3, 5.3);
    g.table.add(2025, 12, 1.23449);
    g.table.computeTotals();
    EXPECT_EQ(
        WebConsumptionJson(4, g),
        R"({"tank":4,"total":6.934,"unit":"m³","years":[)"
        R"({"months":[0.3,null,5.4,null,null,null,null,null,null,null,null,null],"total":5.7,"year":2026},)"
        R"({"months":[null,null,null,null,null,null,null,null,null,null,null,1.234],"total":1.234,"year":2025}]})");
}

TEST(WebListener, BoundsConnectionsHeadersAndIdleTime)
{
    // A plain HTTP server behind the listener, as the program builds it.
    QHttpServer server;
    server.route(QStringLiteral("/"), [] { return QStringLiteral("hello"); });
    auto *listener = new WebListener(&server, std::nullopt, 2000, &server, 1000);
    ASSERT_TRUE(listener->listen(QHostAddress::LocalHost, 0));
    server.bind(listener);
    const quint16 port = listener->serverPort();
    const auto get = [&](const QByteArray &headers) { return request(port, "/", headers).status; };
    EXPECT_EQ(get("X-Pad: " + QByteArray(16000, 'a') + "\r\n"), 200);
    EXPECT_EQ(get("X-Pad: " + QByteArray(20 * 1024, 'a') + "\r\n"), 431);
    // Many small headers add up as one long one.
    QByteArray many;
    for (int i = 0; i < 1000; ++i)
        many += "X-" + QByteArray::number(i) + ": 0123456789\r\n";
    EXPECT_EQ(get(many), 431);
    // A body's length said twice, or not as a number, could split one
    // request into two for whoever stands in between; any body is refused.
    for (const char *bad : {"Content-Length: 0\r\nContent-Length: 0\r\n", "Content-Length: -5\r\n",
                            "Content-Length: 5x\r\n", "Content-Length : 0\r\n", " Content-Length: 0\r\n"})
        EXPECT_EQ(get(bad), 400) << bad;
    EXPECT_EQ(get("Content-Length: 5\r\n\r\nGET /"), 413);
    EXPECT_EQ(get("Transfer-Encoding: chunked\r\n\r\n0\r\n"), 413);
    EXPECT_EQ(get("Content-Length: 0\r\n"), 200);

    // A head trickled byte by byte ends at its deadline, whatever the idle time says.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(slow.waitForConnected(5000));
    QByteArray slowAnswer;
    QElapsedTimer since;
    since.start();
    const QByteArray trickle =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
    for (int i = 0; slow.state() == QAbstractSocket::ConnectedState && since.elapsed() < 5000; ++i) {
        slow.write(trickle.mid(i % trickle.size(), 1));
        WaitFor([&] { return (slowAnswer += slow.readAll()).size() > 0; }, 100);
    }
    EXPECT_TRUE(slowAnswer.startsWith("HTTP/1.1 408")) << slowAnswer.constData();
    EXPECT_LT(since.elapsed(), 2000); // not the idle time, which every byte restarts

    // One address gets its share, never every slot.
    const QHostAddress other(QStringLiteral("127.0.0.2"));
    const IdleClients greedy(port, WebListener::kMaxPerAddress + 20, other);
    EXPECT_TRUE(WaitFor([&] { return greedy.open() == WebListener::kMaxPerAddress; }, 5000)) << greedy.open();
    EXPECT_EQ(get({}), 200);
    // Many addresses together still meet the limit of all.
    std::vector<std::unique_ptr<IdleClients>> crowd;
    for (int i = 3; i < 3 + WebListener::kMaxConnections / WebListener::kMaxPerAddress + 1; ++i)
        crowd.push_back(std::make_unique<IdleClients>(port, WebListener::kMaxPerAddress,
                                                      QHostAddress(QStringLiteral("127.0.0.%1").arg(i))));
    EXPECT_TRUE(WaitFor([&] { return listener->connectionCount() == WebListener::kMaxConnections; }, 5000))
        << listener->connectionCount();
    // The ones beyond the limit are closed at once, the rest after the idle time.
    EXPECT_TRUE(WaitFor([&] { return listener->connectionCount() == 0; }, 5000))
        << listener->connectionCount();
    EXPECT_EQ(get({}), 200);
}

TEST(WebJson, HistorySampleKeepsEveryBucketsLowAndHigh)
{
    TankHistory h;
    // A day of hourly points falling by 10, a refill at 12:00 and a dip at 17:00.
    const QDateTime day(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 24; ++i)
        h.append(day.addSecs(i * 3600), i == 12 ? 2000 : i == 17 ? 50 : 1000 - 10 * i, 5);
    const std::vector<int> all = WebHistorySample(h, 1, 25, 24);
    EXPECT_EQ(all.size(), 24u);
    // Four spans of six hours: each its low and high, in time order.
    const std::vector<int> picked = WebHistorySample(h, 1, 25, 8);
    EXPECT_EQ(picked, (std::vector<int>{1, 6, 7, 12, 13, 18, 19, 24}));
    std::vector<double> values;
    for (const int i : picked)
        values.push_back(h.HistoryValues[size_t(i)]);
    EXPECT_EQ(values, (std::vector<double>{1000, 950, 940, 890, 2000, 50, 820, 770}));
    // Of a window, only its points; an odd limit gives no more than it says.
    EXPECT_LE(WebHistorySample(h, 5, 20, 5).size(), 5u);
    EXPECT_EQ(WebHistorySample(h, 5, 20, 5).front(), 5);
}

TEST(WebSettings, OnlyTheNamesOfThisServerAreAnswered)
{
    WebValues v;
    v.hostnamen = QStringLiteral(" Tank.LAN, proxy.example.org. ");
    for (const char *good : {"127.0.0.1:8088", "localhost", "LOCALHOST:1", "[::1]:8088", "192.168.1.5",
                             "tank.lan:8088", "proxy.example.org", "proxy.example.org.:443", ""})
        EXPECT_TRUE(WebHostAllowed(good, v)) << good;
    for (const char *bad : {"evil.example", "localhost.evil.example", "tank.lan.evil", "[::1", "[evil]:1",
                            "127.0.0.1.nip.io", ":8088"})
        EXPECT_FALSE(WebHostAllowed(bad, v)) << bad;
    EXPECT_EQ(WebHostNames(v.hostnamen), QStringList({"tank.lan", "proxy.example.org"}));
    EXPECT_FALSE(WebHostNames(QStringLiteral("tank lan")));
    EXPECT_FALSE(WebHostNames(QStringLiteral("a/b")));
}

TEST(WebAuthCheck, ChecksOffTheLoopAFewAtATimeAndRemembers)
{
    const QString stored = HashWebPassword(QStringLiteral("geheim"), "salt", 20000);
    qint64 now = 0;
    WebAuthCheck check(QStringLiteral("tankmon"), stored, [&] { return now; });
    const auto basic = [](const char *pair) { return "Basic " + QByteArray(pair).toBase64(); };
    std::map<QString, std::optional<bool>> results;
    const auto into = [&](const QString &who) { return [&results, who](bool ok) { results[who] = ok; }; };
    using S = WebAuthCheck::Start;
    EXPECT_EQ(check.check("Bearer x", "10.0.0.1", into("a")), S::Malformed);
    EXPECT_EQ(check.check(basic("nocolon"), "10.0.0.1", into("a")), S::Malformed);
    // A wrong user name is derived as a wrong password is, not refused at once.
    EXPECT_EQ(check.check(basic("admin:geheim"), "10.0.0.1", into("user")), S::Started);
    EXPECT_EQ(check.check(basic("tankmon:geheim"), "10.0.0.1", into("busy")), S::AddressBusy);
    EXPECT_EQ(check.check(basic("tankmon:geheim"), "10.0.0.2", into("right")), S::Started);
    EXPECT_EQ(check.check(basic("tankmon:geheim"), "10.0.0.3", into("full")), S::AllBusy);
    EXPECT_EQ(check.running(), WebAuthCheck::kMaxRunning);
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }, 10000));
    EXPECT_EQ(results["user"], false);
    EXPECT_EQ(results["right"], true);
    EXPECT_EQ(check.running(), 0);
    // Remembered for a while, from any address; then checked again.
    EXPECT_EQ(check.check(basic("tankmon:geheim"), "10.0.0.9", into("again")), S::Known);
    now += WebAuthCheck::kRememberMs;
    EXPECT_EQ(check.check(basic("tankmon:geheim"), "10.0.0.9", into("later")), S::Started);
    EXPECT_EQ(check.check(basic("tankmon:wrong"), "10.0.0.8", into("wrong")), S::Started);
    ASSERT_TRUE(WaitFor([&] { return results.size() == 4; }, 10000));
    EXPECT_EQ(results["later"], true);
    EXPECT_EQ(results["wrong"], false);
}

// The tanks' query: site, state (or attention), offset and limit; anything
// else is refused with why, never taken as "all".
TEST(WebJson, TankQueryTakesItsFourParametersAndRefusesTheRest)
{
    QString error;
    const std::optional<WebTankQuery> q =
        ParseWebTankQuery("site=Hof%20Nord&state=attention&limit=5&offset=2", &error);
    ASSERT_TRUE(q) << qPrintable(error);
    EXPECT_EQ(q->site, "Hof Nord");
    EXPECT_EQ(std::pair(q->offset, q->limit), std::pair(qsizetype(2), qsizetype(5)));
    TankSnapshot s;
    s.site = "hof nord";
    EXPECT_FALSE(q->selects(s)); // ok needs no attention
    s.status.condition = TankCondition::Low;
    EXPECT_TRUE(q->selects(s));
    s.site.clear();
    EXPECT_TRUE(ParseWebTankQuery("site=local", &error)->selects(s));
    for (const char *bad : {"limit=abc", "limit=0", "offset=-1", "limit=100001", "state=purple",
                            "site=", "colour=red", "limit=5&limit=x"}) {
        error.clear();
        EXPECT_FALSE(ParseWebTankQuery(bad, &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}
