#include "mqtt/MqttPeers.h"
#include "support/ProgramRun.h"
#include "support/Telegrams.h"

#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "model/TankSnapshots.h"
#include "mqtt/MqttDialogLogic.h"
#include "mqtt/MqttPayloads.h"
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace
{
class Mqtt : public RunningProgramTest
{
protected:
    bool startProgram(const QByteArray &mqtt, const QByteArray &topic = "tankmon/test")
    {
        writeTcpSettings("Log=" + dataDir().toUtf8() + "trace.txt\r\n[MQTT]\r\nAktiv=1\r\n" +
                         "Host=127.0.0.1\r\nTopic=" + topic + "\r\nPort=" + QByteArray::number(broker.port) +
                         "\r\n" + mqtt);
        return start();
    }
    Broker broker;
};

// A tank controller and the values of a publisher on the test broker.
struct Publishing : Mqtt {
    Publishing() { tanks.setEmailHooks(&snapshots); }
    QuietUi ui;
    const Texts texts{2};
    TankController tanks{switches, settings, ui, texts, SystemClock()};
    TankSnapshots snapshots{tanks, switches, nullptr};
};

// Payload tests for Subscriber::waitFor.
std::function<bool(const QByteArray &)> Is(const QByteArray &want)
{
    return [want](const QByteArray &p) { return p == want; };
}
std::function<bool(const QByteArray &)> Has(const QByteArray &part)
{
    return [part](const QByteArray &p) { return p.contains(part); };
}
std::function<bool(const QByteArray &)> Level(double level)
{
    return [level](const QByteArray &p) { return QJsonDocument::fromJson(p)["level"].toDouble() == level; };
}
} // namespace

// The state and discovery of a tank; after a broker restart (nothing retained
// survived) they come back; the status goes offline at the end of the
// program. Then a refused login is said once.
TEST_F(Mqtt, StatesDiscoveryOfflineAtTheEndAndRefusedLogin)
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
        EXPECT_EQ(state,
                  QJsonDocument::fromJson(R"({"serial": 4711, "level": 1234, "unit": "L", "percent": 25,
            "temperature": -7, "alarm": false, "error": null, "days_until_empty": null, "state": "ok", "loss": false,
            "consumed": 0, "energy": null, "name": "", "capacity": 5000, "site": "test"})")
                      .object());
        EXPECT_EQ(sub.last.value("tankmon/test/status"), "online");
        // Every config but the energy sensor's (the last; no "kWhProEinheit1").
        QStringList configs = MqttDiscoveryTopics("homeassistant", 4711);
        configs.removeLast();
        for (const QString &topic : configs) {
            ASSERT_TRUE(sub.waitFor(topic, Has("{"))) << qPrintable(topic);
            const QJsonDocument o = QJsonDocument::fromJson(sub.last[topic]);
            EXPECT_EQ(o["state_topic"].toString() + ' ' + o["availability_topic"].toString(),
                      "tankmon/test/tank1/state tankmon/test/status");
        }
    }
    broker.proc.kill();
    broker.proc.waitForFinished();
    ASSERT_TRUE(waitOutput("not reachable", 10000)) << output.constData();
    ASSERT_TRUE(broker.start());
    { // (The will at kill -9: LossMeterAndNoOlderStateAcrossAKill.)
        Subscriber sub(broker.port);
        EXPECT_TRUE(sub.waitFor("tankmon/test/status", Is("online")));
        EXPECT_TRUE(sub.waitFor("tankmon/test/tank1/state", Has("4711")));
        Signal(run, SIGTERM);
        EXPECT_TRUE(sub.waitFor("tankmon/test/status", Is("offline")));
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
    const QByteArray said =
        "MQTT: broker 127.0.0.1:" + QByteArray::number(broker.port) + " refuses the login";
    EXPECT_EQ(readBytes(dataDir() + "trace.txt").count(said), 1);
    EXPECT_EQ((output += run.readAll()).count(said), 1) << output.constData();
    EXPECT_EQ(run.state(), QProcess::Running);
}

// New settings replace the publisher without the event loop waiting for the
// old connection's end: its client lives on until its thread has ended, then
// goes; the new one comes up and stays "online". A removed tank then leaves
// no config and no state behind.
TEST_F(Publishing, ReplacedPublisherEndsWithoutWaitingRemovedTankLeavesNothing)
{
    ASSERT_TRUE(broker.start());
    MqttValues v;
    v.host = "127.0.0.1", v.port = broker.port, v.topic = "tankmon/test";
    Subscriber sub(broker.port);
    const auto publisher = [&] {
        return std::make_unique<MqttPublisher>(tanks, snapshots, switches, settings, v, QString(), ui, texts,
                                               SystemClock());
    };
    auto current = publisher();
    ASSERT_TRUE(sub.waitFor("tankmon/test/status", Is("online")));
    const auto ending = [] { return QCoreApplication::instance()->findChildren<MqttClient *>().size(); };
    ASSERT_EQ(ending(), 0);
    current = publisher();
    EXPECT_EQ(ending(), 1) << "the old client is still ending";
    EXPECT_TRUE(WaitFor([&] { return ending() == 0; }));
    for (int sn : {815, 4711})
        tanks.EvalTelegramm(MakeTelegram(sn, 100), QString());
    ASSERT_TRUE(sub.waitFor("tankmon/test/tank2/state", Has("4711")));
    ASSERT_TRUE(tanks.RemoveDevices(1, 1));
    for (const QString &topic : MqttDiscoveryTopics("homeassistant", 815))
        EXPECT_TRUE(sub.waitFor(topic, Is({}))) << qPrintable(topic);
    EXPECT_TRUE(sub.waitFor("tankmon/test/tank2/state", Is({})));
    EXPECT_TRUE(sub.waitFor("tankmon/test/tank1/state", Has("4711")));
    EXPECT_FALSE(sub.last.value("homeassistant/sensor/tankmon_4711/level/config").isEmpty());
    EXPECT_EQ(sub.last.value("tankmon/test/status"), "online");
}

TEST_F(DataDirTest, MqttDialogOkStoresOnlyValuesThatCanWork)
{
    const Texts texts(2);
    // said: the text id of the refusal; for a topic or prefix, which field
    // and the value as the box quotes it.
    const struct {
        const char *host, *topic, *prefix;
        int port;
        int said, field;
        const char *quoted;
    } cases[] = {
        {"", "tankmon/a", "homeassistant", 1883, 434, 0, nullptr},
        {"broker", "tankmon/+", "homeassistant", 1883, 652, 431, "tankmon/+"},
        {"broker", "  ", "homeassistant", 1883, 651, 431, ""},
        {"broker", " /tankmon", "homeassistant", 1883, 654, 431, "/tankmon"},
        {"broker", "$SYS/tankmon", "homeassistant", 1883, 655, 431, "$SYS/tankmon"},
        {"broker", "tank\tmon", "homeassistant", 1883, 653, 431, "tank\\x09mon"},
        {"broker", "tankmon/a", "h\u0085a", 1883, 653, 433, "h\\x85a"},
        {"broker", "tankmon/a", "homeassistant", 70000, 436, 0, nullptr},
        {" broker ", "tankmon/a/", "ha", 8883, 0, 0, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.host << '|' << c.topic << '|' << c.prefix);
        ScriptedUi ui;
        MqttValues v{true, c.host, c.port, true, "user", "sécret", c.topic, false, c.prefix, {}};
        MqttDialogLogic logic(v, ui, texts, [&](const MqttValues &ok) { WriteMqttValues(settings, ok); });
        EXPECT_EQ(logic.Ok(), c.said == 0);
        const QString shown = ui.shown.isEmpty() ? QString() : ui.shown.first().text;
        if (!c.quoted) {
            EXPECT_EQ(shown, c.said ? texts(c.said) : QString());
            continue;
        }
        EXPECT_TRUE(shown.startsWith(texts(c.field)) &&
                    shown.contains('"' + QString::fromUtf8(c.quoted) + '"') && shown.contains(texts(c.said)))
            << qPrintable(shown);
    }
    const MqttValues stored = ReadMqttValues(settings);
    EXPECT_EQ(stored,
              (MqttValues{true, "broker", 8883, true, "user", "sécret", "tankmon/a", false, "ha", {}}));
    EXPECT_NE(settings.read(Cfg::Mqtt::Password), "sécret");
}

// A topic in the file that no broker takes is said once at start, quoting
// it (standard output carries the status panel here), and nothing goes to
// the broker: not even "online".
TEST_F(Mqtt, UnusableTopicInTheFileIsSaidOnceAndNothingIsPublished)
{
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port);
    ASSERT_TRUE(startProgram({}, "tankmon/\x01test"));
    const QByteArray quoted = R"(Topic="tankmon/\x01test")";
    ASSERT_TRUE(waitOutput(quoted)) << output.constData();
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, 1234)));
    ASSERT_TRUE(WaitFor([&] { return readBytes(dataDir() + "trace.txt").contains("EvalTelegramm"); }, 10000));
    ASSERT_TRUE(terminate());
    output += run.readAll();
    EXPECT_EQ(output.count(quoted), 1) << output.constData();
    EXPECT_TRUE(output.contains("[panel 1] MQTT: " + quoted)) << output.constData();
    // Messages of one broker reach the subscriber in order: once ours is
    // there, anything the program had sent would be too.
    ASSERT_EQ(QProcess::execute("mosquitto_pub",
                                {"-p", QString::number(broker.port), "-r", "-t", "test/end", "-m", "end"}),
              0);
    ASSERT_TRUE(sub.waitFor("test/end", Is("end")));
    EXPECT_EQ(sub.last.keys(), QStringList{"test/end"});
}

// A tank with six weeks of history behind it, published to a real broker: a
// sudden drop is "loss" true; the meter (and its energy) are meters in
// discovery. kill -9 after states newer than the stored one went out: the
// restart leaves the broker's newer state alone until the tank's next
// telegram; then the meter goes on from where it was and the loss is still
// open. After a clean end (registry saved) the stored state goes out at the
// start. (Its e-mail, once across a restart: LossRoad.)
TEST_F(Mqtt, LossMeterAndNoOlderStateAcrossAKill)
{
    ASSERT_TRUE(broker.start());
    // 20 L a day, a delivery of 1500 L three weeks ago; every telegram recorded.
    QByteArray history;
    const QDateTime today(QDate::currentDate(), QTime(6, 0));
    double level = 2000;
    for (int day = 42; day >= 1; --day) {
        level += day == 21 ? 1500 : -20;
        history += today.addDays(-day).toString("dd.MM.yyyy hh:mm:ss").toLatin1() + "," +
                   QByteArray::number(level) + ",Liter,12\r\n";
    }
    writeBytes(dataDir() + "Tank1.csv", history);
    const QByteArray mqtt =
        "kWhProEinheit1=10\r\n[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=9\r\n"
        "Tankvolumen=5000\r\nTankh\xF6he=1500\r\nTanktyp=1\r\n[Logfile]\r\nAktiv=1\r\nIntervall in s=0\r\n";

    const auto stateOf = [](const QByteArray &p) { return QJsonDocument::fromJson(p).object(); };
    const QString tank1 = "tankmon/test/tank1/state";
    Subscriber sub(broker.port);
    ASSERT_TRUE(startProgram(mqtt));
    // Twice: the loss compares with a level two readings in a row reached.
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, int(level))));
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, int(level))));
    ASSERT_TRUE(sub.waitFor(tank1, Level(level))) << output.constData();
    QJsonObject state = stateOf(sub.last[tank1]);
    EXPECT_EQ(state.value("loss"), false);
    double consumed = state.value("consumed").toDouble();
    EXPECT_EQ(consumed, 40 * 20); // the delivery is no use
    EXPECT_EQ(state.value("energy").toDouble(), consumed * 10);
    QStringList meters;
    for (const char *meter : {"consumed", "energy"}) {
        const QString topic = QStringLiteral("homeassistant/sensor/tankmon_4711/%1/config").arg(meter);
        ASSERT_TRUE(sub.waitFor(topic, Has("{"))) << meter;
        const QJsonObject c = stateOf(sub.last[topic]);
        meters << QStringList{c["state_class"].toString(), c["device_class"].toString(),
                              c["unit_of_measurement"].toString()};
    }
    EXPECT_EQ(meters, QStringList({"total_increasing", "volume", "L", "total_increasing", "energy", "kWh"}));
    ASSERT_TRUE(sub.waitFor("homeassistant/binary_sensor/tankmon_4711/loss/config", Has("value_json.loss")));

    // 300 L (6 % of the tank) gone within seconds, then a little more: the
    // second reading confirms the loss. A second later than the state stored
    // now, so their "time" is later too.
    const qint64 seen = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(WaitFor([&] { return QDateTime::currentSecsSinceEpoch() > seen; }, 3000));
    for (int drop : {300, 310}) {
        ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, int(level) - drop)));
        ASSERT_TRUE(sub.waitFor(tank1, Level(level - drop)));
        state = stateOf(sub.last[tank1]);
        EXPECT_EQ(state.value("loss"), drop == 310) << drop;
        EXPECT_EQ(state.value("consumed").toDouble(), consumed + drop);
    }
    consumed += 310;
    const QByteArray newest = sub.last[tank1];
    run.kill();
    run.waitForFinished();
    ASSERT_TRUE(sub.waitFor("tankmon/test/status", Is("offline")));

    ASSERT_TRUE(start());
    ASSERT_TRUE(sub.waitFor("tankmon/test/status", Is("online")));
    // Whatever the start sent for tank 1 went out before the state of a
    // tank registered now.
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(815, 50)));
    ASSERT_TRUE(sub.waitFor("tankmon/test/tank2/state", Level(50)));
    EXPECT_EQ(sub.last[tank1].toStdString(), newest.toStdString());
    // The tank's next telegram goes out as always: the meter 10 L on, the
    // loss still open.
    ASSERT_TRUE(sendAndHangUp(MakeTelegram(4711, int(level) - 320)));
    ASSERT_TRUE(sub.waitFor(tank1, Level(level - 320))) << output.constData();
    state = stateOf(sub.last[tank1]);
    EXPECT_EQ(state.value("consumed").toDouble(), consumed + 10);
    EXPECT_EQ(state.value("loss"), true);
    ASSERT_TRUE(terminate());

    // A fresh broker knows nothing: the start sends the stored state.
    broker.proc.kill();
    broker.proc.waitForFinished();
    ASSERT_TRUE(broker.start());
    Subscriber fresh(broker.port);
    ASSERT_TRUE(start());
    EXPECT_TRUE(fresh.waitFor(tank1, Level(level - 320))) << output.constData();
}

namespace
{
// Home Assistant's sensor device classes that discovery may use, each with
// the units Home Assistant accepts ("Available device classes" on
// https://developers.home-assistant.io/docs/core/entity/sensor, the
// developers' documentation of the sensor entity) and the state classes it
// allows with it (DEVICE_CLASS_STATE_CLASSES in
// homeassistant/components/sensor/const.py, which logs any other pair as
// impossible). Its energy dashboard takes only energy, gas and water meters.
struct HaClass {
    QStringList units, stateClasses;
};
const QStringList kVolumeUnits = {"L", "mL", "gal", "fl. oz.", "m³", "ft³", "CCF", "MCF"};
const QStringList kAnyState = {"measurement", "total", "total_increasing"};
const QStringList kTotals = {"total", "total_increasing"};
const QMap<QString, HaClass> kHaSensorClasses = {
    {"volume_storage", {kVolumeUnits, {"measurement"}}},
    {"volume", {kVolumeUnits, kTotals}},
    {"water", {{"L", "gal", "m³", "ft³", "CCF", "MCF"}, kTotals}},
    {"weight", {{"kg", "g", "mg", "µg", "oz", "lb", "st"}, kAnyState}},
    {"distance", {{"km", "m", "cm", "mm", "mi", "nmi", "yd", "in"}, kAnyState}},
    {"duration", {{"d", "h", "min", "s", "ms", "µs"}, kAnyState}},
    {"temperature", {{"°C", "°F", "K"}, {"measurement"}}},
    {"energy",
     {{"J", "kJ", "MJ", "GJ", "mWh", "Wh", "kWh", "MWh", "GWh", "TWh", "cal", "kcal", "Mcal", "Gcal"},
      kTotals}},
};
} // namespace

// Every discovery config of tanks in every unit, against Home Assistant's
// tables: a device class only with a unit and state class it accepts; the
// stored volume is volume_storage, the forecast a duration in days, a
// cistern's meter a water meter, Imperial gallons (which Home Assistant
// would take for US ones) without a class. A device that reports no
// temperature has no temperature entity; it comes with the first telegram
// that has one and goes again with the first that has none.
TEST_F(Publishing, DiscoveryClassesAreHomeAssistantsAndTemperatureOnlyWhereReported)
{
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port);
    MqttValues v;
    v.host = "127.0.0.1", v.port = broker.port, v.topic = "tankmon/test";
    v.kwhProEinheit = {10.0}; // tank 1 has an energy factor
    MqttPublisher publisher(tanks, snapshots, switches, settings, v, QString(), ui, texts, SystemClock());
    ASSERT_TRUE(sub.waitFor("tankmon/test/status", Is("online")));
    // Serial 100 + status unit bits: L (as a cistern: a water tank), m³, %,
    // m, kg (no temperature), Imperial and US gallons, t; then a litre tank
    // of another shape.
    for (int bits = 0; bits <= 7; ++bits)
        tanks.EvalTelegramm(Telegram{.sn = 100 + bits,
                                     .temp = bits == 4 ? 0 : 140,
                                     .status = bits << 5,
                                     .shape = bits == 0 ? 7 : 1}
                                .bytes(),
                            QString());
    tanks.EvalTelegramm(Telegram{.sn = 108}.bytes(), QString());
    ASSERT_EQ(tanks.DeviceCount(), 9);

    QMap<QString, QJsonObject> configs; // "<serial>/<object>"
    for (int sn = 100; sn <= 108; ++sn) {
        for (const QString &topic : MqttDiscoveryTopics("homeassistant", sn)) {
            ASSERT_TRUE(sub.waitFor(topic, [](const QByteArray &) { return true; })) << qPrintable(topic);
            const QString object = topic.section('/', -2, -2);
            if (sub.last[topic].isEmpty())
                continue;
            const QJsonObject c = QJsonDocument::fromJson(sub.last[topic]).object();
            configs.insert(QString::number(sn) + '/' + object, c);
            const QString deviceClass = c["device_class"].toString();
            const QString unit = c["unit_of_measurement"].toString();
            const QString stateClass = c["state_class"].toString();
            SCOPED_TRACE(qPrintable(topic + ' ' + sub.last[topic]));
            if (topic.contains("/binary_sensor/")) {
                EXPECT_EQ(deviceClass, "problem");
                EXPECT_TRUE(unit.isEmpty() && stateClass.isEmpty());
                continue;
            }
            EXPECT_TRUE(kAnyState.contains(stateClass));
            if (deviceClass.isEmpty())
                continue;
            ASSERT_TRUE(kHaSensorClasses.contains(deviceClass));
            EXPECT_TRUE(kHaSensorClasses[deviceClass].units.contains(unit));
            EXPECT_TRUE(kHaSensorClasses[deviceClass].stateClasses.contains(stateClass));
        }
    }
    const auto classOf = [&](const QString &key) {
        const QJsonObject c = configs.value(key);
        return c["device_class"].toString() + ' ' + c["unit_of_measurement"].toString() + ' ' +
               c["state_class"].toString();
    };
    EXPECT_EQ(classOf("100/level"), "volume_storage L measurement");
    EXPECT_EQ(classOf("101/level"), "volume_storage m³ measurement");
    EXPECT_EQ(classOf("106/level"), "volume_storage gal measurement");
    // Imperial gallons by a symbol of their own, never one Home Assistant reads as US ones.
    EXPECT_EQ(classOf("105/level"), " imp gal measurement");
    EXPECT_EQ(classOf("100/days_until_empty"), "duration d measurement");
    EXPECT_EQ(classOf("100/consumed"), "water L total_increasing");
    EXPECT_EQ(classOf("108/consumed"), "volume L total_increasing");
    EXPECT_EQ(classOf("100/energy"), "energy kWh total_increasing");
    EXPECT_EQ(classOf("100/temperature"), "temperature °C measurement");
    EXPECT_FALSE(configs.contains("104/temperature"));
    EXPECT_FALSE(configs.contains("101/energy"));

    const QString temperature = "homeassistant/sensor/tankmon_104/temperature/config";
    tanks.EvalTelegramm(Telegram{.sn = 104, .temp = 128 + 5, .status = 4 << 5}.bytes(), QString());
    EXPECT_TRUE(sub.waitFor(temperature, Has("temperature")));
    tanks.EvalTelegramm(Telegram{.sn = 104, .temp = 0, .status = 4 << 5}.bytes(), QString());
    EXPECT_TRUE(sub.waitFor(temperature, Is({})));
}
