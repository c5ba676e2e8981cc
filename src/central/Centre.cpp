#include "Centre.h"

#include "RemoteState.h"

#include "model/SiteTanks.h"

#include <QCoreApplication>
#include <QSysInfo>

Centre::Centre(SiteTanks &store, const CentralValues &v, const QString &caFile, int silenceHours,
               ClockFn clock, QObject *parent)
    : QObject(parent), store_(store), values_(v), silenceHours_(silenceHours), clock_(std::move(clock))
{
    const QString id = QStringLiteral("tankmon-central-%1-%2")
                           .arg(QSysInfo::machineHostName())
                           .arg(QCoreApplication::applicationPid());
    client_.reset(new MqttClient(CentralEndpoint(v, caFile, id)));
    client_->subscribe(SiteSubscriptions(v.filter));
    connect(client_.get(), &MqttClient::messagesReceived, this, &Centre::take);
    connect(client_.get(), &MqttClient::connected, this, [this] {
        connected_ = true;
        emit brokerState(true, values_.host + QLatin1Char(':') + QString::number(values_.port));
    });
    connect(client_.get(), &MqttClient::problem, this, [this](MqttClient::Problem p) {
        const bool was = connected_;
        connected_ = false;
        if (p == MqttClient::Problem::CaFile)
            emit brokerState(false, client_->caProblem());
        else if (was || p == MqttClient::Problem::LoginRefused)
            emit brokerState(false, p == MqttClient::Problem::LoginRefused
                                        ? QStringLiteral("login refused by %1").arg(values_.host)
                                        : QStringLiteral("%1 unreachable").arg(values_.host));
    });
    silenceTimer_.setInterval(kSilenceCheckMs);
    connect(&silenceTimer_, &QTimer::timeout, this, &Centre::checkSilence);
}

Centre::~Centre() = default;

void Centre::start()
{
    client_->start();
    silenceTimer_.start();
}

void Centre::stop()
{
    silenceTimer_.stop();
    client_.reset();
    connected_ = false;
}

void Centre::take(const std::vector<MqttInbound> &messages)
{
    const QDateTime now = clock_();
    for (const MqttInbound &m : messages) {
        const SiteTopic t = ParseSiteTopic(m.topic);
        if (t.base.isEmpty() || m.payload.isEmpty())
            continue; // not a site's, or a cleared retained message
        const int site = store_.site(t.base);
        if (t.status) {
            const bool online = m.payload == "online";
            const bool changed = store_.siteAt(site).online != online || !store_.siteAt(site).since.isValid();
            store_.setOnline(site, online, now);
            if (changed && !m.retained)
                emit siteChanged(site, online);
            continue;
        }
        QString siteName;
        std::optional<TankSnapshot> s =
            RemoteSnapshot(m.payload, t.tank, store_.siteAt(site).name, now, &siteName);
        if (!s)
            continue; // garbage from a topic of ours: the last good state stays
        if (!siteName.isEmpty() && siteName != store_.siteAt(site).ownName)
            store_.setSiteName(site, siteName);
        s->site = store_.siteAt(site).name;
        if (std::optional<TankSnapshot> silent = SilencedSnapshot(*s, silenceHours_, now))
            s = std::move(silent);
        put(site, std::make_shared<const TankSnapshot>(std::move(*s)), !m.retained);
    }
}

void Centre::put(int site, TankSnapshotPtr s, bool live)
{
    TankSnapshotPtr before = store_.at(site, s->tank);
    store_.put(site, s);
    emit tankUpdated(s);
    if (live && (!before || before->status.condition != s->status.condition))
        emit tankChanged(before, s);
}

void Centre::checkSilence()
{
    const QDateTime now = clock_();
    const std::vector<TankSnapshotPtr> &rows = store_.rows();
    for (size_t r = 0; r < rows.size(); ++r) {
        if (std::optional<TankSnapshot> silent = SilencedSnapshot(*rows[r], silenceHours_, now)) {
            TankSnapshotPtr before = rows[r];
            auto after = std::make_shared<const TankSnapshot>(std::move(*silent));
            store_.put(store_.siteOfRow(int(r)), after);
            emit tankChanged(before, after);
        }
    }
}
