#pragma once
#include <QList>
#include <QLocale>
#include <QString>
#include <functional>

// Every visible text comes from the table of the current language by id.
// Tables are data files embedded as resources (one per language, ids 17..999).

class Settings;

// The language is fixed once at start-up (LngInit) and then read from
// everywhere: a process-wide table, like the translations of any Qt program.
int LngId();           // 0 until LngInit
void SetLngId(int id); // the language chosen at start-up, or for an export
// "" for ids without an entry, and for every id while LngId is not 1..10.
QString LngText(int id);
// Command-line word "LNGID=n" when n is not 0, else "LngPtnr"/"LngId" of the
// local settings file (default 1); a stored 0 asks choose (the language
// selection; 0 when closed without a choice). False when the resulting id
// names no language: the caller says "Wrong LngId !?!" and ends the program.
bool LngInit(const QStringList &words, const Settings &settings, const std::function<int()> &choose);
// The locale of a program language (LngId 1..10): its month names, date style
// and number grouping, so a German run says "März" and "1.234" whatever the
// system's locale; the system's own when it speaks that language, so its
// country's forms hold; the system's while no language is set.
QLocale LanguageLocale(int lngId, const QLocale &system = QLocale::system());
// LanguageLocale of the current language.
QLocale LngLocale();
// All lines of a multi-line text (lines separated by CR LF).
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
