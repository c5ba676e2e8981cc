#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

// A message the broker passed on for a subscription. retained: the broker
// sent it because the subscription was (re)made, as the known state of its
// topic, not because it was published just now.
struct MqttInbound {
    QByteArray topic;
    QByteArray payload;
    bool retained = false;
};

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
// never waits for the network: publish() only queues, stop() only asks, and
// what happens on the connection comes back as signals on the event loop.
// A client with the same id as one still ending waits (on its own thread)
// until that one is gone, so the old "offline" never follows the new start.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    // CaFile: TLS is on and the endpoint's CA file is no readable regular
    // file (caProblem() says why); no connection is attempted.
    enum class Problem { Unreachable, LoginRefused, CaFile };

    explicit MqttClient(const MqttEndpoint &endpoint, QObject *parent = nullptr);
    // A clean stop without a last message when stop() was not called; waits
    // for the network thread, so owners delete through Later instead.
    ~MqttClient() override;

    // Stops the client and deletes it once its network thread has ended (at
    // once when it has). Until then it belongs to the application object, so
    // nothing outlives the program's end.
    static void DeleteWhenFinished(MqttClient *client);
    struct Later {
        void operator()(MqttClient *c) const { DeleteWhenFinished(c); }
    };

    // Subscribed (QoS 0) on every connection, reconnections included; set
    // before start().
    void subscribe(const QList<QByteArray> &filters) { filters_ = filters; }
    void start();
    QString caProblem() const { return caProblem_; }
    // Queued for the network thread (QoS 0); false when there is no
    // connection to queue it on.
    bool publish(const QString &topic, const QByteArray &payload, bool retain);
    // Clean stop without waiting: the last message and the disconnect go out
    // after what is queued (at most a few seconds), then the thread ends and
    // finished() follows. Once.
    void stop(const QString &lastTopic = QString(), const QByteArray &lastPayload = QByteArray());

signals:
    void connected();
    // A connection attempt failed or an established connection broke.
    void problem(MqttClient::Problem p);
    // The network thread has ended.
    void finished();
    // What arrived on the subscription since the last time, in order; the
    // network thread hands over a whole burst at once, so a broker that
    // replays thousands of retained states costs one event, not thousands.
    void messagesReceived(const std::vector<MqttInbound> &messages);

private:
    void run();
    static void onConnect(mosquitto *m, void *self, int rc);
    static void onMessage(mosquitto *m, void *self, const mosquitto_message *msg);
    void deliver();

    mosquitto *m_ = nullptr;
    QByteArray host_;
    QByteArray clientId_;
    int port_ = 1883;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> up_{false};
    std::atomic<bool> refused_{false};
    std::chrono::steady_clock::time_point stopDeadline_;
    bool stopped_ = false;
    QString caProblem_;
    QList<QByteArray> filters_;
    std::mutex inboxMutex_;
    std::vector<MqttInbound> inbox_; // filled by the network thread, emptied by deliver()
};
