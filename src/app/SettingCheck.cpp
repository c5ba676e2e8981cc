#include "SettingCheck.h"

#include "CommandLine.h"
#include "LogDialogLogic.h"

#include "central/CentralSettings.h"
#include "core/DateText.h"
#include "core/Paths.h"
#include "email/EmailSettings.h"
#include "email/SmtpMail.h"
#include "lang/Lng.h"
#include "link/TcpLink.h"
#include "model/DeviceRecord.h"
#include "model/LossSettings.h"
#include "mqtt/MqttSettings.h"
#include "web/WebSettings.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHostAddress>
#include <cmath>

namespace
{

using Kind = SettingRule::Kind;

struct Plain {
    IniKey key;
    Kind kind;
    qint64 lo = 0, hi = 0;
    QList<int> items = {};
};

struct Numbered {
    IniKeyN key;
    int last; // numbers 1..last
    Kind kind;
    qint64 lo = 0, hi = 0;
    bool orEmpty = false;
};

constexpr qint64 kIntMax = 2147483647;

QList<int> toInts(const QList<qint32> &v)
{
    return {v.begin(), v.end()};
}

const QList<Plain> &plainKeys()
{
    using namespace Cfg;
    static const QList<Plain> keys{
        {ActiveCom, Kind::Switch},
        {ActiveNet, Kind::Switch},
        {FlagTempKorr, Kind::Switch},
        {TraceLog, Kind::Text},
        {GrafikPoints, Kind::Switch},
        {GrafikGridMonth, Kind::Switch},
        {GrafikPercent, Kind::Switch},
        {ComboZeitraum, Kind::Integer, -168, 1200},
        {PathExport, Kind::Text},
        {LogVerbrauch, Kind::Switch},
        {MinProzentBetankungTrigger, Kind::Number, 0, 100},
        {MinProzentVerbrauch, Kind::Number, 0, 100},
        {Flottenansicht, Kind::Switch},
        {ComPort, Kind::Integer, 1, 256},
        {ComDevice, Kind::Text},
        {ClientPort, Kind::Integer, 1, 65535},
        {ClientAdresse, Kind::Listen},
        {Timeout, Kind::Integer, 1, 86400},
        {MaxPoll, Kind::Integer, 1, 1000},
        {Simulation, Kind::Switch},
        {Bluetooth, Kind::Switch},
        {GeraeteAnzahl, Kind::Integer, 0, kMaxDevices},
        {GeraeteAktuell, Kind::Integer, 0, kMaxDevices},
        {LogfileAktiv, Kind::Switch},
        {LogfileIntervall, Kind::List, 0, 0, toInts(LogDialogLogic::LogFileSeconds())},
        {LogfileLast, Kind::Date},
        {LogfileTime, Kind::Date},
        {LogIniAktiv, Kind::Switch},
        {LogIniIntervall, Kind::List, 0, 0, toInts(LogDialogLogic::LogIniSeconds())},
        {LogIniPath, Kind::Folder},
        {LogIniLast, Kind::Date},
        {LogIniTime, Kind::Date},
        {Email::Aktiv, Kind::Switch},
        {Email::Empfaenger1, Kind::Address},
        {Email::Empfaenger2, Kind::Address},
        {Email::Schwelle2, Kind::List, 0, 0, EmailSettings::SchwelleItems()},
        {Email::Abstand1, Kind::List, 0, 0, EmailSettings::Abstand1Items()},
        {Email::Abstand2, Kind::List, 0, 0, EmailSettings::Abstand2Items()},
        {Email::Melderaster, Kind::Positive, 0, 100},
        {Email::Kundenname, Kind::Text},
        {Email::Telefon, Kind::Text},
        {Email::Strasse, Kind::Text},
        {Email::Ort, Kind::Text},
        {Email::Bemerkung, Kind::Text},
        {Email::Alarmmode, Kind::Integer, 0, 2},
        {Email::SMTPServer, Kind::Host},
        {Email::SMTPPort, Kind::Integer, 1, 65535},
        {Email::STARTTLS, Kind::Switch},
        {Email::Login, Kind::Switch},
        {Email::UserName, Kind::Text},
        {Email::Password, Kind::Password},
        {Email::AbsenderEmail, Kind::Address},
        {Email::Betreff, Kind::Text},
        {Email::Passwort, Kind::Password},
        {Email::LetzteEmail, Kind::Date},
        {Email::DeltaMinutenBetankung, Kind::Positive, 0, 10080},
        {Email::StilleStunden, Kind::Integer, 0, EmailSettings::kMaxStilleStunden},
        {Email::VerlustProzent, Kind::Number, 0, 100},
        {Email::VerlustStunden, Kind::Integer, 0, EmailSettings::kMaxVerlustStunden},
        {Mqtt::Aktiv, Kind::Switch},
        {Mqtt::Host, Kind::Host},
        {Mqtt::Port, Kind::Integer, 1, 65535},
        {Mqtt::TLS, Kind::Switch},
        {Mqtt::UserName, Kind::Text},
        {Mqtt::Password, Kind::Password},
        {Mqtt::Topic, Kind::Topic},
        {Mqtt::Discovery, Kind::Switch},
        {Mqtt::DiscoveryPrefix, Kind::Topic},
        {Zentrale::Aktiv, Kind::Switch},
        {Zentrale::Host, Kind::Host},
        {Zentrale::Port, Kind::Integer, 1, 65535},
        {Zentrale::TLS, Kind::Switch},
        {Zentrale::UserName, Kind::Text},
        {Zentrale::Password, Kind::Password},
        {Zentrale::Filter, Kind::Filter},
        {Zentrale::Sammelminuten, Kind::Integer, 0, 1440},
        {Zentrale::Pfad, Kind::Text},
        {Web::Aktiv, Kind::Switch},
        {Web::Adresse, Kind::IpAddress},
        {Web::Port, Kind::Integer, 1, 65535},
        {Web::UserName, Kind::Text},
        {Web::Password, Kind::Password},
        {Web::Zertifikat, Kind::Text},
        {Web::Schluessel, Kind::Text},
        {Web::Hostnamen, Kind::HostList},
        {ClientPath, Kind::Text},
        {Cfg::LngId, Kind::Integer, 1, 10},
    };
    return keys;
}

const QList<Numbered> &numberedKeys()
{
    using namespace Cfg;
    static const QList<Numbered> keys{
        {GridColWidth, 14, Kind::Integer, 1, 10000},
        {Device::SN, kMaxDevices, Kind::Integer, 0, 65535},
        {Device::Geraetetyp, kMaxDevices, Kind::Integer, 0, 255},
        {Device::Temperatur, kMaxDevices, Kind::Integer, -9999, 999},
        {Device::Volumen, kMaxDevices, Kind::Integer, -9999, 9999},
        {Device::VolumenAnzeige, kMaxDevices, Kind::Text},
        {Device::Standort, kMaxDevices, Kind::Text},
        {Device::Tankbezeichnung, kMaxDevices, Kind::Text},
        {Device::Einheit, kMaxDevices, Kind::Integer, 0, 8},
        {Device::Tanktyp, kMaxDevices, Kind::Integer, 0, 15},
        {Device::Tankvolumen, kMaxDevices, Kind::Integer, 0, kIntMax},
        {Device::Tankhoehe, kMaxDevices, Kind::Integer, 0, kIntMax},
        {Device::Uhrzeit, kMaxDevices, Kind::Date},
        {Device::DezPunkt, kMaxDevices, Kind::Integer, 0, 7},
        {Device::Alarm, kMaxDevices, Kind::Switch},
        {Device::ClientIP, kMaxDevices, Kind::Text},
        {Device::TempKorr, kMaxDevices, Kind::Number, -1000, 1000},
        {Device::EmailAktiv, kMaxDevices, Kind::Switch},
        {Device::Warnschwelle, kMaxDevices, Kind::Number, 0, 100},
        {Email::MinProzent, kMaxDevices, Kind::Number, 0, 100},
        {Email::MinVolumen, kMaxDevices, Kind::Integer, 0, kIntMax},
        {Email::DeltaProzentBetankung, kMaxDevices, Kind::Positive, 0, 100},
        {Email::Betankungsfall, kMaxDevices, Kind::Switch},
        {Email::BetankungEnde, kMaxDevices, Kind::Date},
        {Email::BetankungMax, kMaxDevices, Kind::Number, 0, kIntMax},
        {Email::MelderasterLast, kMaxDevices, Kind::Number, -100, 200},
        {Email::StilleGemeldet, kMaxDevices, Kind::Switch},
        {Email::VerlustGemeldet, kMaxDevices, Kind::Switch},
        {Device::Verbrauchszaehler, kMaxDevices, Kind::Number, 0, qint64(1e15)},
        {Device::VerbrauchszaehlerEinheit, kMaxDevices, Kind::Integer, 0, 8},
        {Mqtt::KWhProEinheit, kMaxDevices, Kind::Number, 0, 1000000},
        {Email::VerlustProzentTank, kMaxDevices, Kind::Number, 0, qint64(Loss::kMaxProzent), true},
        {Email::VerlustStundenTank, kMaxDevices, Kind::Integer, 0, Loss::kMaxStunden, true},
        {Email::VerlustRuhezeit, kMaxDevices, Kind::Quiet},
    };
    return keys;
}

bool same(const QString &a, const char *b)
{
    return a.compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// The number n > 0 that text is prefix followed by, or 0.
int numberAfter(const QString &text, const char *prefix)
{
    const QString p = QString::fromUtf8(prefix);
    if (text.size() <= p.size() || !text.startsWith(p, Qt::CaseInsensitive))
        return 0;
    const QString digits = text.mid(p.size());
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok && digits.at(0) != QLatin1Char('0') && digits.at(0).isDigit() ? n : 0;
}

bool hasControl(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    return false;
}

QString expectedKind(const SettingRule &rule);

QString expectedText(const SettingRule &rule)
{
    const QString kind = expectedKind(rule);
    return rule.orEmpty ? LngFormat(1140, {kind}) : kind;
}

QString expectedKind(const SettingRule &rule)
{
    const auto num = [](qint64 v) { return QString::number(v); };
    switch (rule.kind) {
    case Kind::Switch:
        return LngText(518);
    case Kind::Integer:
        return LngFormat(519, {num(rule.lo), num(rule.hi)});
    case Kind::List: {
        QStringList items;
        for (int i : rule.items)
            items << QString::number(i);
        return LngFormat(520, {items.join(QStringLiteral(", "))});
    }
    case Kind::Number:
        return LngFormat(521, {num(rule.lo), num(rule.hi)});
    case Kind::Positive:
        return LngFormat(536, {num(rule.hi)});
    case Kind::Text:
    case Kind::Password:
        return LngText(522);
    case Kind::Date:
        return LngText(523);
    case Kind::Topic:
        return LngText(524);
    case Kind::Filter:
        return LngText(1406);
    case Kind::Address:
        return LngText(525);
    case Kind::Folder:
        return LngText(526);
    case Kind::Host:
        return LngText(527);
    case Kind::Quiet:
        return LngText(1141);
    case Kind::HostList:
        return LngText(1019);
    case Kind::IpAddress:
        return LngText(1018);
    case Kind::Listen:
        return LngText(1205);
    }
    return {};
}

std::optional<QString> checked(const SettingRule &rule, const QString &text)
{
    if (text.size() > 254 || hasControl(text))
        return std::nullopt;
    if (rule.orEmpty && text.trimmed().isEmpty())
        return QString();
    bool ok = false;
    switch (rule.kind) {
    case Kind::Switch:
        if (text == QLatin1String("0") || text == QLatin1String("1"))
            return text;
        return std::nullopt;
    case Kind::Integer: {
        const qint64 v = text.toLongLong(&ok);
        if (ok && v >= rule.lo && v <= rule.hi)
            return QString::number(v);
        return std::nullopt;
    }
    case Kind::List: {
        const int v = text.toInt(&ok);
        if (ok && rule.items.contains(v))
            return QString::number(v);
        return std::nullopt;
    }
    case Kind::Number:
    case Kind::Positive: {
        QString dotted = text.trimmed();
        dotted.replace(QLatin1Char(','), QLatin1Char('.'));
        const double v = dotted.toDouble(&ok);
        const bool low = rule.kind == Kind::Positive ? v <= 0 : v < double(rule.lo);
        if (ok && std::isfinite(v) && !low && v <= double(rule.hi))
            return dotted;
        return std::nullopt;
    }
    case Kind::Text:
        return text;
    case Kind::Date:
        if (text == QLatin1String("0") ||
            ParseDateTimeText(text, QDateTime::currentDateTimeUtc().addYears(100)).isValid())
            return text;
        return std::nullopt;
    case Kind::Topic:
        if (IsPublishableTopic(text) && text.trimmed() == text)
            return text;
        return std::nullopt;
    case Kind::Filter:
        if (IsTopicFilter(text) && text.trimmed() == text)
            return text;
        return std::nullopt;
    case Kind::Address:
        // Empty clears the address; anything else as the dialog and the sender take it.
        if (text.isEmpty() || IsPlainAddress(text))
            return text;
        return std::nullopt;
    case Kind::Listen:
        if (ListenAddress(text))
            return text.trimmed();
        return std::nullopt;
    case Kind::Host:
        for (const QChar c : text)
            if (c.isSpace() || c == QLatin1Char('/'))
                return std::nullopt;
        return text;
    case Kind::HostList:
        if (WebHostNames(text))
            return text;
        return std::nullopt;
    case Kind::IpAddress:
        if (!QHostAddress(text.trimmed()).isNull())
            return text.trimmed();
        return std::nullopt;
    case Kind::Folder:
        if (!text.isEmpty() && QFileInfo(text).isAbsolute() && QFileInfo(text).isDir())
            return Paths::WithSeparator(text);
        return std::nullopt;
    case Kind::Password:
        return std::nullopt;
    case Kind::Quiet:
        if (const std::optional<QuietHours> q = QuietHours::parse(text))
            return q->text();
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<SettingRule> FindSetting(const QString &name)
{
    const qsizetype slash = name.indexOf(QLatin1Char('/'));
    if (slash <= 0 || slash == name.size() - 1)
        return std::nullopt;
    const QString section = name.left(slash).trimmed();
    const QString key = name.mid(slash + 1).trimmed();
    // "COM" and "Com" are the same section.
    for (const Plain &p : plainKeys())
        if (same(section, p.key.section) && same(key, p.key.key))
            return SettingRule{p.key, p.kind, p.lo, p.hi, p.items};
    for (const Numbered &k : numberedKeys()) {
        const int n =
            k.key.numberedSection ? numberAfter(section, k.key.section) : numberAfter(key, k.key.key);
        const bool rest = k.key.numberedSection ? same(key, k.key.key) : same(section, k.key.section);
        if (n >= 1 && n <= k.last && rest)
            return SettingRule{k.key.at(n), k.kind, k.lo, k.hi, {}, k.orEmpty};
    }
    return std::nullopt;
}

std::optional<QString> CheckSettingValue(const SettingRule &rule, const QString &text, QString *expected)
{
    std::optional<QString> value = checked(rule, text);
    if (!value && expected)
        *expected = expectedText(rule);
    return value;
}
