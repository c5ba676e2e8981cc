#include "WebSettings.h"

#include "core/Settings.h"
#include "lang/Lng.h"

#include <QHostAddress>

WebValues ReadWebValues(const Settings &settings)
{
    WebValues v;
    v.aktiv = settings.readIsOne(Cfg::Web::Aktiv);
    v.adresse = settings.read(Cfg::Web::Adresse).trimmed();
    const qint64 port = settings.readInt(Cfg::Web::Port);
    v.port = port >= 1 && port <= 65535 ? int(port) : 8088;
    v.userName = settings.read(Cfg::Web::UserName);
    v.password = settings.readWhole(Cfg::Web::Password);
    v.zertifikat = settings.readWhole(Cfg::Web::Zertifikat);
    v.schluessel = settings.readWhole(Cfg::Web::Schluessel);
    return v;
}

void WriteWebValues(Settings &settings, const WebValues &v)
{
    Settings::Batch batch(settings);
    settings.write(Cfg::Web::Aktiv, v.aktiv ? 1 : 0);
    settings.write(Cfg::Web::Adresse, v.adresse);
    settings.write(Cfg::Web::Port, v.port);
    settings.write(Cfg::Web::UserName, v.userName);
    settings.write(Cfg::Web::Password, v.password);
    settings.write(Cfg::Web::Zertifikat, v.zertifikat);
    settings.write(Cfg::Web::Schluessel, v.schluessel);
    batch.commit();
}

bool IsLoopbackAddress(const QString &address)
{
    const QHostAddress a(address);
    return !a.isNull() && a.isLoopback();
}

QString WebStartProblem(const WebValues &v, const Texts &texts)
{
    if (QHostAddress(v.adresse).isNull())
        return texts(1010).replace(QLatin1String("%s"), v.adresse);
    if (IsLoopbackAddress(v.adresse))
        return {};
    if (v.password.isEmpty() || v.zertifikat.isEmpty() || v.schluessel.isEmpty())
        return texts(1009).replace(QLatin1String("%s"), v.adresse);
    return {};
}

QString WebUrl(const WebValues &v)
{
    const bool tls = !v.zertifikat.isEmpty() && !v.schluessel.isEmpty();
    QString host = v.adresse;
    const QHostAddress a(host);
    if (a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6 || a == QHostAddress::Any)
        host = QStringLiteral("localhost");
    else if (a.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return (tls ? QStringLiteral("https://") : QStringLiteral("http://")) + host + QLatin1Char(':') +
           QString::number(v.port) + QLatin1Char('/');
}
