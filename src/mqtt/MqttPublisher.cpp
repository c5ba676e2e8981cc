#include "MqttPublisher.h"

#include "MqttPayloads.h"

#include "core/Catalogue.h"
#include "core/DateText.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "model/TankSnapshots.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <algorithm>

namespace
{
const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

QString brokerName(const MqttValues &v)
{
    return v.host + QLatin1Char(':') + QString::number(v.port);
}

// A failed write of the marks is tried again after this long, not at every
// telegram (each failure is a message).
constexpr int kMarkRetrySecs = 60;

// The state's "time" goes out to the second.
QDateTime toSecond(const QDateTime &t)
{
    return t.isValid() ? t.addMSecs(-t.time().msec()) : t;
}

// A tank's stored "Uhrzeit" in the one form the marks are written in.
QString storedTimeText(const Settings &settings, int n)
{
    return FormatDateText(DateTimeTextValue(settings.read(Cfg::Device::Uhrzeit.at(n))));
}
} // namespace

MqttPublisher::MqttPublisher(TankController &tanks, const TankSnapshots &snapshots,
                             const RunSwitches &switches, Settings &settings, const MqttValues &values,
                             const QString &caFile, UiServices &ui, const Texts &texts, ClockFn clock,
                             QObject *parent)
    : QObject(parent), tanks_(tanks), snapshots_(snapshots), switches_(switches), settings_(settings),
      clock_(clock), values_(values), ui_(ui), texts_(texts), trace_(switches, clock)
{
    MqttEndpoint e = EndpointOf(values_, caFile,
                                QStringLiteral("tankmon-%1-%2")
                                    .arg(QSysInfo::machineHostName())
                                    .arg(QCoreApplication::applicationPid()));
    e.willTopic = MqttStatusTopic(values_.topic);
    e.willPayload = kOffline;
    siteName_ = MqttSiteName(settings_.read(Cfg::Email::Kundenname), values_.topic);
    client_.reset(new MqttClient(e));
    connect(client_.get(), &MqttClient::connected, this, &MqttPublisher::connectedToBroker);
    connect(client_.get(), &MqttClient::problem, this, &MqttPublisher::brokerProblem);
    connect(&snapshots_, &TankSnapshots::snapshotChanged, this, &MqttPublisher::tankChanged);
    connect(&tanks_, &TankController::tableReset, this, [this] {
        readFloors(); // the marks moved with their tanks
        removeStale();
        for (int n = 1; n <= tanks_.DeviceCount(); ++n)
            tankChanged(n);
    });
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        knownSerials_.insert(tanks_.device(n).SN);
    knownTanks_ = tanks_.DeviceCount();
    readFloors();
    publishTimer_.setSingleShot(true);
    connect(&publishTimer_, &QTimer::timeout, this, &MqttPublisher::publishPending);
    client_->start();
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

void MqttPublisher::stop()
{
    online_ = false;
    pending_.clear();
    client_->stop(MqttStatusTopic(values_.topic), kOffline);
}

void MqttPublisher::say(const QString &text)
{
    ui_.status(NoticeTopic::Mqtt, text);
    trace_.LogInFile(text);
}

void MqttPublisher::connectedToBroker()
{
    online_ = true;
    trace_.LogInFile(FormatText(texts_(421), {brokerName(values_)}));
    if (problemSaid_) {
        problemSaid_ = false;
        ui_.status(NoticeTopic::Mqtt, FormatText(texts_(421), {brokerName(values_)}));
    }
    emit brokerState(true, FormatText(texts_(421), {brokerName(values_)}));
    client_->publish(MqttStatusTopic(values_.topic), kOnline, true);
    configSource_.clear();
    removeStale();
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        pending_.insert(n);
    publishPending();
}

void MqttPublisher::brokerProblem(MqttClient::Problem p)
{
    online_ = false;
    if (problemSaid_)
        return;
    problemSaid_ = true;
    const QString text =
        p == MqttClient::Problem::CaFile
            ? client_->caProblem()
            : FormatText(texts_(p == MqttClient::Problem::LoginRefused ? 423 : 422), {brokerName(values_)});
    say(text);
    emit brokerState(false, text);
}

void MqttPublisher::tankChanged(int n)
{
    if (n < 1 || n > tanks_.DeviceCount())
        return;
    knownSerials_.insert(snapshots_.at(n)->record.SN);
    knownTanks_ = qMax(knownTanks_, tanks_.DeviceCount());
    if (!online_)
        return;
    pending_.insert(n);
    // Once the evaluation that changed the tank has ended.
    if (!publishTimer_.isActive()) {
        const qint64 since = lastPublished_.isValid() ? lastPublished_.elapsed() : kStatePauseMs;
        publishTimer_.start(int(qBound(qint64(0), qint64(kStatePauseMs) - since, qint64(kStatePauseMs))));
    }
}

void MqttPublisher::publishPending()
{
    const QSet<int> tanks = std::exchange(pending_, {});
    if (!online_)
        return;
    lastPublished_.start();
    markStatesNewerThanStored(tanks);
    for (int n : tanks)
        if (n <= tanks_.DeviceCount())
            publishTank(n);
}

void MqttPublisher::publishTank(int n)
{
    const TankSnapshotPtr snapshot = snapshots_.at(n);
    const DeviceRecord &r = snapshot->record;
    const double kwhPerUnit = values_.kwhProEinheit.value(n - 1);
    const bool energy = kwhPerUnit > 0;
    const QString source = MqttDiscoveryKey(r, energy);
    if (values_.discovery && configSource_.value(n) != source) {
        // Entities the tank no longer has (energy switched off, no
        // temperature) go from the broker with the rest.
        bool sent = true;
        for (const MqttMessage &m :
             MqttDiscoveryConfigs(values_.discoveryPrefix, values_.topic, n, r, energy))
            sent = client_->publish(m.topic, m.payload, true) && sent;
        if (sent)
            configSource_.insert(n, source);
    }
    if (!mayPublish(n))
        return;
    client_->publish(MqttStateTopic(values_.topic, n),
                     MqttStateJson(*snapshot, clock_(), kwhPerUnit, siteName_), true);
    if (r.Uhrzeit.isValid())
        floor_.insert(n, toSecond(r.Uhrzeit));
}

bool MqttPublisher::storedStateOutrun(int n) const
{
    const QString mark = settings_.read(Cfg::Device::MqttNeuerAls.at(n));
    return !mark.isEmpty() && mark == storedTimeText(settings_, n);
}

void MqttPublisher::readFloors()
{
    floor_.clear();
    const QDateTime now = clock_();
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        if (!storedStateOutrun(n))
            continue;
        // The broker holds a state newer than the stored one (at least a
        // second newer, as "time" goes out): the stored one stays back.
        const QDateTime stored = ParseDateTimeText(settings_.read(Cfg::Device::Uhrzeit.at(n)), now);
        floor_.insert(n, stored.isValid() ? stored.addSecs(1) : QDateTime());
    }
}

bool MqttPublisher::mayPublish(int n) const
{
    const auto floor = floor_.constFind(n);
    if (floor == floor_.cend())
        return true;
    const QDateTime t = tanks_.device(n).Uhrzeit;
    if (!t.isValid())
        return false;
    // A floor more than a day ahead came from a clock that was wrong, as a
    // stored time that far ahead counts as none.
    if (!floor->isValid() || *floor > clock_().addDays(1))
        return true;
    return toSecond(t) >= *floor;
}

void MqttPublisher::markStatesNewerThanStored(const QSet<int> &tanks)
{
    if (!tanks_.registry().writable())
        return;
    const QDateTime now = clock_();
    if (markRetry_.isValid() && now < markRetry_ && now.addSecs(kMarkRetrySecs) >= markRetry_)
        return;
    const bool needed = std::any_of(tanks.cbegin(), tanks.cend(), [&](int n) {
        if (n > tanks_.DeviceCount() || !mayPublish(n))
            return false;
        const QDateTime t = toSecond(tanks_.device(n).Uhrzeit);
        const QDateTime stored = DateTimeTextValue(settings_.read(Cfg::Device::Uhrzeit.at(n)));
        return t.isValid() && (!stored.isValid() || t > stored) && !storedStateOutrun(n);
    });
    if (!needed)
        return;
    // Every tank at once: until the next registry save no telegram needs
    // another write.
    Settings::Batch batch(settings_);
    for (int n = 1; n <= tanks_.DeviceCount(); ++n) {
        if (!storedStateOutrun(n))
            settings_.write(Cfg::Device::MqttNeuerAls.at(n), storedTimeText(settings_, n));
    }
    markRetry_ = batch.commit() ? QDateTime() : now.addSecs(kMarkRetrySecs);
}

void MqttPublisher::removeStale()
{
    if (!online_)
        return;
    QSet<qint32> present;
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        present.insert(tanks_.device(n).SN);
    for (auto it = knownSerials_.begin(); it != knownSerials_.end();) {
        if (present.contains(*it)) {
            ++it;
            continue;
        }
        for (const QString &topic : MqttDiscoveryTopics(values_.discoveryPrefix, *it))
            client_->publish(topic, QByteArray(), true);
        it = knownSerials_.erase(it);
    }
    configSource_.clear(); // tanks moved to other numbers: their configs name new state topics
    for (int n = tanks_.DeviceCount() + 1; n <= knownTanks_; ++n)
        client_->publish(MqttStateTopic(values_.topic, n), QByteArray(), true);
    knownTanks_ = tanks_.DeviceCount();
}
