#pragma once
#include <QString>
#include <QStringList>

// The switches of one program run. The application layer fills it at start-up
// (command line, then the settings as the start-up steps read them) and owns
// it; every object that depends on a switch is given a reference when it is
// built. Only the start-up and the dialogs that change a switch hold it
// non-const.
struct RunConfig {
    // From the command line and the installation.
    QStringList words;       // command-line words: CLIENT, ENDE, LNGID=n
    bool clientMode = false; // "CLIENT" among the words
    bool headless = false;   // no widget at all
    QString exeBaseName = QStringLiteral("Tankmon");
    QString dataFolder; // ends in "/"; see Paths::DefaultDataFolder
    bool partnerBranding = false;

    // From the settings, read by the start-up steps and changed by dialogs.
    QString clientPath;         // folder of the serving installation's settings file
    bool activeCom = false;     // serial link switched on
    bool activeNet = false;     // TCP link switched on
    bool flagTempKorr = false;  // temperature correction on
    QString tracePath;          // trace file; empty = no trace
    QString logFolder;          // tank files and the settings copy; empty = data folder
    bool logFileActive = false; // tank-file recording ("Logfile")
    qint32 logFileInterval = 86400;
    bool logIniActive = false; // settings-file snapshot ("Log INI-File")
    qint32 logIniInterval = 60;

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
    // The file other reads use: the serving installation's in client mode
    // (when a client path is set), else the local one.
    QString SettingsReadPath() const;
    // The folder the tank files are written to (the data folder when no log
    // folder is set), ending in "/".
    QString TankWriteFolder() const;
    // The folder they are read from: the client path in client mode.
    QString TankReadFolder() const;
};
