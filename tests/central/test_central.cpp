// The central installation against a real mosquitto broker started by the
// test: sites published with mosquitto_pub, the centre as the real program
// (its web API tells what it shows) or as its parts in this process, mails
// to a real aiosmtpd peer.
#include "email/SmtpPeer.h"
#include "mqtt/MqttPeers.h"
#include "support/ProgramRun.h"
#include "web/WebRequest.h"

#include "central/CentralNotifier.h"
#include "central/Centre.h"
#include "central/RemoteHistory.h"
#include "email/SmtpSender.h"
#include "model/NotificationLog.h"
#include "model/SiteTanks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

namespace
{
// A state as a site's program publishes it; extra: the fields a newer site adds.
QByteArray State(double level, const char *state = "ok", const QByteArray &extra = {}, int laterSecs = 0)
{
    return R"({"serial":4711,"level":)" + QByteArray::number(level) +
           R"(,"unit":"L","percent":40,"temperature":12,"time":")" +
           QDateTime::currentDateTime()
               .addSecs(laterSecs)
               .toOffsetFromUtc(3600)
               .toString(Qt::ISODate)
               .toLatin1() +
           R"(","alarm":false,"error":null,"days_until_empty":30.5,"state":")" + state +
           R"(","loss":false,"consumed":0,"energy":null)" + extra + "}";
}

bool Publish(quint16 port, const QByteArray &topic, const QByteArray &payload, bool retain = true)
{
    QStringList args{"-p", QString::number(port), "-t", topic, "-m", payload};
    if (retain)
        args << "-r";
    return QProcess::execute("mosquitto_pub", args) == 0;
}

QJsonArray Tanks(quint16 web, const QByteArray &query)
{
    return QJsonDocument::fromJson(request(web, "/api/v1/tanks" + query).body)["tanks"].toArray();
}

class Central : public RunningProgramTest
{
protected:
    Broker broker;
    quint16 web = FreeTcpPort();
    bool startCentre()
    {
        writeTcpSettings(
            "[Zentrale]\r\nAktiv=1\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(broker.port) +
            "\r\nFilter=farm/+\r\n[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(web) + "\r\n");
        return start();
    }
};
} // namespace

// Two sites with their retained tanks appear, each under its own name (the
// one it publishes, else its topic's last level); a site of an older program,
// whose payload lacks name, capacity and site, still shows. A site's last
// will marks it offline. The sites are listed by name, numbers by value.
TEST_F(Central, TwoSitesAppearAndALastWillMarksOneOffline)
{
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(Publish(broker.port, "farm/north/status", "online"));
    ASSERT_TRUE(Publish(broker.port, "farm/north/tank1/state",
                        State(1500, "ok", R"(,"name":"Diesel","capacity":5000,"site":"Hof Nord")")));
    ASSERT_TRUE(Publish(broker.port, "farm/north/tank2/state",
                        State(90, "very_low", R"(,"name":"Heizöl","capacity":3000,"site":"Hof Nord")")));
    ASSERT_TRUE(Publish(broker.port, "farm/south/tank3/state", State(777)));
    ASSERT_TRUE(Publish(broker.port, "other/west/tank1/state", State(1))); // outside the filter
    // The south site's program: online until its connection breaks.
    QProcess south;
    south.start("mosquitto_sub", {"-p", QString::number(broker.port), "-t", "nothing", "--will-topic",
                                  "farm/south/status", "--will-payload", "offline", "--will-retain"});
    ASSERT_TRUE(south.waitForStarted());
    ASSERT_TRUE(Publish(broker.port, "farm/south/status", "online"));
    ASSERT_TRUE(startCentre());

    QJsonArray all;
    ASSERT_TRUE(WaitFor(
        [&] {
            all = Tanks(web, "");
            return all.size() == 3;
        },
        15000))
        << QJsonDocument(all).toJson().constData();
    const QJsonArray north = Tanks(web, "?site=Hof%20Nord");
    ASSERT_EQ(north.size(), 2);
    EXPECT_EQ(north[0]["name"].toString(), "Diesel");
    EXPECT_EQ(north[1]["name"].toString(), QString::fromUtf8("Heizöl"));
    EXPECT_EQ(north[1]["state"].toString(), "very_low");
    const QJsonArray old = Tanks(web, "?site=south");
    ASSERT_EQ(old.size(), 1);
    EXPECT_EQ(old[0]["number"].toInt(), 3);
    EXPECT_EQ(old[0]["level"].toDouble(), 777);
    EXPECT_EQ(old[0]["percent"].toDouble(), 40);
    EXPECT_EQ(Tanks(web, "?state=attention").size(), 1);
    EXPECT_EQ(Tanks(web, "?limit=1&offset=2").at(0)["site"].toString(), "south");
    EXPECT_EQ(request(web, "/api/v1/tanks?limit=0").status, 400);
    EXPECT_EQ(request(web, "/api/v1/tanks?state=purple").status, 400);

    // The event stream: every remote tank at once, then each change.
    QTcpSocket events;
    events.connectToHost(QHostAddress::LocalHost, web);
    ASSERT_TRUE(events.waitForConnected(5000));
    events.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(web) + "\r\n\r\n");
    QByteArray stream;
    const auto streamHas = [&](const QByteArray &part) {
        return WaitFor(
            [&] {
                stream += events.readAll();
                return stream.contains(part);
            },
            15000);
    };
    ASSERT_TRUE(streamHas("event: remote\ndata: ")) << stream.constData();
    EXPECT_TRUE(stream.contains("\"site\":\"Hof Nord\"")) << stream.constData();
    stream.clear();
    ASSERT_TRUE(Publish(broker.port, "farm/north/tank1/state",
                        State(1234, "ok", R"(,"name":"Diesel","capacity":5000,"site":"Hof Nord")", 60)));
    EXPECT_TRUE(streamHas("\"level\":1234")) << stream.constData();
    EXPECT_TRUE(stream.contains("event: remote")) << stream.constData();

    // A remote tank's history: the centre's record of its site (a name with
    // a blank), then the level the site sent last; its consumption.
    const auto levels = [&] {
        QList<double> out;
        for (const QJsonValue p :
             QJsonDocument::fromJson(request(web, "/api/v1/sites/Hof%20Nord/tanks/1/history").body)["points"]
                 .toArray())
            out << p[1].toDouble();
        return out;
    };
    EXPECT_TRUE(WaitFor(
        [&] {
            return levels() == QList<double>{1500, 1234};
        },
        15000))
        << request(web, "/api/v1/sites/Hof%20Nord/tanks/1/history").body.constData();
    EXPECT_TRUE(QFile::exists(dataDir() + "Zentrale/Hof Nord/Tank1.csv"));
    EXPECT_EQ(request(web, "/api/v1/sites/Hof%20Nord/tanks/1/consumption").status, 200);
    for (const char *path : {"/api/v1/sites/Hof%20West/tanks/1/history",
                             "/api/v1/sites/south/tanks/1/history", "/api/v1/sites/south/tanks/3/chart.png"})
        EXPECT_EQ(request(web, path).status, 404) << path;

    const auto southOnline = [&] {
        for (const QJsonValue s :
             QJsonDocument::fromJson(request(web, "/api/v1/sites").body)["sites"].toArray())
            if (s["name"] == "south")
                return s["online"].toBool();
        return true;
    };
    EXPECT_TRUE(southOnline());
    ::kill(pid_t(south.processId()), SIGKILL);
    south.waitForFinished();
    EXPECT_TRUE(WaitFor([&] { return !southOnline(); }, 15000))
        << request(web, "/api/v1/sites").body.constData();
    const QByteArray metrics = request(web, "/metrics").body;
    EXPECT_TRUE(metrics.contains("tankmon_site_online{site=\"south\"} 0\n")) << metrics.constData();
    EXPECT_TRUE(metrics.contains("tankmon_site_tanks{site=\"Hof Nord\",state=\"very_low\"} 1\n"));
    EXPECT_TRUE(metrics.contains("tankmon_volume_litres{site=\"Hof Nord\",tank=\"1\"} 1234\n"));

    // The sites by name as people read them, whatever came first.
    ASSERT_TRUE(Publish(broker.port, "farm/10/tank1/state", State(10)));
    ASSERT_TRUE(Publish(broker.port, "farm/2/tank1/state", State(2)));
    QStringList names;
    EXPECT_TRUE(WaitFor(
        [&] {
            names.clear();
            for (const QJsonValue s :
                 QJsonDocument::fromJson(request(web, "/api/v1/sites").body)["sites"].toArray())
                names << s["name"].toString();
            return names.size() == 5;
        },
        15000));
    EXPECT_EQ(names.join(", "), "local, 2, 10, Hof Nord, south");
}

// The section's values through the command line, checked as the broker
// would take them; the password stored scrambled, never in clear.
TEST_F(Central, SettingsAndPasswordFromTheCommandLine)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n");
    const QByteArray before = readBytes(iniPath());
    EXPECT_EQ(tool({"--set", "Zentrale/Filter=farm/#/north"}), 2);
    EXPECT_EQ(tool({"--set", "Zentrale/Port=0"}), 2);
    EXPECT_EQ(readBytes(iniPath()), before);
    ASSERT_EQ(tool({"--set", "Zentrale/Aktiv=1", "--set", "Zentrale/Filter=farm/+"}), 0) << qPrintable(err);
    ASSERT_EQ(tool({"--set-password", "central"}, "s3cret\n"), 0) << qPrintable(err);
    EXPECT_EQ(tool({"--get", "Zentrale/Password"}), 0);
    EXPECT_EQ(out, "(set)\n");
    EXPECT_FALSE(readBytes(iniPath()).contains("s3cret"));
    EXPECT_EQ(tool({"--get", "Zentrale/Filter"}), 0);
    EXPECT_EQ(out, "farm/+\n");
}

namespace
{
// The centre's parts in this process: its subscription, the store, the
// notifier with its list and a real mail sender.
struct CentreParts {
    explicit CentreParts(quint16 brokerPort, quint16 smtpPort)
    {
        CentralValues v;
        v.host = "127.0.0.1";
        v.port = brokerPort;
        v.filter = "farm/+";
        SmtpServer server;
        server.host = "127.0.0.1";
        server.port = QString::number(smtpPort);
        server.startTls = false;
        server.login = false;
        server.sender = "central@example.org";
        notifier = std::make_unique<CentralNotifier>(
            log,
            [this, server](const QString &subject, const QString &body) {
                ++mailsQueued;
                sender.SMTP_Send(server, "dealer@example.org", subject, body, [](const SmtpResult &) {});
            },
            texts, SystemClock(), 300);
        centre = std::make_unique<Centre>(sites, v, QString(), 24, SystemClock());
        history = std::make_unique<RemoteHistory>(folder.path(), 0, texts);
        QObject::connect(centre.get(), &Centre::tankUpdated, history.get(), &RemoteHistory::record);
        QObject::connect(centre.get(), &Centre::tankChanged, notifier.get(), &CentralNotifier::tankChanged);
        QObject::connect(centre.get(), &Centre::tankUpdated, [this] { ++updates; });
        QObject::connect(centre.get(), &Centre::brokerState, [this](bool up) { connections += up; });
        centre->start();
    }
    Texts texts{2};
    NotificationLog log;
    SmtpSender sender{SmtpTransport{}};
    SiteTanks sites;
    std::unique_ptr<CentralNotifier> notifier;
    QTemporaryDir folder;
    std::unique_ptr<RemoteHistory> history;
    std::unique_ptr<Centre> centre;
    int updates = 0, connections = 0, mailsQueued = 0;
};
} // namespace

// A live change of two tanks' states becomes two notifications and one
// mail (a digest) naming the site; a broker restart that replays every state
// retained is the known state again and sends nothing.
TEST(CentralNotifications, ChangesMailOnceAndABrokerRestartMailsNothing)
{
    Broker broker;
    broker.persistent = true;
    ASSERT_TRUE(broker.start());
    SmtpPeer smtp({});
    for (int n = 1; n <= 2; ++n)
        ASSERT_TRUE(
            Publish(broker.port, "farm/east/tank" + QByteArray::number(n) + "/state", State(1000 + n)));
    // A tank in a fault before the centre starts: known, not news.
    ASSERT_TRUE(Publish(broker.port, "farm/east/tank3/state",
                        State(0, "fault").replace("\"error\":null", "\"error\":8")));
    CentreParts c(broker.port, smtp.port);
    ASSERT_TRUE(WaitFor([&] { return c.updates == 3; }, 15000));
    EXPECT_EQ(c.log.events().size(), 0u); // the known state tells nothing

    ASSERT_TRUE(Publish(broker.port, "farm/east/tank1/state", State(1001, "alarm")));
    ASSERT_TRUE(Publish(broker.port, "farm/east/tank2/state", State(5, "very_low")));
    ASSERT_TRUE(WaitFor([&] { return smtp.messages.size() == 1; }, 15000));
    ASSERT_EQ(c.log.events().size(), 2u);
    EXPECT_EQ(c.log.events()[0].kind, NotificationLog::Kind::AlarmStarted);
    EXPECT_EQ(c.log.events()[0].tankLabel, "east: 1");
    const QByteArray mail = smtp.messages[0].second;
    EXPECT_TRUE(mail.contains("Subject: Tankmon 2 changes at the sites east")) << mail.constData();
    EXPECT_TRUE(mail.contains("east: 2")) << mail.constData();

    // The broker goes down with everything retained and comes back.
    broker.proc.terminate();
    ASSERT_TRUE(broker.proc.waitForFinished(10000));
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(WaitFor([&] { return c.connections == 2 && c.updates == 3 + 2 + 3; }, 20000))
        << c.connections << ' ' << c.updates;
    EXPECT_EQ(c.notifier->pending(), 0);
    EXPECT_EQ(c.log.events().size(), 2u);
    EXPECT_EQ(c.mailsQueued, 1);

    // Each reading in the site's own folder, read back for the views (the
    // first from the file: the site has sent another since); a tank in a
    // fault has no level to record.
    ASSERT_TRUE(WaitFor([&] { return c.history->written() >= 2; }));
    const auto table = RemoteHistory::LoadSite(c.folder.path(), c.sites, c.sites.sitesNamed("east").value(0),
                                               QDateTime::currentSecsSinceEpoch());
    ASSERT_EQ(table->DeviceCount, 3);
    ASSERT_GE((*table)[2].History.count(), 1);
    EXPECT_EQ((*table)[1].History.HistoryValues[1], 1001);
    EXPECT_EQ((*table)[2].History.HistoryValues[1], 1002);
    EXPECT_EQ((*table)[2].Volumen, 5);
    EXPECT_EQ((*table)[3].History.count(), 0);
}
