// One telegram's whole road in the program as its start-up builds it, with
// stand-in links: from the link through the evaluation to the broker and the
// mail server at the far ends, and the troubles on the way in the notifications.
#include "RoadTest.h"
#include "email/SmtpPeer.h"
#include "mqtt/MqttPeers.h"

#include "email/EmailDialogLogic.h"
#include "email/EmailNotifier.h"
#include "link/LinkManager.h"
#include "model/NotificationLog.h"
#include "model/ServiceStatus.h"
#include "model/TankStateWatch.h"

#include <QJsonDocument>
#include <QJsonObject>

using Road = RoadTest;

TEST_F(Road, MockLinkTelegramReachesTheBrokerAndTheMailServer)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    SmtpPeer mail({});
    ASSERT_NE(mail.port, 0);
    writeBytes(iniPath(),
               "[Common]\r\nActiveCom=1\r\n[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTopic=tankmon/road\r\n"
               "Port=" +
                   QByteArray::number(broker.port) + "\r\n" + MailSettings(mail.port));
    ASSERT_NO_FATAL_FAILURE(startApp());
    Subscriber sub(broker.port);
    ASSERT_TRUE(run->mocks.serial && run->mocks.serial->state() == DeviceLink::State::Open);
    ASSERT_TRUE(sub.waitFor("tankmon/road/status", [](const QByteArray &p) { return p == "online"; }));

    // Device 4711 raises its alarm.
    run->mocks.serial->feed(Telegram{.sn = 4711, .status = 1, .levelWord = Bcd(1234)}.bytes());
    ASSERT_EQ(run->parts.tanks().DeviceCount(), 1);
    QJsonObject state;
    EXPECT_TRUE(sub.waitFor("tankmon/road/tank1/state", [&](const QByteArray &p) {
        state = QJsonDocument::fromJson(p).object();
        return state.value("serial").toInt() == 4711;
    }));
    EXPECT_EQ(std::pair(state.value("level").toInt(), state.value("alarm").toBool()), std::pair(1234, true));
    ASSERT_TRUE(WaitFor([&] { return !mail.messages.isEmpty(); }, 30000))
        << mail.commands.join('\n').toStdString();
    EXPECT_EQ(mail.messages.size(), 1);
    EXPECT_EQ(mail.messages[0].first, "tankmon@example.org service@example.org");
    EXPECT_TRUE(mail.messages[0].second.contains("4711")) << mail.messages[0].second.constData();
}

// The notifications list hears of a link that goes quiet and comes back,
// and of a mail the server does not take (nobody listening on the port).
TEST_F(Road, LinkAndMailTroublesReachTheNotifications)
{
    writeBytes(iniPath(), "[COM]\r\nTimeout=2\r\n[Common]\r\nActiveNet=1\r\n" + MailSettings(FreeTcpPort()));
    ASSERT_NO_FATAL_FAILURE(startApp());
    ASSERT_NE(run->mocks.tcp, nullptr);
    using Kind = NotificationLog::Kind;
    const auto &events = run->parts.notifications().events();
    // The texts of the events of a kind.
    const auto texts = [&](Kind kind) {
        QStringList found;
        for (const auto &e : events)
            if (e.kind == kind)
                found << e.text;
        return found;
    };
    const auto alarm = [&](int sn) {
        run->mocks.tcp->feed(Telegram{.sn = sn, .status = 1, .levelWord = Bcd(1000)}.bytes(), "127.0.0.1");
    };

    // A tank's alarm; its mail finds nobody on the port.
    alarm(4711);
    ASSERT_TRUE(WaitFor([&] { return !texts(Kind::EmailFailed).isEmpty(); }, 30000));
    EXPECT_EQ(run->parts.tanks().DeviceCount(), 1);
    EXPECT_EQ(run->parts.services().mail(), ServiceStatus::Mail::Failed);

    // Once the telegrams stay out for the timeout, the link counts as lost,
    // once; a telegram brings it back.
    int timeouts = 0;
    QObject::connect(run->app.links(), &LinkManager::receptionProgress, &run->app,
                     [&](double waited, double limit) { timeouts += waited >= limit; });
    ASSERT_TRUE(WaitFor([&] { return !texts(Kind::LinkLost).isEmpty(); }, 15000));
    const int lostAt = timeouts;
    ASSERT_TRUE(WaitFor([&] { return timeouts > lostAt; }, 15000)); // another timeout: still one loss
    EXPECT_TRUE(texts(Kind::LinkBack).isEmpty());
    ASSERT_EQ(texts(Kind::LinkLost).size(), 1);
    EXPECT_TRUE(texts(Kind::LinkLost)[0].startsWith("Keine Messwerte vom"))
        << qPrintable(texts(Kind::LinkLost)[0]);
    alarm(4711); // still in alarm: no new mail
    ASSERT_TRUE(WaitFor([&] { return !texts(Kind::LinkBack).isEmpty(); }, 10000));
    EXPECT_EQ(texts(Kind::LinkBack), QStringList{LngText(814)});
    EXPECT_EQ(texts(Kind::LinkLost).size(), 1);
}

// The common threshold stored at start-up counts from the first telegram;
// changed in the e-mail dialog, it judges every tank's state at once, without
// waiting for a telegram; a tank's own threshold, typed for it, counts at
// once and keeps counting for it.
TEST_F(Road, EmailDialogLimitsJudgeTheStatesAtOnce)
{
    writeBytes(iniPath(), "[Common]\r\nActiveCom=1\r\n[E-Mail]\r\nSchwelle 2=5\r\n");
    ASSERT_NO_FATAL_FAILURE(startApp());
    AppController &app = run->app;
    // Two tanks at 8 % of their capacity; the second is low only below 6 %.
    for (int sn : {4711, 4712})
        run->mocks.serial->feed(Telegram{.sn = sn, .levelWord = Bcd(400)}.bytes());
    ASSERT_EQ(run->parts.tanks().DeviceCount(), 2);
    run->parts.tanks().selectAndShow(2);
    ASSERT_TRUE(run->parts.tanks().setWarnThreshold("6"));
    const auto states = [&] {
        return QList<TankCondition>{run->parts.states().status(1).condition,
                                    run->parts.states().status(2).condition};
    };
    using C = TankCondition;
    EXPECT_EQ(states(), QList<C>({C::Ok, C::Ok}));

    EmailDialogLogic dialog(run->parts.emailSettings(), {}, ui, run->parts.texts(),
                            run->parts.tanks().table());
    const auto ok = [&](int schwelle) {
        dialog.Load();
        dialog.values.schwelle2 = schwelle;
        dialog.Ok();
    };
    ok(10);
    EXPECT_EQ(states(), QList<C>({C::Low, C::Ok}));
    ok(20);
    EXPECT_EQ(states(), QList<C>({C::VeryLow, C::Ok}));
    // Tank 1 removed: tank 2 moves to number 1 with its own threshold.
    ASSERT_TRUE(run->parts.tanks().RemoveDevices(1, 1));
    EXPECT_EQ(std::pair(run->parts.states().status(1).condition, run->parts.states().status(1).lowPercent),
              std::pair(C::Ok, 6.0));
    // A threshold edited outside the program counts from the next activation.
    run->settings.write(Cfg::Device::Warnschwelle.at(1), "9");
    app.activate();
    run->mocks.serial->feed(Telegram{.sn = 4712, .levelWord = Bcd(400)}.bytes());
    EXPECT_EQ(run->parts.states().status(1).condition, C::Low);
}
