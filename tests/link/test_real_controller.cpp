// The links feeding the real telegram evaluation: an accepted telegram starts
// the reception watchdog, also when only the TCP link is on. (Telegrams of
// both links reaching their records: OpenBoxTest.)
#include "LinkTestSupport.h"

#include "core/Catalogue.h"

#include <QTcpSocket>

namespace
{

using RealControllerTest = LinkTest;

TEST_F(RealControllerTest, FirstTcpTelegramStartsTheWatchdogAndRegistersTheDeviceWithItsAddress)
{
    link = std::make_unique<LinkManager>(controller, config, settings, ui, clock);
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
    EXPECT_EQ(controller.device(1).ClientIP, "127.0.0.1");
    EXPECT_TRUE(link->timerComActive());
    EXPECT_EQ(link->tag(), 0);
}

} // namespace
