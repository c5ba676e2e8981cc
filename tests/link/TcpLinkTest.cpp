// The TCP link against real peers on 127.0.0.1.
#include "LinkTestSupport.h"

#include "link/Framing.h"
#include "link/LinkManager.h"
#include "link/SerialPortBackend.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

qint64 RssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

class TcpLinkTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui);
        SetLngId(1);
        port = FreeTcpPort();
        Cfg::ClientPort.write(qint64(port));
        State().activeNet = true;
        link = std::make_unique<LinkManager>(controller);
        link->setSink([this](const QByteArray &t, const QString &s) { return sink(t, s); });
        link->setTickInterval(50);
        link->InitCOM(1);
        ASSERT_EQ(link->tcp().state(), TcpLink::Listening) << qPrintable(ui.panelText(1));
    }
    void TearDown() override
    {
        link.reset();
        DataDirTest::TearDown();
    }
    // Connects a peer and waits for the greeting; false when it never comes.
    bool connectPeer(QTcpSocket &peer, QByteArray *greeting = nullptr)
    {
        peer.connectToHost(QHostAddress::LocalHost, port);
        QByteArray got;
        const bool ok = WaitFor(
            [&] {
                got += peer.readAll();
                return got.size() >= 8 || peer.state() == QAbstractSocket::UnconnectedState;
            },
            5000);
        if (greeting)
            *greeting = got;
        return ok && got == "TANKMON\n";
    }

    ScriptedUi ui;
    TankController controller;
    RecordingSink sink;
    quint16 port = 0;
    std::unique_ptr<LinkManager> link;
};

TEST_F(TcpLinkTest, PeerIsGreeted)
{
    QTcpSocket peer;
    QByteArray greeting;
    EXPECT_TRUE(connectPeer(peer, &greeting));
    EXPECT_EQ(greeting, QByteArray("TANKMON\n"));
    EXPECT_EQ(link->tcp().state(), TcpLink::Connected);
}

TEST_F(TcpLinkTest, OneLineIsOneTelegramFromThePeer)
{
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    const QByteArray t = MakeTelegram(258, 3987);
    peer.write(HexLine(t).toLower() + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    ASSERT_EQ(sink.calls.size(), 1);
    EXPECT_EQ(sink.calls[0].telegram, t);
    EXPECT_EQ(sink.calls[0].source, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(ui.panelText(1).endsWith(QStringLiteral(" TCP/IP Empfang von 127.0.0.1")))
        << qPrintable(ui.panelText(1));
}

TEST_F(TcpLinkTest, TwoLinesInOnePacketInOrder)
{
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    const QByteArray a = MakeTelegram(1, 100), b = MakeTelegram(2, 200);
    peer.write(HexLine(a) + "\n" + HexLine(b) + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 2; }));
    ASSERT_EQ(sink.calls.size(), 2);
    EXPECT_EQ(sink.calls[0].telegram, a);
    EXPECT_EQ(sink.calls[1].telegram, b);
}

TEST_F(TcpLinkTest, SplitLineIsEvaluatedOnceAtItsLineFeed)
{
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    const QByteArray line = HexLine(MakeTelegram(3, 300));
    peer.write(line.left(15));
    peer.flush();
    ASSERT_TRUE(WaitFor([&] { return link->tcp().lineLength() == 15; }));
    EXPECT_TRUE(sink.calls.isEmpty());
    peer.write(line.mid(15) + "\n");
    peer.write("41\n"); // a marker line: everything before it has been handled
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 2; }));
    ASSERT_EQ(sink.calls.size(), 2);
    EXPECT_EQ(sink.calls[0].telegram, MakeTelegram(3, 300));
    EXPECT_EQ(sink.calls[1].telegram, QByteArray("A"));
}

TEST_F(TcpLinkTest, OddDigitCountAndBadDigits)
{
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    peer.write("0211F\nZZ41\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 2; }));
    EXPECT_EQ(sink.calls[0].telegram, QByteArray("\x02\x11\x0F", 3));
    EXPECT_EQ(sink.calls[1].telegram, QByteArray("\x00\x41", 2));
}

TEST_F(TcpLinkTest, IdlePeerIsCutAtTheSixthTickAndTheNextIsServed)
{
    // Only the TCP link is on and no telegram ever came: the reception
    // watchdog is off, the connection check must run all the same.
    ASSERT_FALSE(link->timerComActive());
    QTcpSocket idle;
    ASSERT_TRUE(connectPeer(idle));
    qint32 longest = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            longest = qMax(longest, link->tcp().winConnectTime());
            return idle.state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    EXPECT_EQ(longest, 5000); // five ticks counted, cut at the sixth

    QTcpSocket next;
    ASSERT_TRUE(WaitFor([&] { return link->tcp().state() == TcpLink::Listening; }));
    ASSERT_TRUE(connectPeer(next));
    next.write(HexLine(MakeTelegram(4, 400)) + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    EXPECT_TRUE(sink.calls[0].accepted);
}

TEST_F(TcpLinkTest, SecondPeerCannotConnectWhileOneIsConnected)
{
    QTcpSocket first;
    ASSERT_TRUE(connectPeer(first));
    QTcpSocket second;
    QByteArray got;
    second.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitFor(
        [&] {
            got += second.readAll();
            return second.state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    EXPECT_TRUE(got.isEmpty());
    // Not accepted and dropped: nobody listens while the slot is taken.
    EXPECT_EQ(second.error(), QAbstractSocket::ConnectionRefusedError) << qPrintable(second.errorString());
    // The first peer is still served.
    first.write(HexLine(MakeTelegram(5, 500)) + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    EXPECT_EQ(sink.calls[0].source, QStringLiteral("127.0.0.1"));
}

TEST_F(TcpLinkTest, PeerClosingFreesTheSlot)
{
    {
        QTcpSocket a;
        ASSERT_TRUE(connectPeer(a));
        a.write("0211"); // an unfinished line must not reach the next peer
        a.flush();
        ASSERT_TRUE(WaitFor([&] { return link->tcp().lineLength() == 4; }));
        a.disconnectFromHost();
    }
    ASSERT_TRUE(WaitFor([&] { return link->tcp().state() == TcpLink::Listening; }));
    QTcpSocket b;
    ASSERT_TRUE(connectPeer(b));
    b.write(HexLine(MakeTelegram(6, 600)) + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    EXPECT_EQ(sink.calls[0].telegram, MakeTelegram(6, 600));
}

TEST_F(TcpLinkTest, FloodWithoutLineFeedIsCutWithBoundedMemory)
{
    State().tracePath = dataDir() + QStringLiteral("trace.log");
    // The flood comes from a plain socket in a thread, so its own buffers do
    // not count against this process's link.
    std::atomic<qint64> sent{0};
    std::atomic<bool> done{false};
    const qint64 rssBefore = RssKb();
    std::thread flood([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
            const QByteArray chunk(64 * 1024, 'A');
            while (sent < 50'000'000) {
                const ssize_t n = ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
        }
        ::close(fd);
        done = true;
    });
    qint64 rssPeak = rssBefore;
    qsizetype longestLine = 0;
    const bool finished = WaitFor(
        [&] {
            rssPeak = qMax(rssPeak, RssKb());
            longestLine = qMax(longestLine, link->tcp().lineLength());
            return done.load();
        },
        60000);
    flood.join();
    ASSERT_TRUE(finished);
    EXPECT_LT(sent.load(), 50'000'000) << "the flood was never cut";
    EXPECT_LE(longestLine, TcpLink::kMaxLineLength);
    EXPECT_LT(rssPeak - rssBefore, 16 * 1024) << "kB grown during the flood";
    EXPECT_TRUE(sink.calls.isEmpty());
    EXPECT_EQ(readBytes(State().tracePath).count("TCP_LineTooLong"), 1);

    QTcpSocket next;
    ASSERT_TRUE(WaitFor([&] { return link->tcp().state() == TcpLink::Listening; }));
    ASSERT_TRUE(connectPeer(next));
    next.write(HexLine(MakeTelegram(7, 700)) + "\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    EXPECT_EQ(sink.calls[0].telegram, MakeTelegram(7, 700));
}

TEST_F(TcpLinkTest, TraceLinesOfAConnection)
{
    State().tracePath = dataDir() + QStringLiteral("trace.log");
    QTcpSocket peer;
    ASSERT_TRUE(connectPeer(peer));
    peer.write("41\n");
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    peer.disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return readBytes(State().tracePath).contains("TCP_Close State=8"); }));
    const QByteArray trace = readBytes(State().tracePath);
    EXPECT_TRUE(trace.contains(" RemoteHostIP=127.0.0.1\r\n"));
    EXPECT_TRUE(trace.contains(",TCP_ConnectionRequest RequestID="));
    EXPECT_TRUE(trace.contains(",TCP_DataArrival BytesTotal=3 RemoteHostIP=127.0.0.1 Data=41_\r\n"));
}

TEST_F(TcpLinkTest, PortInUseSaysTcpError)
{
    QTcpServer blocker;
    ASSERT_TRUE(blocker.listen(QHostAddress::Any, 0));
    Cfg::ClientPort.write(qint64(blocker.serverPort()));
    link->InitCOM(1);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("TCP Fehler"));
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.shown[0].text, QStringLiteral("TCP Fehler"));
    EXPECT_EQ(link->tcp().state(), TcpLink::Closed);
}

class TcpPortSettingTest : public DataDirTest
{
};

TEST_F(TcpPortSettingTest, ClientPortOutOfRangeOrTextListensOn8000)
{
    EXPECT_EQ(TcpLink::ListenPort(), 8000);
    for (const char *v : {"0", "abc", "-5", "100000", ""}) {
        Cfg::ClientPort.write(QString::fromLatin1(v));
        EXPECT_EQ(TcpLink::ListenPort(), 8000) << v;
    }
    Cfg::ClientPort.write(qint64(99999));
    EXPECT_EQ(TcpLink::ListenPort(), 99999);
    Cfg::ClientPort.write(qint64(1));
    EXPECT_EQ(TcpLink::ListenPort(), 1);
}

} // namespace
