// One telegram's whole road in the program as its start-up builds it, with
// a stand-in serial link: from the link through the evaluation to the broker
// and the mail server at the far ends.
#include "email/SmtpPeer.h"
#include "mqtt/MqttPeers.h"
#include "support/Fixtures.h"
#include "support/MockLink.h"

#include "app/AppController.h"
#include "link/LinkManager.h"

#include <QJsonDocument>
#include <QJsonObject>

TEST_F(UiTest, MockLinkTelegramReachesTheBrokerAndTheMailServer)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    SmtpPeer mail({});
    ASSERT_NE(mail.port, 0);
    writeBytes(iniPath(),
               "[Common]\r\nActiveCom=1\r\n[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTopic=tankmon/road\r\n"
               "Port=" +
                   QByteArray::number(broker.port) + "\r\n" + MailSettings(mail.port));
    Subscriber sub(broker.port);
    MockLinks mocks;
    LinkHardware hardware;
    hardware.links = mocks.factory();
    AppController app(switches, settings, ui, clock, hardware, [](const QStringList &) {});
    ASSERT_EQ(app.start(), AppController::Start::Run);
    app.activate();
    ASSERT_NE(mocks.serial, nullptr);
    ASSERT_EQ(mocks.serial->opened, 1) << "the serial link opened at start-up";
    ASSERT_TRUE(sub.waitFor("tankmon/road/status", [](const QByteArray &p) { return p == "online"; }));

    // Device 4711 raises its alarm.
    mocks.serial->feed(Telegram{.sn = 4711, .status = 1, .levelWord = Bcd(1234)}.bytes());
    ASSERT_EQ(app.tanks().DeviceCount(), 1);
    QJsonObject state;
    EXPECT_TRUE(sub.waitFor("tankmon/road/tank1/state", [&](const QByteArray &p) {
        state = QJsonDocument::fromJson(p).object();
        return state.value("serial").toInt() == 4711;
    }));
    EXPECT_EQ(state.value("level").toInt(), 1234);
    EXPECT_TRUE(state.value("alarm").toBool());
    ASSERT_TRUE(WaitFor([&] { return !mail.messages.isEmpty(); }, 30000))
        << mail.commands.join('\n').toStdString();
    EXPECT_EQ(mail.messages.size(), 1);
    EXPECT_EQ(mail.messages[0].first, "tankmon@example.org service@example.org");
    EXPECT_TRUE(mail.messages[0].second.contains("4711")) << mail.messages[0].second.constData();
}
