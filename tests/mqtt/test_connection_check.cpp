#include "mqtt/MqttPeers.h"

#include "mqtt/MqttConnectionTest.h"
#include "mqtt/MqttSettings.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <optional>

namespace
{
// Runs the dialog's connection test to completion; how long it took beside.
std::pair<std::optional<MqttConnectionTest::Result>, qint64> RunTest(const MqttValues &v, int limitMs = 10000)
{
    MqttConnectionTest test(v, QString(), limitMs);
    std::optional<MqttConnectionTest::Result> result;
    int answers = 0;
    QObject::connect(&test, &MqttConnectionTest::finished, [&](MqttConnectionTest::Result r) {
        result = r;
        ++answers;
    });
    QElapsedTimer clock;
    clock.start();
    test.start();
    EXPECT_FALSE(result) << "answered inside start(): the caller's event loop would have waited";
    WaitFor([&] { return result.has_value(); }, limitMs + 5000);
    const qint64 took = clock.elapsed();
    EXPECT_EQ(answers, 1);
    return {result, took};
}

MqttValues At(quint16 port, const QString &user = {}, const QString &password = {})
{
    MqttValues v;
    v.host = QStringLiteral("127.0.0.1"), v.port = port, v.userName = user, v.password = password;
    return v;
}
} // namespace

// A broker with a password file: the right login is accepted, a wrong one
// is refused; a port nobody listens on is unreachable; a peer that
// takes the connection and never answers gets "no answer" at the limit. The
// right password is one the former stored form broke (the '+' at position 33
// became a line break; letters beyond Windows-1252), as the dialog stores it
// and a later start reads it.
TEST_F(DataDirTest, MqttConnectionCheckSaysWhetherTheBrokerAcceptsTheLogin)
{
    const QString password = QString(32, 'x') + QStringLiteral("+ hasło \"żółw\" ");
    Broker broker;
    ASSERT_TRUE(broker.start(true, password));
    WriteMqttValues(settings, At(broker.port, "tankmon", password));
    copyToFreshFolder();
    using R = MqttConnectionTest::Result;
    const std::pair<MqttValues, R> cases[] = {
        {ReadMqttValues(settings), R::Accepted},
        {At(broker.port, "tankmon", "wrong"), R::Refused},
        {At(FreeTcpPort(), "tankmon", password), R::Unreachable},
    };
    for (const auto &[values, expected] : cases) {
        const auto [result, took] = RunTest(values);
        ASSERT_TRUE(result) << values.port;
        EXPECT_EQ(*result, expected) << qPrintable(values.userName + "/" + values.password);
        EXPECT_LT(took, 10000);
    }

    QTcpServer silent; // accepts, reads nothing, says nothing
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const auto [result, took] = RunTest(At(silent.serverPort()), 1500);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, R::NoAnswer);
    EXPECT_GE(took, 1400);
}
