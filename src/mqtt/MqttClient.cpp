#include "MqttClient.h"

#include "core/SafeFile.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace
{
constexpr int kKeepAliveSecs = 30;
constexpr int kMaxPauseSecs = 60;
constexpr auto kStopGrace = std::chrono::seconds(3);
// The system's certificates when no bundle is named.
constexpr char kSystemCertificates[] = "/etc/ssl/certs";

// The client ids with a network thread on the broker (or about to be).
struct BusyIds {
    std::mutex mutex;
    std::condition_variable freed;
    QSet<QByteArray> ids;
};
BusyIds &busyIds()
{
    static BusyIds b;
    return b;
}
} // namespace

MqttClient::MqttClient(const MqttEndpoint &e, QObject *parent)
    : QObject(parent), host_(e.host.toUtf8()), clientId_(e.clientId.toUtf8()), port_(e.port)
{
    static const int initialised = mosquitto_lib_init();
    (void)initialised;
    m_ = mosquitto_new(e.clientId.toUtf8().constData(), true, this);
    if (!m_)
        return;
    mosquitto_threaded_set(m_, true);
    mosquitto_int_option(m_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_, &MqttClient::onConnect);
    mosquitto_message_callback_set(m_, &MqttClient::onMessage);
    if (!e.willTopic.isEmpty())
        mosquitto_will_set(m_, e.willTopic.toUtf8().constData(), int(e.willPayload.size()),
                           e.willPayload.constData(), 1, true);
    if (!e.userName.isEmpty())
        mosquitto_username_pw_set(m_, e.userName.toUtf8().constData(),
                                  e.password.isEmpty() ? nullptr : e.password.toUtf8().constData());
    // Looked at before libmosquitto opens it, here and on the network
    // thread: a FIFO there would hold both, and the program's end with them.
    if (e.tls && !e.caFile.isEmpty())
        if (const QString why = SafeFile::RegularFileProblem(e.caFile); !why.isEmpty())
            caProblem_ = QStringLiteral("TANKMON_MQTT_CAFILE is not a readable regular file: %1 (%2)")
                             .arg(e.caFile, why);
    if (e.tls && caProblem_.isEmpty()) {
        const QByteArray ca = e.caFile.toUtf8();
        mosquitto_tls_set(m_, ca.isEmpty() ? nullptr : ca.constData(),
                          ca.isEmpty() ? kSystemCertificates : nullptr, nullptr, nullptr, nullptr);
    }
}

MqttClient::~MqttClient()
{
    stop();
    if (thread_.joinable())
        thread_.join();
    if (m_)
        mosquitto_destroy(m_);
}

void MqttClient::DeleteWhenFinished(MqttClient *c)
{
    if (!c)
        return;
    c->stop();
    if (!c->thread_.joinable()) {
        delete c;
        return;
    }
    c->disconnect();
    c->setParent(QCoreApplication::instance());
    connect(c, &MqttClient::finished, c, &QObject::deleteLater);
}

void MqttClient::start()
{
    if (!caProblem_.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { emit problem(Problem::CaFile); }, Qt::QueuedConnection);
        return;
    }
    if (m_ && !thread_.joinable() && !stopped_)
        thread_ = std::thread(&MqttClient::run, this);
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_ || !up_ || stopping_)
        return false;
    return mosquitto_publish(m_, nullptr, topic.toUtf8().constData(), int(payload.size()),
                             payload.constData(), 0, retain) == MOSQ_ERR_SUCCESS;
}

void MqttClient::stop(const QString &lastTopic, const QByteArray &lastPayload)
{
    if (stopped_)
        return;
    stopped_ = true;
    if (m_ && up_ && !lastTopic.isEmpty())
        publish(lastTopic, lastPayload, true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopDeadline_ = std::chrono::steady_clock::now() + kStopGrace;
        stopping_ = true;
    }
    wake_.notify_all();
    {
        std::lock_guard<std::mutex> lock(busyIds().mutex);
    }
    busyIds().freed.notify_all();
    if (m_ && up_)
        mosquitto_disconnect(m_); // queued behind the last message
}

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *c = static_cast<MqttClient *>(self);
    if (rc == 0) {
        c->up_ = true;
        for (const QByteArray &f : std::as_const(c->filters_))
            mosquitto_subscribe(c->m_, nullptr, f.constData(), 0);
        QMetaObject::invokeMethod(
            c, [c] { emit c->connected(); }, Qt::QueuedConnection);
    } else {
        // 4: bad user name or password, 5: not authorised.
        c->refused_ = rc == 4 || rc == 5;
    }
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *msg)
{
    auto *c = static_cast<MqttClient *>(self);
    MqttInbound in{QByteArray(msg->topic),
                   QByteArray(static_cast<const char *>(msg->payload), msg->payloadlen), msg->retain};
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(c->inboxMutex_);
        first = c->inbox_.empty();
        c->inbox_.push_back(std::move(in));
    }
    // One event for the burst: what arrives before it runs joins the inbox.
    if (first)
        QMetaObject::invokeMethod(c, &MqttClient::deliver, Qt::QueuedConnection);
}

void MqttClient::deliver()
{
    std::vector<MqttInbound> batch;
    {
        std::lock_guard<std::mutex> lock(inboxMutex_);
        batch.swap(inbox_);
    }
    if (!batch.empty())
        emit messagesReceived(batch);
}

void MqttClient::run()
{
    BusyIds &busy = busyIds();
    bool mine = false;
    {
        std::unique_lock<std::mutex> lock(busy.mutex);
        busy.freed.wait(lock, [&] { return stopping_ || !busy.ids.contains(clientId_); });
        if (!stopping_) {
            busy.ids.insert(clientId_);
            mine = true;
        }
    }
    int pause = 1;
    while (!stopping_) {
        refused_ = false;
        if (mosquitto_connect_async(m_, host_.constData(), port_, kKeepAliveSecs) == MOSQ_ERR_SUCCESS) {
            // Until the connection ends; after a stop, until the disconnect
            // has gone out or the grace time is over.
            while (mosquitto_loop(m_, 200, 1) == MOSQ_ERR_SUCCESS) {
                if (stopping_ && (!up_ || std::chrono::steady_clock::now() > stopDeadline_))
                    break;
            }
        }
        const bool wasUp = up_.exchange(false);
        if (stopping_)
            break;
        if (wasUp)
            pause = 1;
        const Problem p = refused_ ? Problem::LoginRefused : Problem::Unreachable;
        QMetaObject::invokeMethod(
            this, [this, p] { emit problem(p); }, Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(pause), [this] { return stopping_.load(); });
        pause = std::min(pause * 2, kMaxPauseSecs);
    }
    mosquitto_disconnect(m_);
    if (mine) {
        {
            std::lock_guard<std::mutex> lock(busy.mutex);
            busy.ids.remove(clientId_);
        }
        busy.freed.notify_all();
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (thread_.joinable())
                thread_.join();
            emit finished();
        },
        Qt::QueuedConnection);
}
