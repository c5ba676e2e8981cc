#include "MqttSettings.h"

#include "MqttClient.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "email/PasswordScramble.h"
#include "lang/Lng.h"

#include <QSysInfo>

#include <algorithm>
#include <cmath>
#include <utility>

QString DefaultMqttTopic()
{
    return QStringLiteral("tankmon/") + QSysInfo::machineHostName();
}

namespace
{
QString withoutTrailingSlash(QString s)
{
    s = s.trimmed();
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}
} // namespace

namespace
{
const BrokerKeys kBroker{Cfg::Mqtt::Aktiv, Cfg::Mqtt::Host,     Cfg::Mqtt::Port,
                         Cfg::Mqtt::TLS,   Cfg::Mqtt::UserName, Cfg::Mqtt::Password};
} // namespace

MqttValues ReadMqttValues(const Settings &settings, int tanks)
{
    using namespace Cfg::Mqtt;
    MqttValues v;
    ReadBrokerKeys(settings, kBroker, v);
    v.topic = withoutTrailingSlash(settings.read(Topic, DefaultMqttTopic()));
    if (v.topic.isEmpty())
        v.topic = DefaultMqttTopic();
    v.discovery = settings.readIsOne(Discovery);
    v.discoveryPrefix = withoutTrailingSlash(settings.read(DiscoveryPrefix));
    if (v.discoveryPrefix.isEmpty())
        v.discoveryPrefix = QString::fromUtf8(DiscoveryPrefix.def);
    for (int n = 1; n <= tanks; ++n) {
        // A hand-edited comma counts as the decimal point; anything else
        // that is not a positive number is no energy sensor.
        const double k =
            settings.read(KWhProEinheit.at(n)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        v.kwhProEinheit << (std::isfinite(k) && k > 0 ? k : 0);
    }
    return v;
}

void WriteMqttValues(Settings &settings, const MqttValues &v)
{
    using namespace Cfg::Mqtt;
    Settings::Batch batch(settings);
    WriteBrokerKeys(settings, kBroker, v);
    settings.write(Topic, withoutTrailingSlash(v.topic));
    settings.write(Discovery, v.discovery ? 1 : 0);
    settings.write(DiscoveryPrefix, withoutTrailingSlash(v.discoveryPrefix));
    for (int n = 1; n <= v.kwhProEinheit.size(); ++n) {
        const double k = v.kwhProEinheit[n - 1];
        if (std::isfinite(k) && k > 0)
            settings.write(KWhProEinheit.at(n), QString::number(k, 'g', 12));
        else
            settings.write(KWhProEinheit.at(n), IniNoValue);
    }
}

int TopicFault(const QString &topic)
{
    if (topic.isEmpty())
        return 651;
    if (topic.contains(QLatin1Char('+')) || topic.contains(QLatin1Char('#')))
        return 652;
    // C0, DEL and C1: a broker refuses NUL, and the others make topics
    // nobody can type or subscribe to reliably.
    if (std::any_of(topic.cbegin(), topic.cend(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return 653;
    if (topic.startsWith(QLatin1Char('/')))
        return 654;
    if (topic.startsWith(QLatin1Char('$')))
        return 655;
    return 0;
}

QString MqttTopicProblem(const MqttValues &v, const Texts &texts)
{
    using namespace Cfg::Mqtt;
    for (const auto &[key, value] :
         {std::pair{&Topic, &v.topic}, std::pair{&DiscoveryPrefix, &v.discoveryPrefix}}) {
        if (const int fault = TopicFault(*value))
            return FormatText(texts(656), {key->keyName(), ControlsEscaped(*value), texts(fault)});
    }
    return QString();
}

MqttEndpoint EndpointOf(const MqttValues &v, const QString &caFile, const QString &clientId)
{
    MqttEndpoint e;
    e.host = v.host;
    e.port = v.port;
    e.tls = v.tls;
    e.caFile = caFile;
    e.userName = v.userName;
    e.password = v.password;
    e.clientId = clientId;
    return e;
}
