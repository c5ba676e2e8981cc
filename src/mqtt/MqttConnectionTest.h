#pragma once
#include "MqttClient.h"
#include "MqttSettings.h"

#include <QObject>
#include <QTimer>
#include <memory>

class Texts;

// The dialog's "Test connection": one connection attempt to a broker with the
// values as typed, under a client id of its own (the running publisher's
// connection stays), answered once within the time limit, never blocking
// the event loop.
class MqttConnectionTest : public QObject
{
    Q_OBJECT
public:
    enum class Result { Accepted, Refused, Unreachable, NoAnswer };

    MqttConnectionTest(const MqttValues &values, const QString &caFile, int limitMs = 10000,
                       QObject *parent = nullptr);
    ~MqttConnectionTest() override;

    void start();
    // What the dialog says about a result, naming the broker.
    static QString ResultText(Result r, const MqttValues &values, const Texts &t);

signals:
    void finished(MqttConnectionTest::Result r);

private:
    void finish(Result r);

    MqttEndpoint endpoint_;
    std::unique_ptr<MqttClient, MqttClient::Later> client_;
    QTimer limit_;
    bool done_ = false;
};
