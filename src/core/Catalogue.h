#pragma once
#include <QString>

// Every section and key of the settings file with its default, in one place.
// Readers and writers use these entries, never their own literals.
// Values are read and written through the Settings object (Settings.h).
struct IniKey {
    const char *section; // UTF-8; written in Windows-1252 by the store
    const char *key;
    const char *def;          // default a reader passes; nullptr = computed by the reader
    bool alwaysLocal = false; // read from the local file also in client mode

    QString sectionName() const { return QString::fromUtf8(section); }
    QString keyName() const { return QString::fromUtf8(key); }
    QString defaultText() const { return def ? QString::fromUtf8(def) : QString(); }
};

// A key of a numbered section ("Gerät" + n) or a numbered key (MinProzent + n).
struct IniKeyN {
    const char *section;
    const char *key;
    const char *def;
    bool numberedSection; // true: section + n; false: key + n
    IniKey at(int n) const;
};

namespace Cfg
{
// Section "Common"
inline constexpr IniKey ActiveCom{"Common", "ActiveCom", "0"};
inline constexpr IniKey ActiveNet{"Common", "ActiveNet", "0"};
inline constexpr IniKey FlagTempKorr{"Common", "FlagTempKorr", "0"};
inline constexpr IniKey TraceLog{"Common", "Log", ""};
inline constexpr IniKey GrafikPoints{"Common", "GrafikPoints", "0"};
inline constexpr IniKey GrafikGridMonth{"Common", "GrafikGridMonth", "1"};
inline constexpr IniKey GrafikPercent{"Common", "GrafikPercent", "0"};
inline constexpr IniKey ComboZeitraum{"Common", "ComboZeitraum", "-1"};
// The chart's last tank choice: 0 = all tanks, -1 = none yet.
inline constexpr IniKey GrafikTank{"Common", "GrafikTank", "-1"};
inline constexpr IniKeyN GridColWidth{"Common", "GridColWidth", "60", false};
inline constexpr IniKey PathExport{"Common", "PathExport", nullptr}; // DataFilePath(text 356)
inline constexpr IniKey LogVerbrauch{"Common", "LogVerbrauch", "0"};
// The main window's view of the tanks: 0 = cards, 1 = the fleet list.
inline constexpr IniKey Flottenansicht{"Common", "Flottenansicht", "0", true};
inline constexpr IniKey MinProzentBetankungTrigger{"Common", "MinProzentBetankungTrigger", "1"};
inline constexpr IniKey MinProzentVerbrauch{"Common", "MinProzent", "5"};

// Section "COM" (the same section as "Com")
inline constexpr IniKey ComPort{"COM", "Port", "1"};
inline constexpr IniKey ComDevice{"COM", "Device", ""}; // device path of the chosen port
inline constexpr IniKey ClientPort{"Com", "ClientPort", "8000"};
// The address the TCP link listens on; empty: every interface.
inline constexpr IniKey ClientAdresse{"COM", "ClientAdresse", ""};
inline constexpr IniKey Timeout{"COM", "Timeout", "180"};
inline constexpr IniKey MaxPoll{"COM", "MaxPoll", "3"};
inline constexpr IniKey Simulation{"COM", "Simulation", "0"};
inline constexpr IniKey Bluetooth{"COM", "Bluetooth", "0"};

// Section "Geräte"
inline constexpr IniKey GeraeteAnzahl{"Geräte", "Anzahl", "0"};
inline constexpr IniKey GeraeteAktuell{"Geräte", "Aktuell", "0"};

// Sections "Gerät" + n
namespace Device
{
inline constexpr IniKeyN SN{"Gerät", "SN", "0", true};
inline constexpr IniKeyN Geraetetyp{"Gerät", "Gerätetyp", "0", true};
inline constexpr IniKeyN Temperatur{"Gerät", "Temperatur", "0", true};
inline constexpr IniKeyN Volumen{"Gerät", "Volumen", "0", true};
inline constexpr IniKeyN VolumenAnzeige{"Gerät", "VolumenAnzeige", "", true};
inline constexpr IniKeyN Standort{"Gerät", "Standort", "", true};
inline constexpr IniKeyN Tankbezeichnung{"Gerät", "Tankbezeichnung", "", true};
inline constexpr IniKeyN Einheit{"Gerät", "Einheit", "0", true};
inline constexpr IniKeyN Tanktyp{"Gerät", "Tanktyp", "0", true};
inline constexpr IniKeyN Tankvolumen{"Gerät", "Tankvolumen", "1", true};
inline constexpr IniKeyN Tankhoehe{"Gerät", "Tankhöhe", "0", true};
inline constexpr IniKeyN Uhrzeit{"Gerät", "Uhrzeit", "0", true};
inline constexpr IniKeyN DezPunkt{"Gerät", "Dez-Punkt", "0", true};
inline constexpr IniKeyN Alarm{"Gerät", "Alarm", "0", true};
inline constexpr IniKeyN ClientIP{"Gerät", "ClientIP", "", true};
inline constexpr IniKeyN TempKorr{"Gerät", "TempKorr", "1", true};
inline constexpr IniKeyN EmailAktiv{"Gerät", "EmailAktiv", "1", true};
// The "Uhrzeit" text stored when an MQTT state newer than it went out: while
// the two are equal, the stored state is older than the broker's.
inline constexpr IniKeyN MqttNeuerAls{"Gerät", "MqttNeuerAls", "", true};
// The tank's consumption meter: its highest value and the unit code it counts in.
inline constexpr IniKeyN Verbrauchszaehler{"Gerät", "Verbrauchszähler", "", true};
inline constexpr IniKeyN VerbrauchszaehlerEinheit{"Gerät", "VerbrauchszählerEinheit", "", true};
// The tank's warning threshold in percent (low below it, very low below half
// of it); empty or no positive number: "E-Mail"/"Schwelle 2".
inline constexpr IniKeyN Warnschwelle{"Gerät", "Warnschwelle", "", true};
} // namespace Device

// Section "Logfile" (tank files)
inline constexpr IniKey LogfileAktiv{"Logfile", "Aktiv", "1"};
inline constexpr IniKey LogfileIntervall{"Logfile", "Intervall in s", "86400"};
inline constexpr IniKey LogfileLast{"Logfile", "Last", "01.01.2000 00:00:00"};
inline constexpr IniKey LogfileTime{"Logfile", "Time", "01.01.2000 00:00:00"};

// Section "Log INI-File" (settings snapshot and its copy)
inline constexpr IniKey LogIniAktiv{"Log INI-File", "Aktiv", "1"};
inline constexpr IniKey LogIniIntervall{"Log INI-File", "Intervall in s", "60"};
inline constexpr IniKey LogIniPath{"Log INI-File", "Path", nullptr}; // the data folder
inline constexpr IniKey LogIniLast{"Log INI-File", "Last", "01.01.2000 00:00:00"};
inline constexpr IniKey LogIniTime{"Log INI-File", "Time", "01.01.2000 00:00:00"};

// Section "E-Mail"
namespace Email
{
inline constexpr IniKey Aktiv{"E-Mail", "Aktiv", "0"};
inline constexpr IniKey Empfaenger1{"E-Mail", "Empfänger 1", ""};
inline constexpr IniKey Empfaenger2{"E-Mail", "Empfänger 2", ""};
inline constexpr IniKey Schwelle2{"E-Mail", "Schwelle 2", "10"};
inline constexpr IniKey Abstand1{"E-Mail", "Abstand 1 in h", "744"};
inline constexpr IniKey Abstand2{"E-Mail", "Abstand 2 in h", "168"};
inline constexpr IniKey Melderaster{"E-Mail", "Melderaster", "10"};
inline constexpr IniKey Kundenname{"E-Mail", "Kundenname", ""};
inline constexpr IniKey Telefon{"E-Mail", "Telefon", ""};
inline constexpr IniKey Strasse{"E-Mail", "Strasse", ""};
inline constexpr IniKey Ort{"E-Mail", "Ort", ""};
inline constexpr IniKey Bemerkung{"E-Mail", "Bemerkung", ""};
inline constexpr IniKey Alarmmode{"E-Mail", "Alarmmode", "2"};
inline constexpr IniKey SMTPServer{"E-Mail", "SMTPServer", ""};
inline constexpr IniKey SMTPPort{"E-Mail", "SMTPPort", "587"};
inline constexpr IniKey STARTTLS{"E-Mail", "STARTTLS", "1"};
inline constexpr IniKey Login{"E-Mail", "Login", "1"};
inline constexpr IniKey UserName{"E-Mail", "UserName", ""};
inline constexpr IniKey Password{"E-Mail", "Password", ""};
inline constexpr IniKey AbsenderEmail{"E-Mail", "AbsenderEmail", ""};
inline constexpr IniKey Betreff{"E-Mail", "Betreff", "%13 %20 %10, %01, %04, %21 %15 %08"};
inline constexpr IniKey Passwort{"E-Mail", "Passwort", ""};
inline constexpr IniKey LetzteEmail{"E-Mail", "LetzteEmail", "0"};
inline constexpr IniKey DeltaMinutenBetankung{"E-Mail", "DeltaMinutenBetankung", "10"};
// Hours without an accepted telegram after which a tank is reported silent; 0 = off.
inline constexpr IniKey StilleStunden{"E-Mail", "StilleStunden", "24"};
// A loss: a fall of more than this many percentage points of the capacity
// within that many hours (either 0 = off). Four hours catch a leak of 1 %
// an hour, which stays below 3 points in any 2 hours.
inline constexpr IniKey VerlustProzent{"E-Mail", "VerlustProzent", "3"};
inline constexpr IniKey VerlustStunden{"E-Mail", "VerlustStunden", "4"};
inline constexpr IniKeyN MinProzent{"E-Mail", "MinProzent", "100", false};
inline constexpr IniKeyN MinVolumen{"E-Mail", "MinVolumen", "", false};
inline constexpr IniKeyN DeltaProzentBetankung{"E-Mail", "DeltaProzentBetankung", "2", false};
inline constexpr IniKeyN Betankungsfall{"E-Mail", "Betankungsfall", "0", false};
inline constexpr IniKeyN BetankungEnde{"E-Mail", "BetankungEnde", "0", false};
inline constexpr IniKeyN BetankungMax{"E-Mail", "BetankungMax", "0", false};
inline constexpr IniKeyN MelderasterLast{"E-Mail", "MelderasterLast", "100", false};
// 1 while the tank's silence has been reported and its telegrams have not returned.
inline constexpr IniKeyN StilleGemeldet{"E-Mail", "StilleGemeldet", "0", false};
// 1 while a loss event of the tank is open.
inline constexpr IniKeyN VerlustGemeldet{"E-Mail", "VerlustGemeldet", "0", false};
// The tank's own loss limits (empty: the common value; 0: off for this tank)
// and the quiet hours it is judged in ("20:00-06:00", "20:00-06:00 WE"; empty: always).
inline constexpr IniKeyN VerlustProzentTank{"E-Mail", "VerlustProzent", "", false};
inline constexpr IniKeyN VerlustStundenTank{"E-Mail", "VerlustStunden", "", false};
inline constexpr IniKeyN VerlustRuhezeit{"E-Mail", "VerlustRuhezeit", "", false};
} // namespace Email

// Section "MQTT": publishing the tanks to a broker
namespace Mqtt
{
inline constexpr IniKey Aktiv{"MQTT", "Aktiv", "0"};
inline constexpr IniKey Host{"MQTT", "Host", ""};
inline constexpr IniKey Port{"MQTT", "Port", "1883"};
inline constexpr IniKey TLS{"MQTT", "TLS", "0"};
inline constexpr IniKey UserName{"MQTT", "UserName", ""};
inline constexpr IniKey Password{"MQTT", "Password", ""}; // scrambled as the mail password
inline constexpr IniKey Topic{"MQTT", "Topic", nullptr};  // "tankmon/" + host name
inline constexpr IniKey Discovery{"MQTT", "Discovery", "1"};
inline constexpr IniKey DiscoveryPrefix{"MQTT", "DiscoveryPrefix", "homeassistant"};
// kWh per unit of the tank's content (10 for heating oil in litres); 0 = no energy sensor.
inline constexpr IniKeyN KWhProEinheit{"MQTT", "kWhProEinheit", "0", false};
} // namespace Mqtt

// Section "Zentrale": a central installation that shows the tanks every
// site publishes to a broker
namespace Zentrale
{
inline constexpr IniKey Aktiv{"Zentrale", "Aktiv", "0"};
inline constexpr IniKey Host{"Zentrale", "Host", ""};
inline constexpr IniKey Port{"Zentrale", "Port", "1883"};
inline constexpr IniKey TLS{"Zentrale", "TLS", "0"};
inline constexpr IniKey UserName{"Zentrale", "UserName", ""};
inline constexpr IniKey Password{"Zentrale", "Password", ""}; // scrambled as the MQTT password
// Which sites: a topic filter whose every match is one site's base topic.
inline constexpr IniKey Filter{"Zentrale", "Filter", "tankmon/+"};
// Minutes over which the centre's state changes are mailed as one digest.
inline constexpr IniKey Sammelminuten{"Zentrale", "Sammelminuten", "5"};
// Folder of the per-site histories ("" = "Zentrale" in the data folder).
inline constexpr IniKey Pfad{"Zentrale", "Pfad", ""};
} // namespace Zentrale

// Section "Web": the built-in web view, JSON API and metrics
namespace Web
{
inline constexpr IniKey Aktiv{"Web", "Aktiv", "0"};
inline constexpr IniKey Adresse{"Web", "Adresse", "127.0.0.1"};
inline constexpr IniKey Port{"Web", "Port", "8088"};
inline constexpr IniKey UserName{"Web", "UserName", "tankmon"};
inline constexpr IniKey Password{"Web", "Password", ""}; // a salted PBKDF2 hash, never the password
inline constexpr IniKey Zertifikat{"Web", "Zertifikat", ""};
inline constexpr IniKey Schluessel{"Web", "Schlüssel", ""};
inline constexpr IniKey Hostnamen{"Web", "Hostnamen",
                                  ""}; // further names the server answers for, comma-separated
} // namespace Web

// Every key that belongs to one device, in its section "Gerät" + n or as
// key + n: they move with the device when devices before it are removed.
inline constexpr IniKeyN DeviceKeys[] = {
    Device::SN,
    Device::Geraetetyp,
    Device::Temperatur,
    Device::Volumen,
    Device::VolumenAnzeige,
    Device::Standort,
    Device::Tankbezeichnung,
    Device::Einheit,
    Device::Tanktyp,
    Device::Tankvolumen,
    Device::Tankhoehe,
    Device::Uhrzeit,
    Device::DezPunkt,
    Device::Alarm,
    Device::ClientIP,
    Device::TempKorr,
    Device::EmailAktiv,
    Email::MinProzent,
    Email::MinVolumen,
    Email::DeltaProzentBetankung,
    Email::Betankungsfall,
    Email::BetankungEnde,
    Email::BetankungMax,
    Email::MelderasterLast,
    Email::StilleGemeldet,
    Device::MqttNeuerAls,
    Email::VerlustGemeldet,
    Device::Verbrauchszaehler,
    Device::VerbrauchszaehlerEinheit,
    Mqtt::KWhProEinheit,
    Device::Warnschwelle,
    Email::VerlustProzentTank,
    Email::VerlustStundenTank,
    Email::VerlustRuhezeit,
};

// Section "Client" (always the local file)
inline constexpr IniKey ClientPath{"Client", "Path", "", true};

// Section "LngPtnr" (always the local file); 0 at start-up, 1 in the text lookup
inline constexpr IniKey LngId{"LngPtnr", "LngId", "0", true};
} // namespace Cfg
