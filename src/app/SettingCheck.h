#pragma once
#include "core/Catalogue.h"

#include <QList>
#include <QString>
#include <optional>

// The settings the command line may read and store (--get, --set): every key
// of the catalogue, found by its "SECTION/KEY" name, with the check its
// dialog applies to a value.
struct SettingRule {
    enum class Kind {
        Switch,    // "0" or "1"
        Integer,   // a whole number lo..hi
        List,      // one of items (a dialog's list)
        Number,    // a number lo..hi, "," or "." as decimal separator
        Positive,  // a number above 0, at most hi
        Text,      // anything without control characters
        Date,      // the fixed date-time text, or "0" (never)
        Topic,     // an MQTT topic the broker accepts for publishing
        Filter,    // an MQTT topic filter the broker accepts for subscribing
        Address,   // one e-mail address, or empty
        Host,      // a host name, or empty
        HostList,  // host names separated by commas, or empty
        IpAddress, // an IPv4 or IPv6 address
        Listen,    // an IP address to listen on, or empty (every interface)
        Folder,    // an existing folder
        Password,  // stored only through --set-password
        Quiet,     // quiet hours "hh:mm-hh:mm", "WE" or both, or empty
    };
    IniKey key;
    Kind kind = Kind::Text;
    qint64 lo = 0, hi = 0;
    QList<int> items;
    bool orEmpty = false; // empty is taken too (a tank's own value: the common one)
};

// The catalogue entry of "SECTION/KEY" (section and key without regard to
// case, numbered sections and keys within their range); none when unknown.
std::optional<SettingRule> FindSetting(const QString &name);

// The value to store for text, or none with expected set to what the key
// takes (in the run's language). A folder is stored ending in its separator;
// a number with "." as decimal separator.
std::optional<QString> CheckSettingValue(const SettingRule &rule, const QString &text, QString *expected);
