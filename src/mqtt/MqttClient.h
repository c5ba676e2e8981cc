#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// Where and how to connect; the will is published retained by the broker
// when the connection breaks without a clean stop.
struct MqttEndpoint {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile; // PEM bundle; empty: the system's certificates
    QString userName, password;
    QString clientId;
    QString willTopic;
    QByteArray willPayload;
};

// One connection to a broker through libmosquitto, kept up by a network
// thread of its own: it connects, reconnects with a growing pause (1 s
// doubling up to a minute) and sends what publish() queued. The event loop
// never waits for the network: publish() only queues, and what happens on
// the connection comes back as signals on the event loop.
class MqttClient : public QObject {
    Q_OBJECT
public:
    enum class Problem { Unreachable, LoginRefused };

    explicit MqttClient(const MqttEndpoint &endpoint, QObject *parent = nullptr);
    // A clean stop without a last message when stop() was not called.
    ~MqttClient() override;

    void start();
    // Queued for the network thread (QoS 0); false when there is no
    // connection to queue it on.
    bool publish(const QString &topic, const QByteArray &payload, bool retain);
    // Clean stop: the last message and the disconnect go out after what is
    // queued (at most a few seconds), then the thread ends. Once.
    void stop(const QString &lastTopic = QString(), const QByteArray &lastPayload = QByteArray());

signals:
    void connected();
    // A connection attempt failed or an established connection broke.
    void problem(MqttClient::Problem p);

private:
    void run();
    static void onConnect(mosquitto *m, void *self, int rc);

    mosquitto *m_ = nullptr;
    QByteArray host_;
    int port_ = 1883;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> up_{false};
    std::atomic<bool> refused_{false};
    std::chrono::steady_clock::time_point stopDeadline_;
    bool stopped_ = false;
};
