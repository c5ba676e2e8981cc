#pragma once
#include <QList>
#include <QString>
#include <functional>

// Every visible text comes from the table of the current language by id.
// Tables are data files embedded as resources (one per language, ids 17..386).

int LngId();                 // 0 until the first lookup
void SetLngId(int id);       // tests and the language selection
QString LngText(int id);     // "" for ids without an entry
void LngInit();              // command line "LNGID=", else "LngPtnr"/"LngId" (default 1)
// Multi-line texts (lines separated by CR LF), handed out line by line.
QString LngNextLine(int id);
bool LngMoreLines();          // lines left? advances the line counter
int LngLineIndex();           // index of the line last handed out
// All lines of a multi-line text at once.
QStringList LngLines(int id);

// "Tankmessgerät" in the current language.
QString DeviceName();

struct LanguageEntry {
    QString name; // as shown in the selection list
    int id;
};
// The selection list in its display order.
QList<LanguageEntry> LanguageList();
// Whether a table exists for id (1..10).
bool LngTableExists(int id);

// Start-up hooks: the selection dialog shown when the stored id is 0 (returns
// the chosen id, 0 when closed without a choice), and the end of the program
// after "Wrong LngId !?!".
void SetLanguageChooser(std::function<int()> choose);
void SetFatalExit(std::function<void()> exitNow);
// Routes the settings store's write failures to text 17.
void InstallLanguage();
