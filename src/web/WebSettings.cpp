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
    v.hostnamen = settings.read(Cfg::Web::Hostnamen);
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
    settings.write(Cfg::Web::Hostnamen, v.hostnamen);
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

std::optional<QStringList> WebHostNames(const QString &text)
{
    QStringList names;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString name = part.trimmed().toLower();
        if (name.endsWith(QLatin1Char('.')))
            name.chop(1);
        if (name.isEmpty())
            continue;
        for (const QChar c : name)
            if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QLatin1Char('-') ||
                  c == QLatin1Char('.')))
                return std::nullopt;
        names << name;
    }
    return names;
}

bool WebHostAllowed(const QByteArray &host, const WebValues &v)
{
    if (host.isEmpty())
        return true;
    QString name = QString::fromLatin1(host).trimmed().toLower();
    if (name.startsWith(QLatin1Char('['))) {
        const qsizetype end = name.indexOf(QLatin1Char(']'));
        if (end < 0 || (end + 1 < name.size() && name.at(end + 1) != QLatin1Char(':')))
            return false;
        return !QHostAddress(name.mid(1, end - 1)).isNull();
    }
    if (const qsizetype colon = name.lastIndexOf(QLatin1Char(':')); colon >= 0)
        name.truncate(colon);
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty())
        return false;
    if (name == QLatin1String("localhost") || !QHostAddress(name).isNull())
        return true;
    const std::optional<QStringList> names = WebHostNames(v.hostnamen);
    return names && names->contains(name);
}
