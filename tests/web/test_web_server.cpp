// The web view of the real program, fed real telegrams over its TCP link:
// the API, the metrics, the event stream and the security rules, as a
// browser or a scraper would meet them.
#include "WebRequest.h"
#include "model/ConditionLook.h"
#include "model/DeviceRecord.h"
#include "support/ProgramRun.h"
#include "support/Telegrams.h"
#include "web/WebTls.h"

#include "core/DateText.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
        stream.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        return WaitFor([&] { return (events += stream.readAll()).contains(marker); }, 5000);
    }
    quint16 webPort = 0;
    QTcpSocket gateway, stream;
    QByteArray events;
};

// The fields, the event stream and the metrics: the JSON and one-view tests
// and the ones below; here what each route serves.
TEST_F(WebServerTest, RoutesAndThePageTheyServe)
{
    ASSERT_TRUE(startWithWeb()) << output.constData();
    EXPECT_TRUE(output.contains("[web] Web view at http://127.0.0.1:" + QByteArray::number(webPort)));
    ASSERT_TRUE(send(1234));

    // Path, status and content type; the settings file is never served.
    for (const QByteArray &route :
         QByteArray("/ 200 text/html|/app.js 200 text/javascript|/states.css 200 "
                    "text/css|/api/v1/openapi.json 200 application/json|"
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

    // The page's words after a number agree with it; its states sort worst
    // first and look as on the desktop (the looks' own table).
    const QByteArray page = request(webPort, "/").body;
    const QByteArray opening = R"(<script id="texts" type="application/json">)";
    const qsizetype from = page.indexOf(opening) + opening.size();
    const QJsonObject texts =
        QJsonDocument::fromJson(page.mid(from, page.indexOf("</script>", from) - from)).object();
    EXPECT_EQ(texts["monthsN"].toObject()["1"], "1 month");
    EXPECT_EQ(texts["monthsN"].toObject()["12"], "12 months");
    const QJsonArray attention = texts["attentionN"].toArray();
    ASSERT_EQ(attention.size(), 200); // the page takes the form of 100 + n % 100 beyond
    EXPECT_EQ(attention[112], "112 tanks need attention");
    EXPECT_EQ(attention[1], "1 tank needs attention");
    EXPECT_EQ(attention[7], "7 tanks need attention");
    const QByteArray css = request(webPort, "/states.css").body;
    QStringList order;
    for (const QJsonValue v : texts["order"].toArray()) {
        order << v.toString();
        const TankCondition c = ConditionsWorstFirst().at(order.size() - 1);
        EXPECT_TRUE(css.contains(".st-" + v.toString().toLatin1() + " { --c: " + LookOf(c).colour +
                                 "; --i: " + LookOf(c).ink))
            << css.constData();
    }
    EXPECT_EQ(order.join(' '), "alarm silent fault loss very_low low ok");
}

TEST_F(WebServerTest, HostsMethodsLengthsAndTheOrderOfAnswers)
{
    ASSERT_TRUE(startWithWeb("Hostnamen=tank.lan\r\n")) << output.constData();
    ASSERT_TRUE(send(1234));
    // A rebound DNS name reaches the program as a foreign Host: nothing for it.
    const auto asHost = [&](const QByteArray &host) {
        return exchange(webPort, "GET /api/v1/tanks HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    };
    const Reply foreign = asHost("attacker.example:" + QByteArray::number(webPort));
    EXPECT_EQ(foreign.status, 421);
    EXPECT_FALSE(foreign.body.contains("4711"));
    // The names of its own (which others: WebSettings) and the one configured.
    EXPECT_EQ(asHost("tank.lan").status, 200);

    // HEAD answers as GET without the body; other methods are told what is allowed.
    const Reply head = exchange(webPort, "HEAD /api/v1/tanks HTTP/1.1\r\nHost: localhost\r\n\r\n");
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.head.contains("Content-Length: ") && !head.head.contains("Content-Length: 0"));
    EXPECT_TRUE(head.body.isEmpty());
    const Reply post = exchange(webPort, "DELETE /api/v1/tanks HTTP/1.1\r\nHost: localhost\r\n\r\n");
    EXPECT_EQ(post.status, 405);
    EXPECT_TRUE(post.head.contains("\r\nAllow: GET, HEAD")) << post.head.constData();

    // Pipelined: the chart takes seconds, the tanks none; still in order.
    QTcpSocket pipe;
    pipe.connectToHost(QHostAddress::LocalHost, webPort);
    pipe.write("GET /api/v1/tanks/1/chart.png?width=300&height=200 HTTP/1.1\r\nHost: localhost\r\n\r\n"
               "GET /api/v1/tanks HTTP/1.1\r\nHost: localhost\r\n\r\n"
               "HEAD /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray all;
    // The third is HEAD's: its head alone.
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::vector<qsizetype> ends = answerEnds(all += pipe.readAll());
            return ends.size() >= 2 && all.indexOf("\r\n\r\n", ends[1]) >= 0;
        },
        30000))
        << all.left(300).constData();
    const std::vector<qsizetype> ends = answerEnds(all);
    EXPECT_TRUE(all.left(ends[0]).contains("Content-Type: image/png")) << all.left(200).constData();
    EXPECT_TRUE(all.mid(ends[0], ends[1] - ends[0]).contains("\"serial\":4711"));
    EXPECT_TRUE(all.mid(ends[1]).contains("Content-Type: text/plain; version=0.0.4"));
}

// Raw requests from another loopback address on threads of their own, as
// an attacker's tool sends them, until stopped; the statuses they got.
struct Attack {
    Attack(quint16 port, int threads, const QByteArray &raw)
    {
        for (int i = 0; i < threads; ++i)
            workers.emplace_back([this, port, raw] {
                while (!stop) {
                    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
                    sockaddr_in from{}, to{};
                    from.sin_family = to.sin_family = AF_INET;
                    from.sin_addr.s_addr = htonl(0x7F000002); // 127.0.0.2
                    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                    to.sin_port = htons(port);
                    // It does not wait for the refusal's delay, but comes again.
                    timeval t{0, 100000};
                    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
                    QByteArray got;
                    if (::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0 &&
                        ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 &&
                        ::send(fd, raw.constData(), size_t(raw.size()), MSG_NOSIGNAL) == raw.size()) {
                        char buf[4096];
                        for (ssize_t n;
                             !got.contains("\r\n\r\n") && (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
                            got.append(buf, n);
                    }
                    ::close(fd);
                    {
                        std::lock_guard<std::mutex> g(lock);
                        ++statuses[got.mid(9, 3).toInt()];
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            });
    }
    ~Attack() { finish(); }
    void finish()
    {
        stop = true;
        for (std::thread &w : workers)
            if (w.joinable())
                w.join();
    }
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::map<int, int> statuses;
    std::vector<std::thread> workers;
};

TEST_F(WebServerTest, WrongPasswordsAndSlowHeadsFromOneAddressHoldUpNobody)
{
    webPort = FreeTcpPort();
    writeTcpSettings("[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(webPort) + "\r\n");
    ASSERT_EQ(tool({"--set-password", "web"}, "richtig\n"), 0) << qPrintable(err);
    ASSERT_TRUE(start() && connectGateway(gateway));
    const QByteArray right = basic("tankmon", "richtig");
    // The legitimate client is answered within 2 s, and sees each new telegram within 2 s.
    int level = 1000;
    const auto legitimateServed = [&](int times) {
        for (int i = 0; i < times; ++i) {
            const Reply r = request(webPort, "/api/v1/tanks", right);
            EXPECT_EQ(r.status, 200) << r.head.constData();
            EXPECT_LT(r.ms, 2000);
            gateway.write(MakeTelegram(4711, ++level, 17).toHex().toUpper() + '\n');
            QElapsedTimer seen;
            seen.start();
            const bool shown = WaitFor(
                [&] { return firstTank(request(webPort, "/api/v1/tanks", right))["level"] == level; }, 10000);
            EXPECT_TRUE(shown && seen.elapsed() < 2000) << seen.elapsed();
        }
    };
    legitimateServed(1);
    {
        // Four threads of wrong passwords, and wrong user names.
        Attack guesses(webPort, 2,
                       "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n" + basic("tankmon", "falsch") + "\r\n");
        Attack users(webPort, 2,
                     "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n" + basic("root", "richtig") + "\r\n");
        legitimateServed(10);
        guesses.finish();
        users.finish();
        // The busy checker says so at once rather than keeping the guesser waiting.
        std::map<int, int> all = guesses.statuses;
        for (const auto &[status, n] : users.statuses)
            all[status] += n;
        EXPECT_GT(all[429], 0);
        EXPECT_EQ(all[200], 0);
    }
    // A guess that gets its turn is refused, after its delay.
    Reply guess;
    EXPECT_TRUE(WaitFor(
        [&] {
            guess = request(webPort, "/metrics", basic("tankmon", "falsch"), false,
                            QHostAddress(QStringLiteral("127.0.0.2")));
            return guess.status != 429 && guess.status != 503;
        },
        30000));
    EXPECT_EQ(guess.status, 401);
    // Slowloris: many connections trickling their heads from one address.
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 300; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->bind(QHostAddress(QStringLiteral("127.0.0.2")));
        slow.back()->connectToHost(QHostAddress::LocalHost, webPort);
    }
    QTimer drip;
    int byte = 0;
    QObject::connect(&drip, &QTimer::timeout, [&] {
        const QByteArray head =
            "GET /api/v1/tanks HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + QByteArray(200, 'a');
        for (const auto &s : slow)
            if (s->state() == QAbstractSocket::ConnectedState)
                s->write(head.mid(byte % head.size(), 1));
        ++byte;
    });
    drip.start(200);
    WaitFor([&] { return byte >= 5; }, 5000);
    legitimateServed(3);
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
    for (const char *name : {"", "other"}) {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                  "/CN=127.0.0.1", "-keyout", dataDir() + name + "key.pem", "-out",
                                  dataDir() + name + "cert.pem"});
        ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
    }
    // Whether a key fits shows below; one that is no key fits nothing.
    EXPECT_FALSE(KeyFitsCertificate(readBytes(dataDir() + "cert.pem"), "garbage"));
    const QByteArray plain = readBytes(iniPath());
    const auto useKey = [&](const QByteArray &key) {
        // The file is in Windows-1252: "Schlüssel".
        writeBytes(iniPath(), QByteArray(plain).replace("[Web]\r\n",
                                                        "[Web]\r\nZertifikat=" + dataDir().toUtf8() +
                                                            "cert.pem\r\nSchl\xFCssel=" + dataDir().toUtf8() +
                                                            key + "\r\n"));
    };
    // A key of another certificate: every handshake would fail, so it does not start.
    useKey("otherkey.pem");
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitOutput("Web view not started: the key does not belong to the certificate."))
        << output.constData();
    EXPECT_FALSE(output.contains("[web] Web view at"));
    ASSERT_TRUE(terminate());
    useKey("key.pem");
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitOutput("[web] Web view at https://localhost:" + QByteArray::number(webPort)));
    // TLS 1.3, and for 1.2 only forward-secret AEAD suites.
    const auto handshake = [&](const QStringList &options) {
        QProcess client;
        client.start("openssl",
                     QStringList{"s_client", "-connect", "127.0.0.1:" + QString::number(webPort)} + options);
        client.closeWriteChannel();
        return client.waitForFinished(20000) && client.exitStatus() == QProcess::NormalExit &&
               client.exitCode() == 0;
    };
    EXPECT_TRUE(handshake({"-tls1_3"}));
    EXPECT_TRUE(handshake({"-tls1_2", "-cipher", "ECDHE-RSA-AES128-GCM-SHA256"}));
    EXPECT_TRUE(handshake({"-tls1_2", "-cipher", "ECDHE-RSA-CHACHA20-POLY1305"}));
    for (const char *old : {"AES128-SHA", "AES256-GCM-SHA384", "ECDHE-RSA-AES128-SHA",
                            "ECDHE-RSA-AES256-SHA384", "DHE-RSA-AES128-GCM-SHA256"})
        EXPECT_FALSE(handshake({"-tls1_2", "-cipher", old})) << old;
    EXPECT_FALSE(handshake({"-tls1_1"}));
    // Nor any other old suite the handshakes above do not try.
    for (const QSslCipher &c : WebCipherSuites())
        EXPECT_TRUE(!c.name().contains("CBC") && !c.name().contains("SHA1") && !c.name().endsWith("-SHA") &&
                    (c.name().startsWith("TLS_") || c.name().startsWith("ECDHE-")))
            << qPrintable(c.name());
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
    EXPECT_EQ(std::pair(right.status, right.body), std::pair(200, QByteArray("{\"tanks\":[],\"total\":0}")));
}

TEST_F(WebServerTest, IdleConnectionsNeitherStopEvaluationNorTheStream)
{
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_GE(files.rlim_cur, rlim_t(1100)) << "too few file descriptors for this test";
    ASSERT_TRUE(startWithWeb()) << output.constData();
    // The stream first gives the current state, then every change (how fast
    // is bench_web's to measure).
    ASSERT_TRUE(send(100) && openStream("\"level\":100"));
    EXPECT_TRUE(events.contains("Content-Type: text/event-stream"));
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
    // The program keeps what its limits allow and closes the rest.
    const IdleClients idle(webPort, 1000);
    ASSERT_TRUE(WaitFor([&] { return idle.open() <= 255; }, 20000)) << idle.open();
    EXPECT_TRUE(telegramsReachTheStream());
    EXPECT_EQ(stream.state(), QAbstractSocket::ConnectedState);
}

TEST_F(WebServerTest, ChartsAtTheSizeAskedForAndNoMoreAtOnceThanItDraws)
{
    ASSERT_TRUE(startWithWeb()) << output.constData();
    ASSERT_TRUE(send(4000) && send(3900));
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
        c->write("GET /api/v1/tanks/1/chart.png?percent=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
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

// The body of a chunked answer (its head cut off); empty until it is whole.
static QByteArray unchunked(const QByteArray &body)
{
    QByteArray out;
    for (qsizetype at = 0;;) {
        const qsizetype eol = body.indexOf("\r\n", at);
        if (eol < 0)
            return {};
        bool ok = false;
        const qsizetype size = body.mid(at, eol - at).toLongLong(&ok, 16);
        if (!ok || body.size() < eol + 2 + size + 2)
            return {};
        if (size == 0)
            return out;
        out += body.mid(eol + 2, size);
        at = eol + 2 + size + 2;
    }
}

TEST_F(WebServerTest, LongHistoriesAreStreamedAndSampled)
{
    // Tank 1 with 200 000 hourly points, over twenty years: a slow fall, one
    // deep dip and one peak that a chart must not lose.
    constexpr int kPoints = 200000;
    QByteArray file;
    // Naive times, as the file has them: no hour twice where summer time ends.
    const QDateTime first = QDateTime(QDate::currentDate(), QTime(0, 0), Qt::UTC).addSecs(-3600LL * kPoints);
    for (int i = 0; i < kPoints; ++i)
        file += FormatDateText(first.addSecs(3600LL * i)).toLatin1() + ',' +
                QByteArray::number(i == 123456  ? 7
                                   : i == 54321 ? 9999
                                                : 3000 + i % 1000) +
                ",Liter,12\r\n";
    writeBytes(dataDir() + "Tank1.csv", file);
    ASSERT_TRUE(startWithWeb("[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=9\r\n"
                             "Tankvolumen=10000\r\n"))
        << output.constData();
    const auto points = [&](const QByteArray &query) {
        const Reply r = request(webPort, "/api/v1/tanks/1/history" + query);
        return QJsonDocument::fromJson(r.body).object().value("points").toArray();
    };
    for (const auto &[query, most] :
         {std::pair(QByteArray(), 4000), std::pair(QByteArray("?max_points=100"), 100)}) {
        const QJsonArray p = points(query);
        EXPECT_GT(p.size(), most / 2) << query.constData();
        EXPECT_LE(p.size(), most) << query.constData();
        QList<double> levels;
        for (const QJsonValue &v : p)
            levels << v.toArray().at(1).toDouble();
        EXPECT_TRUE(levels.contains(7) && levels.contains(9999)) << query.constData();
    }
    for (const char *bad : {"?max_points=1", "?max_points=many", "?format=xml"})
        EXPECT_EQ(request(webPort, QByteArray("/api/v1/tanks/1/history") + bad).status, 400) << bad;

    // Two long exports to clients that do not read: a third waits its turn,
    // everyone else is answered meanwhile.
    const QByteArray csv = "GET /api/v1/tanks/1/history?format=csv HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    int stalled[2];
    for (int &fd : stalled) {
        // A small window: the program soon has to wait for them.
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(webPort);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        ASSERT_EQ(::send(fd, csv.constData(), size_t(csv.size()), MSG_NOSIGNAL), csv.size());
    }
    QElapsedTimer t;
    t.start();
    Reply third;
    ASSERT_TRUE(WaitFor([&] { return (third = exchange(webPort, csv)).status == 503 || t.elapsed() > 10000; },
                        20000));
    EXPECT_EQ(third.status, 503);
    EXPECT_TRUE(third.head.contains("\r\nRetry-After: "));
    const Reply tanks = request(webPort, "/api/v1/tanks");
    EXPECT_EQ(tanks.status, 200);
    EXPECT_LT(tanks.ms, 2000);

    // Once one of them ends, a whole export goes through, every point in it.
    ::close(stalled[0]);
    // As a client honouring Retry-After: again while the program has not yet seen it go.
    QTcpSocket reader;
    QByteArray all, body;
    const auto ask = [&] {
        all.clear();
        reader.abort();
        reader.connectToHost(QHostAddress::LocalHost, webPort);
        reader.write(csv);
    };
    ask();
    ASSERT_TRUE(WaitFor(
        [&] {
            all += reader.readAll();
            if (all.startsWith("HTTP/1.1 503") && all.contains("\r\n\r\n"))
                ask();
            return !(body = unchunked(all.mid(all.indexOf("\r\n\r\n") + 4))).isEmpty();
        },
        60000))
        << all.left(300).constData();
    EXPECT_TRUE(all.startsWith("HTTP/1.1 200")) << all.left(300).constData();
    EXPECT_TRUE(all.left(all.indexOf("\r\n\r\n")).contains("Transfer-Encoding: chunked"));
    const QList<QByteArray> lines = body.trimmed().split('\n');
    EXPECT_EQ(lines.size(), kPoints + 1) << lines.front().constData() << " ... " << lines.back().constData();
    EXPECT_EQ(lines.front(), "time;level;temperature\r");
    EXPECT_TRUE(lines[123457].contains(";7;12")) << lines[123457].constData();
    ::close(stalled[1]);
}

// The tools users point at the web view, on the real program's answers:
// promtool on the metrics; every endpoint's answers, the refusals included,
// against the OpenAPI description's own schemas (openapi_check.py, which
// also checks the description itself).
TEST_F(WebServerTest, MetricsAndAnswersPassTheirTools)
{
    // A tank in US gallons with two months of falling daily readings.
    QByteArray file;
    const QDate first = QDate::currentDate().addDays(-60);
    for (int i = 0; i < 60; ++i)
        file += FormatDateText(QDateTime(first.addDays(i), QTime(8, 0), Qt::UTC)).toLatin1() + ',' +
                QByteArray::number(5000 - 7 * i) + ",US Gal,12\r\n";
    writeBytes(dataDir() + "Tank1.csv", file);
    webPort = FreeTcpPort();
    writeTcpSettings("[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(webPort) +
                     "\r\n[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=9\r\n"
                     "Tankvolumen=10000\r\nEinheit=6\r\n");
    ASSERT_EQ(tool({"--set-password", "web"}, "pw\n"), 0) << qPrintable(err);
    ASSERT_TRUE(start() && connectGateway(gateway)) << output.constData();
    const QByteArray auth = basic("tankmon", "pw");
    gateway.write(MakeTelegram(4711, 1234, 17).toHex().toUpper() + '\n');
    Reply metrics;
    ASSERT_TRUE(WaitFor(
        [&] {
            metrics = request(webPort, "/metrics", auth);
            return metrics.body.contains("tankmon_telegrams_total{link=\"tcp\"} 1\n");
        },
        10000))
        << metrics.head.constData() << metrics.body.constData();

    // Gallons as litres under the one name of volumes; the unit by its own symbol.
    for (const char *line :
         {"tankmon_volume_litres{tank=\"1\"} 4671.19814146\n",
          "tankmon_tank_info{tank=\"1\",serial=\"4711\",name=\"Tank 1\",unit=\"US gal\"} 1\n",
          "tankmon_link_up{link=\"tcp\"} 1\n", "tankmon_link_up{link=\"serial\"} 0\n"})
        EXPECT_TRUE(metrics.body.contains(line)) << line << metrics.body.constData();
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start("promtool", {"check", "metrics"});
    promtool.write(metrics.body);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(30000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().constData() << metrics.body.constData();

    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    const QString cases =
        "GET /|GET /api/v1/openapi.json|GET /api/v1/tanks|GET /api/v1/tanks/1/history|"
        "GET /api/v1/tanks/1/history?format=csv&max_points=10|GET /api/v1/tanks/1/history?format=xml|"
        "GET /api/v1/tanks/1/history?max_points=1|GET /api/v1/tanks/1/history?from=yesterday|"
        "GET /api/v1/tanks/9/history|GET /api/v1/tanks/1/consumption|GET /api/v1/tanks/57/consumption|"
        "GET /api/v1/tanks/1/chart.png?width=300&height=200|GET /api/v1/tanks/1/chart.png?percent=2|"
        "GET /api/v1/events|GET /metrics|POST /metrics|GET /api/v1/tanks noauth|"
        "GET /api/v1/tanks host=rebound.example|GET "
        "/api/v1/tanks?site=local&state=attention&limit=5&offset=0|"
        "GET /api/v1/tanks?limit=0|GET /api/v1/tanks?state=purple|GET /api/v1/tanks?colour=red|GET "
        "/api/v1/sites";
    check.start("/usr/bin/python3", QStringList{TANKMON_SOURCE_DIR "/tests/web/openapi_check.py",
                                                QString::number(webPort), "--auth", "tankmon:pw"} +
                                        cases.split('|'));
    ASSERT_TRUE(check.waitForFinished(120000));
    const QByteArray said = check.readAll();
    EXPECT_EQ(check.exitCode(), 0) << said.constData();
    // Each case answered as expected, so none was checked against a schema it did not reach.
    for (const char *seen :
         {"GET /api/v1/tanks/1/consumption: 200", "history?format=xml: 400",
          "chart.png?width=300&height=200: 200 image/png", "POST /metrics: 405", "noauth: 401",
          "rebound.example: 421", "GET /api/v1/events: 200", "offset=0: 200", "limit=0: 400", "purple: 400",
          "colour=red: 400", "GET /api/v1/sites: 200"})
        EXPECT_TRUE(said.contains(seen)) << seen << '\n' << said.constData();
}
