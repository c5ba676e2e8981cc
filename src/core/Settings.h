#pragma once
#include <QString>
#include <optional>

// Settings access with the rules of the private-profile functions: the file
// is the executable's name + ".ini" in the data folder; in client mode reads
// without a file name come from the serving installation's file, writes always
// go to the local one. See IniStore for the file format.

// The no-value marker: writing it deletes the key.
inline constexpr std::nullopt_t IniNoValue = std::nullopt;

// The stored text (at most 254 characters) or the default.
QString ReadIniValue(const QString &section, const QString &key, const QString &def = {},
                     const QString &file = {});
// Reports a failure itself (text 17, stop icon); the caller carries on.
void WriteIniValue(const QString &section, const QString &key,
                   const std::optional<QString> &value, const QString &file = {},
                   const QString &folder = {});
inline void WriteIniValue(const QString &section, const QString &key, qint64 value,
                          const QString &file = {}, const QString &folder = {})
{
    WriteIniValue(section, key, std::optional<QString>(QString::number(value)), file, folder);
}
inline void WriteIniValue(const QString &section, const QString &key, int value,
                          const QString &file = {}, const QString &folder = {})
{
    WriteIniValue(section, key, qint64(value), file, folder);
}
inline void WriteIniValue(const QString &section, const QString &key, const char *value,
                          const QString &file = {}, const QString &folder = {})
{
    WriteIniValue(section, key, std::optional<QString>(QString::fromUtf8(value)), file, folder);
}

// The settings file the reads without a file name use.
QString SettingsReadPath();
// The local settings file (writes, and "Client"/"LngPtnr" reads).
QString SettingsLocalPath();

// Installs the message for failed writes (text 17 with the stop icon); done
// once at start-up, when the language lookup is available.
void InstallIniFailureMessage(QString (*text17)());
