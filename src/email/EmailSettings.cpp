#include "EmailSettings.h"

#include "EmailRules.h"
#include "PasswordScramble.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <algorithm>
#include <cstdlib>

namespace
{
QString switchText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// A stored list value: a positive number selects the nearest item, anything
// else (a hand-edited "x", 0) counts as the key's default.
int listValue(Settings &settings, const IniKey &key, const QList<int> &items)
{
    const double fallback = key.defaultText().toDouble();
    return EmailSettings::NearestItem(items, qint64(RuleNumber(settings.read(key), fallback, true)));
}

// Shown in a message box: control characters as "?".
QString shown(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    return text;
}
} // namespace

EmailSettings::EmailSettings(Settings &settings, const DeviceTable &devices, QObject *parent)
    : QObject(parent), settings_(settings), devices_(devices)
{
}

const QList<int> &EmailSettings::SchwelleItems()
{
    static const QList<int> items{5, 10, 15, 20, 25, 30, 40, 50, 60, 70, 80, 90};
    return items;
}

const QList<int> &EmailSettings::Abstand1Items()
{
    static const QList<int> items{4, 12, 24, 168, 744}; // "monatlich" is 31 days
    return items;
}

const QList<int> &EmailSettings::Abstand2Items()
{
    static const QList<int> items{4, 12, 24, 168};
    return items;
}

int EmailSettings::NearestItem(const QList<int> &items, qint64 value)
{
    int best = -1;
    qint64 distance = 2147483647;
    for (int item : items) {
        const qint64 d = std::llabs(item - value);
        if (d < distance) {
            best = item;
            distance = d;
        }
    }
    return best;
}

// Written as "1"/"0"; older files may hold "True"/"False".
bool EmailSettings::readTankSwitch(int n) const
{
    const QString text = settings_.read(Cfg::Device::EmailAktiv.at(n)).trimmed();
    if (text.isEmpty() || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return ToLongOrZero(text) != 0;
}

const EmailValues &EmailSettings::values()
{
    if (loaded_)
        return values_;
    using namespace Cfg::Email;
    EmailValues v;
    v.aktiv = settings_.readIsOne(Aktiv);
    v.empfaenger[0] = settings_.read(Empfaenger1);
    v.empfaenger[1] = settings_.read(Empfaenger2);
    v.schwelle2 = listValue(settings_, Schwelle2, SchwelleItems());
    v.abstand1 = listValue(settings_, Abstand1, Abstand1Items());
    v.abstand2 = listValue(settings_, Abstand2, Abstand2Items());
    v.melderaster = settings_.read(Melderaster);
    v.customer.kundenname = settings_.read(Kundenname);
    v.customer.strasse = settings_.read(Strasse);
    v.customer.ort = settings_.read(Ort);
    v.customer.telefon = settings_.read(Telefon);
    v.customer.bemerkung = settings_.read(Bemerkung);
    v.server.host = settings_.read(SMTPServer);
    v.server.port = settings_.read(SMTPPort);
    v.server.startTls = settings_.readIsOne(STARTTLS);
    v.server.login = settings_.readIsOne(Login);
    v.server.userName = settings_.read(UserName);
    v.server.password = PasswordFromStored(settings_.readWhole(Password));
    v.server.sender = settings_.read(AbsenderEmail);
    v.betreff = settings_.read(Betreff);
    // 0 is a mode of its own; what is no mode counts as the default.
    const QString modeText = settings_.read(Alarmmode);
    const double mode = RuleNumber(modeText, -1, false);
    const bool known = mode == 0 || mode == 1 || mode == 2;
    v.alarmmode = known ? int(mode) : Alarmmode.defaultText().toInt();
    if (!known && unknownModeReport_ && unknownModeReported_ != modeText) {
        unknownModeReported_ = modeText;
        unknownModeReport_(modeText);
    }
    v.stilleStunden = int(std::clamp<qint64>(settings_.readInt(StilleStunden), 0, kMaxStilleStunden));
    // What is no number counts as the default; a negative one as off.
    v.verlustProzent =
        std::clamp(RuleNumber(settings_.read(VerlustProzent), VerlustProzent.defaultText().toDouble(), false),
                   0.0, 100.0);
    v.verlustStunden = int(
        std::clamp(RuleNumber(settings_.read(VerlustStunden), VerlustStunden.defaultText().toDouble(), false),
                   0.0, double(kMaxVerlustStunden)));
    for (int n = 1; n <= devices_.DeviceCount; ++n)
        v.tanks << readTankSwitch(n);
    values_ = std::move(v);
    loaded_ = true;
    return values_;
}

void EmailSettings::unload()
{
    loaded_ = false;
}

void EmailSettings::save(const EmailValues &v)
{
    using namespace Cfg::Email;
    {
        Settings::Batch batch(settings_);
        settings_.write(Aktiv, switchText(v.aktiv));
        settings_.write(Empfaenger1, v.empfaenger[0]);
        settings_.write(Empfaenger2, v.empfaenger[1]);
        settings_.write(Schwelle2, v.schwelle2);
        settings_.write(Abstand1, v.abstand1);
        settings_.write(Abstand2, v.abstand2);
        settings_.write(Melderaster, v.melderaster);
        settings_.write(Kundenname, v.customer.kundenname);
        settings_.write(Strasse, v.customer.strasse);
        settings_.write(Ort, v.customer.ort);
        settings_.write(Telefon, v.customer.telefon);
        settings_.write(Bemerkung, v.customer.bemerkung);
        settings_.write(SMTPServer, v.server.host);
        settings_.write(SMTPPort, v.server.port);
        settings_.write(STARTTLS, switchText(v.server.startTls));
        settings_.write(Login, switchText(v.server.login));
        settings_.write(UserName, v.server.userName);
        settings_.write(Password, StoredPassword(v.server.password));
        settings_.write(AbsenderEmail, v.server.sender);
        settings_.write(Betreff, v.betreff);
        settings_.write(StilleStunden, v.stilleStunden);
        settings_.write(VerlustProzent, QString::number(v.verlustProzent, 'g', 15));
        settings_.write(VerlustStunden, v.verlustStunden);
        for (int k = 1; k <= v.tanks.size(); ++k)
            settings_.write(Cfg::Device::EmailAktiv.at(k), switchText(v.tanks[k - 1]));
    }
    unload();
    emit saved();
}

bool EmailSettings::tankSelected(int n)
{
    const EmailValues &v = values();
    if (n >= 1 && n <= v.tanks.size())
        return v.tanks[n - 1];
    return n >= 1 && n <= kMaxDevices && readTankSwitch(n);
}

QString EmailSettings::AddressProblem(const EmailValues &v, const Texts &texts)
{
    if (!v.server.sender.trimmed().isEmpty() && !IsPlainAddress(v.server.sender))
        return FormatText(texts(600), {shown(v.server.sender)});
    for (int i = 0; i < 2; ++i)
        if (!v.empfaenger[i].trimmed().isEmpty() && !IsPlainAddress(v.empfaenger[i]))
            return FormatText(texts(601), {QString::number(i + 1), shown(v.empfaenger[i])});
    return QString();
}

QString EmailSettings::lockPassword() const
{
    return PasswordFromStored(settings_.readWhole(Cfg::Email::Passwort));
}

void EmailSettings::setLockPassword(const QString &plain)
{
    settings_.write(Cfg::Email::Passwort, StoredPassword(plain));
}
