// The TCP link against real peers on 127.0.0.1.
#include "LinkTestSupport.h"

#include "core/Catalogue.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/resource.h>

class TcpLinkTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        port = FreeTcpPort();
        settings.write(Cfg::ClientPort, qint64(port));
        switches.setActiveNet(true);
        makeLink(50);
        link->InitCOM(1);
        ASSERT_EQ(link->tcp().state(), DeviceLink::State::Open) << qPrintable(ui.panelText(1));
    }
    // Connects a peer; true when it is greeted with "TANKMON" + LF.
    bool connectPeer(QTcpSocket &peer)
    {
        peer.connectToHost(QHostAddress::LocalHost, port);
        WaitFor(
            [&] { return peer.bytesAvailable() >= 8 || peer.state() == QAbstractSocket::UnconnectedState; });
        return peer.readAll() == "TANKMON\n";
    }
    // Once the slot is free again, a new peer is greeted and its telegram evaluated.
    void expectNextPeerServed(int sn)
    {
        QTcpSocket next;
        ASSERT_TRUE(WaitFor([&] { return link->tcp().state() == DeviceLink::State::Open; }));
        ASSERT_TRUE(connectPeer(next));
        next.write(HexLine(MakeTelegram(sn, 400)));
        ASSERT_TRUE(WaitFor([&] { return sink.accepted() >= 1; }));
        EXPECT_EQ(sink.telegrams.last(), MakeTelegram(sn, 400));
    }

    quint16 port = 0;
};

TEST_F(TcpLinkTest, LinesBecomeTelegramsOfTheOnePeerConnectedAndItsUnfinishedLineGoesWithItAndThePortRules)
{
    switches.setTracePath(dataDir() + "trace.log");
    QTcpSocket peer, second;
    ASSERT_TRUE(connectPeer(peer));
    // Not accepted and dropped: nobody listens while the slot is taken.
    EXPECT_FALSE(connectPeer(second));
    EXPECT_EQ(second.error(), QAbstractSocket::ConnectionRefusedError) << qPrintable(second.errorString());
    const QByteArray t = MakeTelegram(258, 3987), a = MakeTelegram(1, 100), b = MakeTelegram(2, 200);
    peer.write(HexLine(t).toLower());
    ASSERT_TRUE(WaitFor([&] { return sink.telegrams.size() >= 1; }));
    EXPECT_EQ(sink.sources[0], "127.0.0.1");
    EXPECT_TRUE(ui.panelText(1).endsWith(" TCP/IP Empfang von 127.0.0.1")) << qPrintable(ui.panelText(1));

    peer.write(HexLine(a) + HexLine(b)); // two lines in one packet
    ASSERT_TRUE(WaitFor([&] { return sink.telegrams.size() >= 3; }));

    const QByteArray split = HexLine(MakeTelegram(3, 300));
    peer.write(split.left(15));
    peer.flush();
    ASSERT_TRUE(WaitFor([&] { return link->tcpListener()->lineLength() == 15; }));
    EXPECT_EQ(sink.telegrams.size(), 3) << "a line is evaluated at its line feed";
    peer.write(split.mid(15));
    ASSERT_TRUE(WaitFor([&] { return sink.telegrams.size() >= 4; }));
    EXPECT_EQ(sink.telegrams, (QList<QByteArray>{t, a, b, MakeTelegram(3, 300)}));

    peer.write("0211");
    peer.flush();
    ASSERT_TRUE(WaitFor([&] { return link->tcpListener()->lineLength() == 4; }));
    peer.disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return readBytes(switches.tracePath()).contains("TCP_Close State=8"); }));
    const QByteArray trace = readBytes(switches.tracePath());
    EXPECT_TRUE(trace.contains(",TCP_DataArrival BytesTotal=4 RemoteHostIP=127.0.0.1 Data=0211\r\n"));
    sink = {};
    expectNextPeerServed(6);
    EXPECT_EQ(sink.telegrams.size(), 1) << "the unfinished line must not reach the next peer's";

    // A client port out of range or no number listens on 8000.
    for (const auto &[stored, listen] :
         {std::pair{"0", 8000}, {"abc", 8000}, {"100000", 8000}, {"1", 1}, {"99999", 99999}}) {
        settings.write(Cfg::ClientPort, QString::fromLatin1(stored));
        EXPECT_EQ(StoredListenPort(settings), listen) << stored;
    }

    // A port another program holds: the port and the system's reason in the
    // trace (on the panel and in the box: BoxOwner's test).
    QTcpServer blocker;
    ASSERT_TRUE(blocker.listen(QHostAddress::Any, 0));
    const QString port = QString::number(blocker.serverPort());
    settings.write(Cfg::ClientPort, qint64(blocker.serverPort()));
    link->InitCOM(1);
    const QString said =
        "TCP: Port " + port + " kann nicht ge\u00f6ffnet werden: The bound address is already in use";
    // (The trace file is Windows-1252.)
    EXPECT_TRUE(readBytes(switches.tracePath()).contains(said.toLatin1()))
        << readBytes(switches.tracePath()).constData();
    EXPECT_EQ(link->tcp().state(), DeviceLink::State::Closed);

    // Listening on one address only: a peer on another loopback address
    // of this computer finds nobody there.
    const quint16 taken = blocker.serverPort();
    blocker.close();
    settings.write(Cfg::ClientAdresse, QStringLiteral("127.0.0.2"));
    link->InitCOM(1);
    ASSERT_EQ(link->tcp().state(), DeviceLink::State::Open);
    QTcpSocket elsewhere;
    elsewhere.connectToHost(QHostAddress::LocalHost, taken);
    EXPECT_FALSE(elsewhere.waitForConnected(5000));
    QTcpSocket gateway;
    gateway.connectToHost(QHostAddress("127.0.0.2"), taken);
    ASSERT_TRUE(gateway.waitForConnected(5000));
    EXPECT_TRUE(WaitFor([&] { return gateway.bytesAvailable() >= 8; }));
    EXPECT_EQ(gateway.readAll(), "TANKMON\n");
    gateway.abort();
    // An address that is none listens nowhere, and says why.
    settings.write(Cfg::ClientAdresse, QStringLiteral("gateway.lan"));
    link->InitCOM(1);
    EXPECT_EQ(ui.panelText(1),
              "TCP: Port " + port + " kann nicht ge\u00f6ffnet werden: \"gateway.lan\" ist keine IP-Adresse");
    EXPECT_EQ(link->tcp().state(), DeviceLink::State::Closed);
}

// A gateway that connects for each burst and leaves at once (as the demo
// feeder's does): between bursts nobody is connected, yet the indicator
// says "receiving" all along; red comes only once the reception watchdog's
// time has passed without a telegram.
TEST_F(TcpLinkTest, IndicatorReceivingWhileAGatewayConnectsPerBurstAndRedOnlyAfterTheWatchdogsTime)
{
    constexpr int kTimeoutTicks = 30, kTickMs = 50, kBursts = 8;
    settings.write(Cfg::Timeout, kTimeoutTicks);
    makeLink(kTickMs);
    link->StartFromSettings();
    EXPECT_EQ(link->indicator().text, QStringLiteral("TCP: wartet an Port %1").arg(port));
    EXPECT_FALSE(link->indicator().warn);
    QStringList shown; // every indicator text, marked "!" when red
    const auto sample = [&] {
        const LinkIndicator i = link->indicator();
        if (shown.isEmpty() || shown.last() != (i.warn ? "!" : "") + i.text)
            shown << (i.warn ? "!" : "") + i.text;
    };
    QObject::connect(link.get(), &LinkManager::indicatorChanged, link.get(), sample);

    int bursts = 0;
    QTimer gateway;
    gateway.setInterval(200);
    QObject::connect(&gateway, &QTimer::timeout, [&] {
        auto *s = new QTcpSocket(&gateway);
        QObject::connect(s, &QTcpSocket::connected, s, [s, sn = 100 + bursts] {
            s->write(HexLine(MakeTelegram(sn, 500)));
            s->disconnectFromHost();
        });
        s->connectToHost(QHostAddress::LocalHost, port);
        if (++bursts == kBursts)
            gateway.stop();
    });
    gateway.start();
    bool wasClosed = false; // the slot seen free between bursts
    ASSERT_TRUE(WaitFor(
        [&] {
            sample();
            wasClosed = wasClosed || link->tcp().state() != DeviceLink::State::Connected;
            return sink.accepted() == kBursts;
        },
        20000))
        << sink.accepted();
    QElapsedTimer silence;
    silence.start();
    EXPECT_TRUE(wasClosed);
    EXPECT_EQ(shown.filter("!").size(), 0) << qPrintable(shown.join('|'));
    EXPECT_EQ(shown.last(), "TCP: empfängt · letztes Telegramm gerade eben");

    ASSERT_TRUE(WaitFor([&] { return link->indicator().warn; }, 20000));
    EXPECT_GE(silence.elapsed(), (kTimeoutTicks - 1) * kTickMs) << "red before the watchdog's time";
    EXPECT_EQ(link->indicator().text,
              QStringLiteral("TCP: wartet an Port %1 · letztes Telegramm gerade eben").arg(port));
    // The next telegram brings it back.
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    peer.write(HexLine(MakeTelegram(100, 501)));
    ASSERT_TRUE(WaitFor([&] { return !link->indicator().warn; }));
}

// With the real evaluation behind it: only the TCP link is on and no
// telegram ever came, so the reception watchdog is off; the connection check
// must run all the same. The next peer's first telegram starts the watchdog.
// (The device's address from the source: the evaluation tests.)
TEST_F(TcpLinkTest, IdlePeerIsCutAtTheSixthTickAndTheNextPeersFirstTelegramStartsTheWatchdog)
{
    LinkHardware evaluating;
    evaluating.tickMs = 50;
    link = std::make_unique<LinkManager>(controller, switches, settings, ui, texts, clock, evaluating);
    link->InitCOM(1);
    ASSERT_FALSE(link->timerComActive());
    QTcpSocket idle, peer;
    ASSERT_TRUE(connectPeer(idle));
    qint32 longest = 0;
    ASSERT_TRUE(WaitFor([&] {
        longest = qMax(longest, link->tcpListener()->winConnectTime());
        return idle.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_EQ(longest, 5000); // five ticks counted, cut at the sixth
    ASSERT_TRUE(WaitFor([&] { return link->tcp().state() == DeviceLink::State::Open; }));
    ASSERT_TRUE(connectPeer(peer));
    peer.write(HexLine(MakeTelegram(258, 3987)));
    ASSERT_TRUE(WaitFor([&] { return controller.DeviceCount() == 1; }));
    EXPECT_TRUE(link->timerComActive());
    EXPECT_EQ(link->tag(), 0);
}

// Lines sent right before the close are all evaluated; a flood without a
// line feed is cut with bounded memory.
TEST_F(TcpLinkTest, LinesSentRightBeforeTheCloseAreAllEvaluatedAndAFloodIsCutWithBoundedMemory)
{
    // Far more than one slice of lines, and the peer closes at once: its
    // close arrives while most lines are still unread or unevaluated.
    sink.costNs = 20'000;
    constexpr int kLines = 3000;
    QList<QByteArray> sent;
    QByteArray bytes;
    for (int i = 0; i < kLines; ++i) {
        sent << MakeTelegram(1000 + i, i);
        bytes += HexLine(sent.last());
    }
    ThreadPeer peer(port, bytes, bytes.size());
    EXPECT_TRUE(WaitFor(
        [&] {
            return peer.finished() && sink.telegrams.size() >= kLines &&
                   link->tcp().state() == DeviceLink::State::Open;
        },
        20000))
        << sink.telegrams.size() << " of " << kLines << " lines evaluated";
    EXPECT_TRUE(sink.telegrams == sent) << "every line once, in order";
    sink = {};

    switches.setTracePath(dataDir() + "trace.log");
    // The highest resident memory of this process so far, in kB.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    ThreadPeer flood(port, QByteArray(64 * 1024, 'A'), 50'000'000);
    qsizetype longestLine = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            longestLine = qMax(longestLine, link->tcpListener()->lineLength());
            return flood.finished();
        },
        60000));
    EXPECT_LT(flood.sent(), 50'000'000) << "the flood was never cut";
    EXPECT_LE(longestLine, TcpLink::kMaxLineLength);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "kB grown during the flood";
    EXPECT_TRUE(sink.telegrams.isEmpty());
    EXPECT_EQ(readBytes(switches.tracePath()).count("TCP_LineTooLong"), 1);
    expectNextPeerServed(7);
}
