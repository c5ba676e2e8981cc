#pragma once
#include <QList>
#include <QLocale>
#include <QString>
#include <functional>

// Every visible text comes from the table of the current language by id.
// Tables are data files embedded as resources (one per language, ids 17..1999).

class Settings;

// The texts of one language. Code below the application layer is handed one
// of these and never asks which language the program runs in, so what it
// builds depends only on its arguments.
class Texts
{
public:
    explicit Texts(int lngId = 0) : lngId_(lngId) {}
    int lngId() const { return lngId_; }
    // "" for ids without an entry, and for every id while lngId is not 1..10.
    QString text(int id) const;
    QString operator()(int id) const { return text(id); }
    // All lines of a multi-line text (lines separated by CR LF).
    QStringList lines(int id) const;
    // LanguageLocale of this language.
    QLocale locale() const;
    // "Tankmessgerät" in this language.
    QString deviceName() const { return text(45); }

private:
    int lngId_;
};

// The language is fixed once at start-up (LngInit) and then read from
// everywhere: a process-wide table, like the translations of any Qt program.
int LngId();           // 0 until LngInit
void SetLngId(int id); // the language chosen at start-up, or for an export
// "" for ids without an entry, and for every id while LngId is not 1..10.
QString LngText(int id);
// The program language of a locale: the one of the ten it speaks, English
// for any other.
int LanguageOfLocale(const QLocale &locale);
// Command-line word "LNGID=n" when n is not 0, else "LngPtnr"/"LngId" of the
// local settings file (none stored: the system's language, LanguageOfLocale);
// a stored 0 asks choose (the language
// selection; 0 when closed without a choice). False when the resulting id
// names no language: the caller says "Wrong LngId !?!" and ends the program.
bool LngInit(const QStringList &words, const Settings &settings, const std::function<int()> &choose,
             const QLocale &system = QLocale::system());
// The locale of a program language (LngId 1..10): its month names, date style
// and number grouping, so a German run says "März" and "1.234" whatever the
// system's locale; the system's own when it speaks that language, so its
// country's forms hold; the system's while no language is set.
QLocale LanguageLocale(int lngId, const QLocale &system = QLocale::system());
// LanguageLocale of the current language.
QLocale LngLocale();
// All lines of a multi-line text (lines separated by CR LF).
QStringList LngLines(int id);
// The current language's texts.
Texts CurrentTexts();

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
