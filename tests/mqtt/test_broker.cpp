#include "mqtt/MqttPeers.h"
#include "support/Telegrams.h"
#include "support/ProgramRun.h"

#include "core/UiServices.h"
#include "model/TankController.h"
#include "lang/Lng.h"
#include "mqtt/MqttDialogLogic.h"
#include "mqtt/MqttPayloads.h"
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
class Mqtt : public RunningProgramTest {
protected:
    bool startProgram(const QByteArray &mqtt)
    {
        writeTcpSettings("Log=" + dataDir().toUtf8() + "trace.txt\r\n[MQTT]\r\nAktiv=1\r\n" +
                         "Host=127.0.0.1\r\nTopic=tankmon/test\r\nPort=" + QByteArray::number(broker.port) +
                         "\r\n" + mqtt);
        return start();
    }
    Broker broker;
};
} // namespace

// The state and discovery of a tank; after a broker restart (nothing retained
// survived) they come back; the status goes offline at the end of the program
// and, by the will, at its death. Then a refused login is said once.
TEST_F(Mqtt, StatesDiscoveryWillAndRefusedLogin)
{
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(startProgram({}));
    {
        Subscriber sub(broker.port);
        ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, 1234, -7)));
        QJsonObject state;
        ASSERT_TRUE(sub.waitFor("tankmon/test/tank1/state", [&](const QByteArray &p) {
            state = QJsonDocument::fromJson(p).object();
            return state.value("serial").toInt() == 4711;
        })) << output.constData();
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)")
                        .match(state.take("time").toString())
                        .hasMatch());
        EXPECT_EQ(state, QJsonDocument::fromJson(R"({"serial": 4711, "level": 1234, "unit": "L", "percent": 25,
            "temperature": -7, "alarm": false, "error": null, "days_until_empty": null})").object());
        EXPECT_EQ(sub.last.value("tankmon/test/status"), "online");
        for (const QString &topic : MqttDiscoveryTopics("homeassistant", 4711)) {
            ASSERT_TRUE(sub.waitFor(topic, [](const QByteArray &p) { return !p.isEmpty(); }))
                << qPrintable(topic);
            const QJsonObject o = QJsonDocument::fromJson(sub.last[topic]).object();
            EXPECT_EQ(o.value("state_topic").toString(), "tankmon/test/tank1/state");
            EXPECT_EQ(o.value("availability_topic").toString(), "tankmon/test/status");
        }
        // The level in the tank's unit.
        const QByteArray level = sub.last.value("homeassistant/sensor/tankmon_4711/level/config");
        EXPECT_EQ(QJsonDocument::fromJson(level).object().value("unit_of_measurement"), "L");
    }
    broker.proc.kill();
    broker.proc.waitForFinished();
    ASSERT_TRUE(waitOutput("not reachable", 10000)) << output.constData();
    ASSERT_TRUE(broker.start());
    for (int sig : {SIGTERM, SIGKILL}) {
        ASSERT_TRUE(sig == SIGTERM || startProgram({})); // the first run came through the broker restart
        Subscriber sub(broker.port);
        EXPECT_TRUE(sub.waitFor("tankmon/test/status", [](const QByteArray &p) { return p == "online"; }));
        EXPECT_TRUE(sig == SIGKILL || sub.waitFor("tankmon/test/tank1/state",
                                                  [](const QByteArray &p) { return p.contains("4711"); }));
        ::kill(run.processId(), sig);
        EXPECT_TRUE(sub.waitFor("tankmon/test/status", [](const QByteArray &p) { return p == "offline"; }))
            << "signal " << sig;
        run.waitForFinished();
    }

    // A refused login is said once while the program goes on: three refused
    // attempts, the second one's end is in the trace by the third.
    broker.proc.kill();
    broker.proc.waitForFinished();
    ASSERT_TRUE(broker.start(true));
    ASSERT_TRUE(startProgram("UserName=tankmon\r\nPassword=wrong\r\n"));
    QByteArray log;
    ASSERT_TRUE(WaitFor([&] { return (log += broker.proc.readAll()).count("not authorised") >= 3; }, 20000))
        << log.constData();
    const QByteArray said = "MQTT: broker 127.0.0.1:" + QByteArray::number(broker.port) + " refuses the login";
    EXPECT_EQ(readBytes(dataDir() + "trace.txt").count(said), 1);
    EXPECT_EQ((output += run.readAll()).count(said), 1) << output.constData();
    EXPECT_EQ(run.state(), QProcess::Running);
}

TEST_F(Mqtt, RemovedTankLeavesNoConfigAndNoState)
{
    ASSERT_TRUE(broker.start());
    QuietUi ui;
    TankController tanks(config, settings, ui, SystemClock());
    MqttValues v;
    v.host = "127.0.0.1", v.port = broker.port, v.topic = "tankmon/test";
    MqttPublisher publisher(tanks, config, v, QString(), ui, SystemClock());
    Subscriber sub(broker.port);
    for (int sn : {815, 4711})
        tanks.EvalTelegramm(MakeTelegram(sn, 100), QString());
    ASSERT_TRUE(sub.waitFor("tankmon/test/tank2/state", [](const QByteArray &p) { return p.contains("4711"); }));
    ASSERT_TRUE(tanks.RemoveDevices(1, 1));
    for (const QString &topic : MqttDiscoveryTopics("homeassistant", 815))
        EXPECT_TRUE(sub.waitFor(topic, [](const QByteArray &p) { return p.isEmpty(); })) << qPrintable(topic);
    EXPECT_TRUE(sub.waitFor("tankmon/test/tank2/state", [](const QByteArray &p) { return p.isEmpty(); }));
    EXPECT_TRUE(sub.waitFor("tankmon/test/tank1/state", [](const QByteArray &p) { return p.contains("4711"); }));
    EXPECT_FALSE(sub.last.value("homeassistant/sensor/tankmon_4711/level/config").isEmpty());
}

// New settings replace the publisher without the event loop waiting for the
// old connection's end: its client lives on until its thread has ended, then
// goes; the new one comes up and stays "online".
TEST_F(Mqtt, ReplacedPublisherEndsItsConnectionWithoutWaiting)
{
    ASSERT_TRUE(broker.start());
    QuietUi ui;
    TankController tanks(config, settings, ui, SystemClock());
    MqttValues v;
    v.host = "127.0.0.1", v.port = broker.port, v.topic = "tankmon/swap";
    Subscriber sub(broker.port);
    auto publisher = std::make_unique<MqttPublisher>(tanks, config, v, QString(), ui, SystemClock());
    ASSERT_TRUE(sub.waitFor("tankmon/swap/status", [](const QByteArray &p) { return p == "online"; }));
    const auto ending = [] { return QCoreApplication::instance()->findChildren<MqttClient *>().size(); };
    ASSERT_EQ(ending(), 0);
    publisher = std::make_unique<MqttPublisher>(tanks, config, v, QString(), ui, SystemClock());
    EXPECT_EQ(ending(), 1) << "the old client is still ending";
    EXPECT_TRUE(WaitFor([&] { return ending() == 0; }));
    tanks.EvalTelegramm(MakeTelegram(4711, 100), QString());
    EXPECT_TRUE(sub.waitFor("tankmon/swap/tank1/state", [](const QByteArray &p) { return p.contains("4711"); }));
    EXPECT_EQ(sub.last.value("tankmon/swap/status"), "online");
}

TEST_F(DataDirTest, MqttDialogOkStoresOnlyValuesThatCanWork)
{
    SetLngId(2);
    const struct { const char *host, *topic, *prefix; int port; int said; } cases[] = {
        {"", "tankmon/a", "homeassistant", 1883, 434},        {"broker", "tankmon/+", "homeassistant", 1883, 435},
        {"broker", "tankmon/a", "home#", 1883, 435},          {"broker", "", "homeassistant", 1883, 435},
        {"broker", "tankmon/a", "homeassistant", 70000, 436}, {" broker ", "tankmon/a/", "ha", 8883, 0},
    };
    for (const auto &c : cases) {
        ScriptedUi ui;
        MqttValues v{true, c.host, c.port, true, "user", "sécret", c.topic, false, c.prefix};
        MqttDialogLogic logic(v, ui, [&](const MqttValues &ok) { WriteMqttValues(settings, ok); });
        EXPECT_EQ(logic.Ok(), c.said == 0) << c.host << c.topic << c.prefix;
        EXPECT_EQ(ui.shown.isEmpty() ? QString() : ui.shown.first().text, c.said ? LngText(c.said) : QString());
    }
    const MqttValues stored = ReadMqttValues(settings);
    EXPECT_EQ(stored, (MqttValues{true, "broker", 8883, true, "user", "sécret", "tankmon/a", false, "ha"}));
    EXPECT_NE(settings.read(Cfg::Mqtt::Password), "sécret");
    SetLngId(0);
}
