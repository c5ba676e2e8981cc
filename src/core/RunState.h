#pragma once
#include <QString>

// Process-wide run state, set at start-up and by the settings dialogs.
struct RunState {
    bool clientMode = false;   // "CLIENT" on the command line
    QString clientPath;        // folder of the serving installation's settings file
    bool activeCom = false;    // serial link switched on
    bool activeNet = false;    // TCP link switched on
    bool flagTempKorr = false; // temperature correction on
    QString tracePath;         // trace file; empty = no trace
    QString logFolder;         // folder of the tank files and the settings copy
    bool logFileActive = false;      // tank-file recording ("Logfile")
    qint32 logFileInterval = 86400;
    bool logIniActive = false;       // settings-file snapshot ("Log INI-File")
    qint32 logIniInterval = 60;
    bool partnerBranding = false;
    bool headless = false;     // no widget at all
    QString commandLine;       // the words after the program name, our own options removed
};

RunState &State();
