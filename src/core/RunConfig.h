#pragma once
#include <QString>
#include <QStringList>

// The options of one program run, from the command line and the installation.
// Built once at start-up and never changed: objects take it by value or const
// reference. What changes while the program runs is in RunSwitches.
struct RunConfig {
    QStringList words;       // command-line words: CLIENT, ENDE, LNGID=n
    bool clientMode = false; // "CLIENT" among the words
    bool headless = false;   // no widget at all
    QString exeBaseName = QStringLiteral("Tankmon");
    QString dataFolder; // ends in "/"; see Paths::DefaultDataFolder
    bool partnerBranding = false;

    // Whether the command line holds word (any letter case, anywhere).
    bool hasWord(const QString &word) const;
    // Executable base name + suffix: "Tankmon.ini".
    QString ExeFileName(const QString &suffix) const { return exeBaseName + suffix; }
    // The data folder + name.
    QString DataFilePath(const QString &name) const { return dataFolder + name; }
    // "VALMOR", or "ARV" with the partner branding.
    QString CompanyFolderName() const;
    // The local settings file: writes, and the keys that are always local.
    QString SettingsLocalPath() const;
};
