#pragma once
#include <QStringList>
#include <optional>

class Settings;
class Texts;

// Section "Web" of the settings file.
struct WebValues {
    bool aktiv = false;                            // "Aktiv"
    QString adresse = QStringLiteral("127.0.0.1"); // "Adresse": the address listened on
    int port = 8088;                               // "Port"
    QString userName = QStringLiteral("tankmon");  // "UserName"
    QString password;                              // "Password": the stored hash (WebPassword.h), "" = none
    QString zertifikat;                            // "Zertifikat": PEM file of the certificate (chain)
    QString schluessel;                            // "Schlüssel": PEM file of its private key
    QString hostnamen; // "Hostnamen": further host names it answers for, comma-separated

    bool operator==(const WebValues &) const = default;
};

WebValues ReadWebValues(const Settings &settings);
// Writes every key of the section in one replace.
void WriteWebValues(Settings &settings, const WebValues &v);

// Why the server must not start with these values, in the language of
// texts; "" when it may. Anything but a loopback address needs a password
// and TLS (certificate and key); the address must be an IP address.
QString WebStartProblem(const WebValues &v, const Texts &texts);
// Whether the address text is a loopback address (127.0.0.0/8, ::1).
bool IsLoopbackAddress(const QString &address);
// Whether a request's Host header (name or address, with or without port)
// names this server: any IP address (a rebound DNS name never arrives as
// one), "localhost", or a name in v's "Hostnamen". No Host at all is taken
// too (HTTP/1.0 probes); browsers always send one.
bool WebHostAllowed(const QByteArray &host, const WebValues &v);
// The names of a "Hostnamen" text, lower case; empty when one is not a host
// name (not a letter, digit, "-" or "." in it).
std::optional<QStringList> WebHostNames(const QString &text);
// The address to open in a browser ("https://192.168.1.5:8443/").
QString WebUrl(const WebValues &v);
