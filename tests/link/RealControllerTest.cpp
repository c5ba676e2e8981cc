// The links feeding the real telegram evaluation: what a device sends ends
// up in its record, and an accepted telegram starts the reception watchdog.
#include "LinkTestSupport.h"

#include "link/LinkManager.h"
#include "link/SerialPortBackend.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

#include <QTcpSocket>

namespace
{

class RealControllerTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui);
        SetLngId(1);
        SetSerialPortFactory({});
        State().tracePath = dataDir() + QStringLiteral("trace.log");
    }
    ScriptedUi ui;
    TankController controller;
};

TEST_F(RealControllerTest, TcpTelegramRegistersTheDeviceWithItsAddress)
{
    const quint16 port = FreeTcpPort();
    Cfg::ClientPort.write(qint64(port));
    State().activeNet = true;
    LinkManager link(controller);
    link.InitCOM(1);
    ASSERT_FALSE(link.timerComActive());
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(peer.waitForConnected(5000));
    peer.write(HexLine(MakeTelegram(258, 3987)) + "\n");
    ASSERT_TRUE(WaitFor([&] { return controller.DeviceCount() == 1; }));
    EXPECT_EQ(controller.device(1).SN, 258);
    EXPECT_EQ(controller.device(1).Volumen, 3987);
    EXPECT_EQ(controller.device(1).ClientIP, QStringLiteral("127.0.0.1"));
    // The first accepted telegram switches the watchdog on, even on TCP alone.
    EXPECT_TRUE(link.timerComActive());
    EXPECT_EQ(link.tag(), 0);
    EXPECT_TRUE(readBytes(State().tracePath)
                    .contains(",EvalTelegramm:" + HexLine(MakeTelegram(258, 3987)) + " 127.0.0.1\r\n"));
}

TEST_F(RealControllerTest, SerialTelegramReachesTheRecord)
{
    PtyPair pty(tmp_.path());
    ASSERT_TRUE(pty.start());
    State().activeCom = true;
    LinkManager link(controller);
    link.InitCOM(2, pty.device());
    ASSERT_TRUE(link.serialOpen());
    ASSERT_TRUE(pty.write(QByteArray("zz") + MakeTelegram(77, 1500, 12)));
    ASSERT_TRUE(WaitFor([&] { return controller.DeviceCount() == 1; }));
    EXPECT_EQ(controller.device(1).SN, 77);
    EXPECT_EQ(controller.device(1).Temperatur, 12);
    EXPECT_EQ(controller.device(1).ClientIP, QString());
    // The serial source is empty: the trace line ends in a blank.
    EXPECT_TRUE(readBytes(State().tracePath)
                    .contains(",EvalTelegramm:" + HexLine(MakeTelegram(77, 1500, 12)) + " \r\n"));
}

} // namespace
