// Every surface of one run tells the same about each tank: the program as the
// start-up builds it, fed over a mock serial link, its web API and metrics,
// its MQTT states on a real mosquitto broker and the fleet list's model.
#include "RoadTest.h"
#include "mqtt/MqttPeers.h"
#include "web/WebRequest.h"

#include "model/FleetModel.h"
#include "model/TankSnapshots.h"
#include "mqtt/MqttPayloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <ostream>

namespace
{

// What one surface says of one tank.
struct Said {
    std::optional<double> days; // to one decimal, as the API and MQTT give them
    bool loss = false;
    std::optional<double> consumed;
    QString state;
    bool operator==(const Said &) const = default;
};

[[maybe_unused]] void PrintTo(const Said &s, std::ostream *os)
{
    *os << "days " << (s.days ? QString::number(*s.days).toStdString() : "none") << ", loss " << s.loss
        << ", consumed " << (s.consumed ? QString::number(*s.consumed).toStdString() : "none") << ", state "
        << s.state.toStdString();
}

std::optional<double> oneDecimal(std::optional<double> d)
{
    return d ? std::optional(std::round(*d * 10) / 10) : std::nullopt;
}

std::optional<double> numberOrNone(const QJsonValue &v)
{
    return v.isDouble() ? std::optional(v.toDouble()) : std::nullopt;
}

Said FromJson(const QJsonObject &o)
{
    return {numberOrNone(o["days_until_empty"]), o["loss"].toBool(), numberOrNone(o["consumed"]),
            o["state"].toString()};
}

// Tank n in the metrics text.
Said FromMetrics(const QByteArray &text, int n)
{
    static const QRegularExpression sample(R"re(^(tankmon_\w+)\{tank="(\d+)"(?:,state="(\w+)")?\} (\S+)$)re");
    Said s;
    for (const QByteArray &line : text.split('\n')) {
        const QRegularExpressionMatch m = sample.match(QString::fromUtf8(line));
        if (!m.hasMatch() || m.captured(2).toInt() != n)
            continue;
        const QString name = m.captured(1);
        const double value = m.captured(4).toDouble();
        if (name == "tankmon_time_until_empty_seconds")
            s.days = oneDecimal(value / 86400);
        else if (name == "tankmon_loss")
            s.loss = value == 1;
        else if (name == "tankmon_consumed_litres_total") // the tanks count in litres
            s.consumed = value;
        else if (name == "tankmon_state")
            s.state = m.captured(3);
    }
    return s;
}

class OneView : public RoadTest
{
protected:
    // A reading of tank sn at now + minutes: a level, or an error word.
    void read(int minutes, int sn, int levelWord)
    {
        now = now.addSecs(60 * minutes);
        run->mocks.serial->feed(Telegram{.sn = sn, .levelWord = levelWord}.bytes());
    }

    // Row of tank n in the fleet list: its days, loss and state, and the
    // meter of the content's tool tip ("Consumed since the first reading: 1,234.5 L").
    Said fromFleet(const FleetModel &model, int n) const
    {
        Said s;
        const double days = model.index(n - 1, FleetModel::Days).data(FleetModel::SortRole).toDouble();
        if (days < 1e300)
            s.days = oneDecimal(days);
        const auto c =
            TankCondition(model.index(n - 1, FleetModel::State).data(FleetModel::ConditionRole).toInt());
        s.state = TankConditionName(c);
        s.loss = c == TankCondition::Loss;
        const QString tip = model.index(n - 1, FleetModel::Content).data(Qt::ToolTipRole).toString();
        static const QRegularExpression meter(QStringLiteral(R"re(: (\S+) \S+$)re"));
        bool ok = false;
        const double consumed = run->parts.texts().locale().toDouble(meter.match(tip).captured(1), &ok);
        if (ok)
            s.consumed = consumed;
        return s;
    }

    Broker broker;
};

} // namespace

// A tank in normal use (1001), one that reports a fault after days of use
// (1002) and one that loses 8 % of its content within 20 minutes (1003).
TEST_F(OneView, ApiMetricsMqttAndFleetListAgreeNoForecastInAFault)
{
    ASSERT_TRUE(broker.start());
    const quint16 webPort = FreeTcpPort();
    writeBytes(iniPath(), "[Common]\r\nActiveCom=1\r\n[Logfile]\r\nAktiv=1\r\nIntervall in s=3600\r\n"
                          "[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTopic=tankmon/test\r\nPort=" +
                              QByteArray::number(broker.port) +
                              "\r\n[Web]\r\nAktiv=1\r\nPort=" + QByteArray::number(webPort) + "\r\n");
    startApp();
    ASSERT_NE(run->mocks.serial, nullptr);
    FleetModel fleet(run->parts.tanks(), run->parts.snapshots(), clock, run->parts.texts());
    Subscriber sub(broker.port);

    // Six days, a reading every six hours.
    for (int i = 0; i < 24; ++i) {
        read(360, 1001, Bcd(4000 - 20 * i));
        read(0, 1002, Bcd(3000 - 15 * i));
        read(0, 1003, Bcd(4500 - 20 * i));
    }
    read(10, 1002, 0xE008);
    for (int i = 0; i < 7; ++i)
        read(10, 1003, Bcd(4000));
    read(10, 1003, Bcd(3800));
    read(10, 1003, Bcd(3600));
    ASSERT_EQ(run->parts.tanks().DeviceCount(), 3);

    // MQTT: each tank's latest state at the broker.
    QList<QJsonObject> mqtt(3);
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(sub.waitFor(QStringLiteral("tankmon/test/tank%1/state").arg(n), [&](const QByteArray &p) {
            mqtt[n - 1] = QJsonDocument::fromJson(p).object();
            return mqtt[n - 1]["time"].toString() == IsoTimeWithOffset(run->parts.tanks().device(n).Uhrzeit);
        })) << n;
    const QJsonArray api = QJsonDocument::fromJson(request(webPort, "/api/v1/tanks").body)["tanks"].toArray();
    const QByteArray metrics = request(webPort, "/metrics").body;
    ASSERT_EQ(api.size(), 3) << metrics.constData();
    // Every telegram counted by the link it came by.
    EXPECT_TRUE(metrics.contains("tankmon_telegrams_total{link=\"serial\"} 82\n")) << metrics.constData();

    QList<Said> said;
    for (int n = 1; n <= 3; ++n) {
        const Said fromApi = FromJson(api[n - 1].toObject());
        EXPECT_EQ(FromMetrics(metrics, n), fromApi) << "tank " << n << "\n" << metrics.constData();
        EXPECT_EQ(FromJson(mqtt[n - 1]), fromApi) << "tank " << n;
        EXPECT_EQ(fromFleet(fleet, n), fromApi) << "tank " << n;
        said << fromApi;
    }
    EXPECT_TRUE(said[0].days && said[0].consumed && !said[0].loss && said[0].state == "ok")
        << ::testing::PrintToString(said[0]);
    EXPECT_EQ(said[1].days, std::nullopt) << "no forecast in a fault";
    EXPECT_EQ(said[1].state, "fault");
    EXPECT_TRUE(said[2].days && said[2].loss && said[2].state == "loss") << ::testing::PrintToString(said[2]);
}
