#include "ui/UiTestSupport.h"

#include "core/TextHelpers.h"
#include "model/NotificationLog.h"
#include "mqtt/MqttPeers.h"
#include "mqtt/MqttSettings.h"
#include "ui/FrmMeldungen.h"
#include "ui/StatusIndicator.h"

// A broker that refuses the login: the indicator says so and keeps saying so
// while panel 1 moves on, and the list has the problem.
TEST_F(MainWindowTest, MqttIndicatorAfterARefusal)
{
    Broker broker;
    ASSERT_TRUE(broker.start(true, QStringLiteral("right")));
    MqttValues v;
    v.aktiv = true;
    v.host = QStringLiteral("127.0.0.1");
    v.port = broker.port;
    v.userName = QStringLiteral("tankmon");
    v.password = QStringLiteral("wrong");
    v.topic = QStringLiteral("tankmon/test");
    WriteMqttValues(settings, v);
    open();
    auto *mqtt = Part<StatusIndicator>(win.get(), "lblMqttIndicator");
    ASSERT_TRUE(WaitFor([&] { return mqtt->text() == QStringLiteral("MQTT: getrennt"); }, 15000))
        << qPrintable(mqtt->text());
    EXPECT_TRUE(mqtt->isVisible());
    EXPECT_TRUE(
        mqtt->toolTip().startsWith(FormatText(LngText(423), {"127.0.0.1:" + QString::number(v.port)})))
        << qPrintable(mqtt->toolTip());
    app->ui().setPanelText(1, QStringLiteral("something else"));
    EXPECT_EQ(mqtt->text(), QStringLiteral("MQTT: getrennt"));
    const auto &events = app->notifications().events();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const NotificationLog::Event &e) {
        return e.kind == NotificationLog::Kind::MqttProblem;
    }));
}

// The count in the status bar follows what the list acknowledges, and the
// list keeps what a closed alarm box said.
TEST_F(MainWindowTest, NotificationsCountAndAcknowledge)
{
    open();
    ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
    auto *count = Part<StatusIndicator>(win.get(), "lblMeldungenIndicator");
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen"));

    // Tank 1 raises its alarm; the box is answered and gone.
    DeviceRecord &r = app->tanks().device(1);
    r.SN = 4711;
    r.Tankvolumen = 1000;
    r.Volumen = 500;
    r.Uhrzeit = now;
    app->tanks().AddDevice(1);
    r.Alarm = true;
    app->tanks().refreshDevice(1);
    NotificationLog::Event mail;
    mail.time = now;
    mail.kind = NotificationLog::Kind::EmailFailed;
    mail.text = QStringLiteral("no server");
    app->notifications().add(mail);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen: 2 neu"));

    QTest::mouseClick(count, Qt::LeftButton);
    ASSERT_EQ(Shown<frmMeldungen>().size(), 1);
    QTreeWidget *list = Shown<frmMeldungen>().first()->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(3), LngText(271) + "1 / SN4711"); // oldest last
    EXPECT_TRUE(list->topLevelItem(0)->font(3).bold());
    list->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(Part<QPushButton>(list->window(), "cmdQuittieren"), Qt::LeftButton);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen: 1 neu"));
    EXPECT_FALSE(list->topLevelItem(0)->font(3).bold());
    EXPECT_TRUE(list->topLevelItem(1)->font(3).bold());
    QTest::mouseClick(Part<QPushButton>(list->window(), "cmdAlleQuittieren"), Qt::LeftButton);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen"));
    EXPECT_EQ(list->topLevelItemCount(), 2); // acknowledged, not forgotten
}
