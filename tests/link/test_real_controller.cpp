// The links feeding the real telegram evaluation: what a device sends ends
// up in its record, and an accepted telegram starts the reception watchdog.
#include "LinkTestSupport.h"

#include "core/Catalogue.h"

#include <QTcpSocket>

namespace
{

class RealControllerTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        config.tracePath = dataDir() + "trace.log";
        link = std::make_unique<LinkManager>(controller, config, settings, ui, clock);
    }
    bool traced(const QByteArray &telegram, const char *source)
    {
        return readBytes(config.tracePath).contains(",EvalTelegramm:" + telegram.toHex().toUpper() + " " + source + "\r\n");
    }
};

TEST_F(RealControllerTest, TcpTelegramRegistersTheDeviceWithItsAddress)
{
    const quint16 port = FreeTcpPort();
    settings.write(Cfg::ClientPort, qint64(port));
    config.activeNet = true;
    link->InitCOM(1);
    ASSERT_FALSE(link->timerComActive());
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(peer.waitForConnected(5000));
    peer.write(HexLine(MakeTelegram(258, 3987)));
    ASSERT_TRUE(WaitFor([&] { return controller.DeviceCount() == 1; }));
    EXPECT_EQ(controller.device(1).SN, 258);
    EXPECT_EQ(controller.device(1).Volumen, 3987);
    EXPECT_EQ(controller.device(1).ClientIP, "127.0.0.1");
    EXPECT_TRUE(traced(MakeTelegram(258, 3987), "127.0.0.1"));
    // The first accepted telegram switches the watchdog on, even on TCP alone.
    EXPECT_TRUE(link->timerComActive());
    EXPECT_EQ(link->tag(), 0);
}

TEST_F(RealControllerTest, SerialTelegramReachesTheRecord)
{
    PtyPair pty(tmp_.path());
    ASSERT_TRUE(pty.start());
    config.activeCom = true;
    link->InitCOM(2, pty.device());
    ASSERT_TRUE(link->serialOpen());
    ASSERT_TRUE(pty.write("zz" + MakeTelegram(77, 1500, 12)));
    ASSERT_TRUE(WaitFor([&] { return controller.DeviceCount() == 1; }));
    EXPECT_EQ(controller.device(1).SN, 77);
    EXPECT_EQ(controller.device(1).Temperatur, 12);
    EXPECT_EQ(controller.device(1).ClientIP, QString());
    EXPECT_TRUE(traced(MakeTelegram(77, 1500, 12), "")) << "the serial source is empty";
}

} // namespace
