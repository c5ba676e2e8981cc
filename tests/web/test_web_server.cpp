// The web view of the real program, fed real telegrams over its TCP link:
// the API, the metrics, the event stream and the security rules, as a
// browser or a scraper would meet them.
#include "WebRequest.h"
#include "model/DeviceRecord.h"
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>

static QByteArray basic(const QByteArray &user, const QByteArray &password)
{
    return "Authorization: Basic " + (user + ':' + password).toBase64() + "\r\n";
}

static QJsonObject firstTank(const Reply &r)
{
    return QJsonDocument::fromJson(r.body).object().value("tanks").toArray().first().toObject();
}

class WebServerTest : public RunningProgramTest
{
protected:
    // The program with its TCP link and the web view on free ports.
    bool startWithWeb(const QByteArray &web = {})
    {
        webPort = FreeTcpPort();
        writeTcpSettings("[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(webPort) + "\r\n" + web);
        return start() && connectGateway(gateway);
    }
    // Device 4711's telegram with level; true once the API serves the level.
    bool send(int level)
    {
        gateway.write(MakeTelegram(4711, level, 17).toHex().toUpper() + '\n');
        return WaitFor([&] { return firstTank(request(webPort, "/api/v1/tanks"))["level"] == level; }, 10000);
    }
    // The event stream, open once its first event holds marker.
    bool openStream(const QByteArray &marker)
    {
        stream.connectToHost(QHostAddress::LocalHost, webPort);
        stream.write("GET /api/v1/events HTTP/1.1\r\nHost: x\r\n\r\n");
        return WaitFor([&] { return (events += stream.readAll()).contains(marker); }, 5000);
    }
    quint16 webPort = 0;
    QTcpSocket gateway, stream;
    QByteArray events;
};

TEST_F(WebServerTest, ApiMetricsAndEventsFollowTheTelegrams)
{
    ASSERT_TRUE(startWithWeb()) << output.constData();
    EXPECT_TRUE(output.contains("[web] Web view at http://127.0.0.1:" + QByteArray::number(webPort)));
    ASSERT_TRUE(send(1234));
    // The fields themselves: the JSON tests.
    EXPECT_EQ(firstTank(request(webPort, "/api/v1/tanks"))["state"], QStringLiteral("ok"));

    // The stream first gives the current state, then every change.
    ASSERT_TRUE(openStream("\"level\":1234"));
    EXPECT_TRUE(events.contains("Content-Type: text/event-stream"));
    gateway.write(MakeTelegram(4711, 2000, 17).toHex().toUpper() + '\n');
    QElapsedTimer seen;
    seen.start();
    EXPECT_TRUE(WaitFor([&] { return (events += stream.readAll()).contains("\"level\":2000"); }, 5000));
    EXPECT_LT(seen.elapsed(), 2000);

    const Reply metrics = request(webPort, "/metrics");
    EXPECT_EQ(metrics.status, 200);
    EXPECT_TRUE(metrics.body.contains("tankmon_telegrams_total{link=\"tcp\"} 2\n"))
        << metrics.body.constData();
    EXPECT_TRUE(
        metrics.body.contains("tankmon_level{tank=\"1\",serial=\"4711\",name=\"Tank 1\",unit=\"L\"} 2000\n"));

    // Path, status and content type; the settings file is never served.
    for (const QByteArray &route :
         QByteArray("/ 200 text/html|/app.js 200 text/javascript|/api/v1/openapi.json 200 application/json|"
                    "/api/v1/tanks/1/history 200 application/json|"
                    "/api/v1/tanks/1/history?format=csv&from=2020-01-01T00:00:00Z 200 text/csv|"
                    "/api/v1/tanks/1/history?from=yesterday 400 text/plain|"
                    "/api/v1/tanks/1/consumption 200 application/json|/api/v1/tanks/2/history 404 text/plain|"
                    "/api/v1/tanks/x/history 404 text/plain|/../../etc/passwd 400 text/plain|"
                    "/api/v1/../../Tankmon.ini 400 text/plain|/%2e%2e/Tankmon.ini 400 text/plain|"
                    "/static/..%2fTankmon.ini 400 text/plain|/Tankmon.ini 404 text/plain")
             .split('|')) {
        const QList<QByteArray> r = route.split(' ');
        const Reply reply = request(webPort, r[0]);
        EXPECT_EQ(reply.status, r[1].toInt()) << route.constData();
        EXPECT_TRUE(reply.head.contains("Content-Type: " + r[2]))
            << route.constData() << reply.head.constData();
        EXPECT_FALSE(reply.body.contains("[LngPtnr]")) << route.constData();
    }
    EXPECT_EQ(request(webPort, "/api/v1/tanks", "Content-Length: 5\r\n\r\nhello").status, 413);
    EXPECT_EQ(
        request(webPort, "/api/v1/tanks", "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n").status,
        413);
}

TEST_F(WebServerTest, PasswordTlsAndTheAddressRule)
{
    // The password is stored by the command line as a hash, never as itself.
    webPort = FreeTcpPort();
    writeTcpSettings("[Web]\r\nAktiv=1\r\nAdresse=0.0.0.0\r\nPort=" + QByteArray::number(webPort) + "\r\n");
    ASSERT_EQ(tool({"--set-password", "web"}, "s3cret wörd\n"), 0) << qPrintable(err);
    const QByteArray ini = readBytes(iniPath());
    EXPECT_TRUE(ini.contains("Password=pbkdf2-sha256$")) << ini.constData();
    EXPECT_FALSE(ini.contains("s3cret"));

    // Beyond loopback without TLS: not started, and said so.
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitOutput("Web view not started: 0.0.0.0"));
    EXPECT_EQ(request(webPort, "/").status, 0);
    ASSERT_TRUE(terminate());

    // With a certificate and key it serves, over TLS only, and only with the password.
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                   "-keyout", dataDir() + "key.pem", "-out", dataDir() + "cert.pem"});
    ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
    QByteArray settings = readBytes(iniPath());
    // The file is in Windows-1252: "Schlüssel".
    settings.replace("[Web]\r\n", "[Web]\r\nZertifikat=" + dataDir().toUtf8() +
                                      "cert.pem\r\nSchl\xFCssel=" + dataDir().toUtf8() + "key.pem\r\n");
    writeBytes(iniPath(), settings);
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitOutput("[web] Web view at https://localhost:" + QByteArray::number(webPort)));
    EXPECT_EQ(request(webPort, "/api/v1/tanks").status, 0); // plain HTTP gets no answer
    EXPECT_EQ(request(webPort, "/api/v1/tanks", {}, true).status, 401);
    const Reply wrong1 = request(webPort, "/metrics", basic("tankmon", "guess"), true);
    const Reply wrong2 = request(webPort, "/metrics", basic("tankmon", "guess"), true);
    const Reply wrong3 = request(webPort, "/metrics", basic("tankmon", "guess"), true);
    EXPECT_EQ(wrong3.status, 401);
    EXPECT_TRUE(wrong3.head.contains("WWW-Authenticate: Basic"));
    EXPECT_GE(wrong3.ms, 1000); // the third wrong guess waits 1 s, the first 250 ms
    EXPECT_GT(wrong3.ms, wrong1.ms);
    EXPECT_EQ(request(webPort, "/metrics", basic("admin", "s3cret wörd"), true).status, 401);
    const Reply right = request(webPort, "/api/v1/tanks", basic("tankmon", "s3cret wörd"), true);
    EXPECT_EQ(std::pair(right.status, right.body), std::pair(200, QByteArray("{\"tanks\":[]}")));
}

TEST_F(WebServerTest, IdleConnectionsNeitherStopEvaluationNorTheStream)
{
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_GE(files.rlim_cur, rlim_t(1100)) << "too few file descriptors for this test";
    ASSERT_TRUE(startWithWeb()) << output.constData();
    ASSERT_TRUE(openStream("event: tanks"));
    // Every telegram reaches the stream (how fast is bench_web's to measure).
    int level = 100;
    const auto telegramsReachTheStream = [&] {
        for (int i = 0; i < 5; ++i) {
            const QByteArray want = "\"level\":" + QByteArray::number(++level);
            gateway.write(MakeTelegram(4711, level).toHex().toUpper() + '\n');
            if (!WaitFor([&] { return (events += stream.readAll()).contains(want); }, 5000))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(telegramsReachTheStream());
    const IdleClients idle(webPort, 1000);
    // All are taken; the program keeps what its limit allows and closes the rest.
    ASSERT_TRUE(WaitFor([&] { return idle.open() <= 255; }, 20000)) << idle.open();
    EXPECT_TRUE(telegramsReachTheStream());
    EXPECT_EQ(stream.state(), QAbstractSocket::ConnectedState);
}

TEST_F(WebServerTest, StateLossMeterAndChartAsTheProgramJudgesThem)
{
    // Tank 1 warns below 60 % of its own: the fleet view's rule, not the e-mail threshold's.
    ASSERT_TRUE(startWithWeb("[Ger\xE4t1]\r\nWarnschwelle=60\r\n")) << output.constData();
    ASSERT_TRUE(send(4000));
    // Then a fall from 80 % to 40 % of the 5000 L, far beyond any use: a loss.
    ASSERT_TRUE(send(2000));
    const QJsonObject tank = firstTank(request(webPort, "/api/v1/tanks"));
    EXPECT_EQ(tank["percent"], 40);
    // Low by its own threshold, but an open loss is the more urgent state.
    EXPECT_EQ(tank["state"], QStringLiteral("loss")) << QJsonDocument(tank).toJson().constData();
    EXPECT_EQ(tank["loss"], true);
    EXPECT_TRUE(tank["consumed"].isDouble()) << QJsonDocument(tank).toJson().constData();

    // The chart as the program draws it, at the size asked for.
    const Reply png = request(webPort, "/api/v1/tanks/1/chart.png?width=400&height=300&months=1");
    ASSERT_EQ(png.status, 200) << png.head.constData() << png.body.constData();
    EXPECT_TRUE(png.head.contains("Content-Type: image/png"));
    EXPECT_EQ(QImage::fromData(png.body, "PNG").size(), QSize(400, 300));
    for (const char *bad : {"width=99999", "height=10", "months=-1", "percent=yes", "width=4e2"})
        EXPECT_EQ(request(webPort, QByteArray("/api/v1/tanks/1/chart.png?") + bad).status, 400) << bad;
    EXPECT_EQ(request(webPort, "/api/v1/tanks/9/chart.png").status, 404);

    // More pictures at once than the program draws at once: the rest are told to come back.
    const IdleClients clients(webPort, 4);
    for (const auto &c : clients.sockets)
        c->write("GET /api/v1/tanks/1/chart.png?percent=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    QList<QByteArray> answers(4);
    ASSERT_TRUE(WaitFor(
        [&] {
            for (int i = 0; i < 4; ++i)
                answers[i] += clients.sockets[size_t(i)]->readAll();
            return std::all_of(answers.begin(), answers.end(), [](const QByteArray &a) {
                return a.startsWith("HTTP/1.1 503") || a.endsWith("IEND\xAE\x42\x60\x82");
            });
        },
        30000));
    EXPECT_EQ(std::count_if(answers.begin(), answers.end(),
                            [](const QByteArray &a) {
                                return a.startsWith("HTTP/1.1 503") && a.contains("\r\nRetry-After: 5\r\n");
                            }),
              2);
}

// A tank file longer than the history holds: the web view serves its newest
// entries, the present, not its oldest.
TEST_F(WebServerTest, LongTankFileServesItsNewestEntries)
{
    // One line a minute from 1 January 2025 on, levels alternating (none thinned).
    QByteArray lines, day;
    for (int i = 0; i <= TankHistory::kMaxEntries; ++i) {
        if (i % 1440 == 0)
            day = QDate(2025, 1, 1).addDays(i / 1440).toString("dd.MM.yyyy").toLatin1();
        char line[64];
        std::snprintf(line, sizeof line, "%s %02d:%02d:00,%d,Liter,12\r\n", day.constData(), i % 1440 / 60,
                      i % 60, 1000 + i % 2);
        lines += line;
    }
    writeBytes(dataDir() + "Tank1.csv", lines);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", "UTC"); // the file's times are the zone's; asked for in UTC below
    run.setProcessEnvironment(env);
    ASSERT_TRUE(startWithWeb("[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nTankvolumen=5000\r\n"))
        << output.constData();
    const auto rows = [&](const QByteArray &from, const QByteArray &to) {
        const Reply r = request(webPort, "/api/v1/tanks/1/history?format=csv&from=" + from + "&to=" + to);
        EXPECT_EQ(r.status, 200) << r.head.constData();
        return r.body.trimmed().split('\n').mid(1);
    };
    // The first line gave way; the last one, 500 000 minutes on, is there.
    const QList<QByteArray> first = rows("2025-01-01T00:00:00Z", "2025-01-01T00:01:30Z");
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(first[0].startsWith("2025-01-01T00:01:00")) << first[0].constData();
    const QByteArray last = QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC)
                                .addSecs(qint64(TankHistory::kMaxEntries) * 60)
                                .toString(Qt::ISODate)
                                .toLatin1();
    const QList<QByteArray> end = rows(last, "2026-01-01T00:00:00Z");
    ASSERT_EQ(end.size(), 1);
    EXPECT_TRUE(end[0].startsWith(last.chopped(1))) << end[0].constData();
}
