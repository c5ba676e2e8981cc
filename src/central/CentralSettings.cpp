#include "CentralSettings.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "email/PasswordScramble.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttSettings.h"

namespace
{
const BrokerKeys kBroker{Cfg::Zentrale::Aktiv, Cfg::Zentrale::Host,     Cfg::Zentrale::Port,
                         Cfg::Zentrale::TLS,   Cfg::Zentrale::UserName, Cfg::Zentrale::Password};
} // namespace

CentralValues ReadCentralValues(const Settings &settings)
{
    using namespace Cfg::Zentrale;
    CentralValues v;
    ReadBrokerKeys(settings, kBroker, v);
    const QString filter = settings.read(Filter).trimmed();
    v.filter = IsTopicFilter(filter) ? filter : QString::fromUtf8(Filter.def);
    const qint64 minutes = settings.readInt(Sammelminuten);
    v.digestMinutes = minutes >= 0 && minutes <= 1440 ? int(minutes) : 5;
    v.folder = settings.read(Pfad).trimmed();
    return v;
}

void WriteCentralValues(Settings &settings, const CentralValues &v)
{
    using namespace Cfg::Zentrale;
    Settings::Batch batch(settings);
    WriteBrokerKeys(settings, kBroker, v);
    settings.write(Filter, v.filter.trimmed());
    settings.write(Sammelminuten, v.digestMinutes);
    settings.write(Pfad, v.folder.trimmed());
}

MqttEndpoint CentralEndpoint(const CentralValues &v, const QString &caFile, const QString &clientId)
{
    // The same broker settings as for publishing, in a section of their own.
    MqttValues broker;
    broker.host = v.host;
    broker.port = v.port;
    broker.tls = v.tls;
    broker.userName = v.userName;
    broker.password = v.password;
    return EndpointOf(broker, caFile, clientId);
}

bool IsTopicFilter(const QString &filter)
{
    if (filter.isEmpty() || filter.startsWith(QLatin1Char('$')))
        return false;
    const QStringList levels = filter.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const QString &l = levels[i];
        if ((l.contains(QLatin1Char('+')) && l != QLatin1String("+")) ||
            (l.contains(QLatin1Char('#')) && (l != QLatin1String("#") || i != levels.size() - 1)))
            return false;
        for (const QChar c : l)
            if (c.category() == QChar::Other_Control)
                return false;
    }
    return true;
}

QList<QByteArray> SiteSubscriptions(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    // "#" matches the levels below as well: the topics are told apart by their ends.
    if (f.endsWith('#'))
        return {f};
    return {f + "/status", f + "/+/state"};
}
