#pragma once
#include <QString>
#include <QStringList>

struct RunConfig;

// The command line, read before anything else happens: a wrong option ends
// the program with one line on stderr and exit status 2, before a settings
// file is touched or the instance lock is taken.
//
// Adding an option: declare it in options() in CommandLine.cpp, take its
// value in ParseCommandLine, and give it a field here. An option that makes
// the program do something else than run (an export, say) gets its own
// Action, handled in main() before the program starts (no lock, no window).
struct CommandLine {
    enum class Action { Run, Help, Version, Error, ExportChart, ExportConsumption, Configure };
    Action action = Action::Run;
    QString text; // the help text, the version line, or Qt's own parse error
    // Our own refusals: a language text and its arguments, told once the
    // run's language is known (ErrorText).
    int errorId = 0;
    QStringList errorArgs;
    QString exeBaseName = QStringLiteral("Tankmon");
    bool headless = false;
    QString dataDir;            // --data-dir; empty: TANKMON_DATA_DIR or the default
    QStringList words;          // CLIENT, ENDE, LNGID=n and anything else without a dash
    QStringList restartOptions; // our own options, for the new process of a restart

    // --export-chart TANK --output FILE [--months M] [--percent] [--points] [--size WxH]
    struct ChartExport {
        int tank = 0; // device number, 0 = all tanks
        QString output;
        int months = 0; // 0: the whole range ("Zoom alles")
        bool percent = false;
        bool points = false;
        int width = 1200;
        int height = 700;
    } chart;
    // --export-consumption TANK --output FILE [--format table|long]
    struct ConsumptionExport {
        int tank = 0; // device number, 0 = all tanks
        QString output;
        bool longFormat = false; // one line per tank and month instead of the table
    } consumption;
    // --get SECTION/KEY, --set SECTION/KEY=VALUE (repeatable), --set-password email|mqtt|central|lock|web
    struct Configure {
        QString get;
        QStringList sets;
        QString password; // "email", "mqtt", "lock" or "web"
    } configure;
};

// arguments as QCoreApplication::arguments() gives them (program first).
CommandLine ParseCommandLine(const QStringList &arguments);
// The run configuration the command line gives, the data folder resolved.
RunConfig ConfigFromCommandLine(const CommandLine &cl);
// The language of the messages of a run that shows no window: the command
// line's LNGID=n, else the data folder's stored language, else German.
void FixMessageLanguage(const CommandLine &cl);
// The error line of an Action::Error, in the language fixed above.
QString ErrorText(const CommandLine &cl);
// FormatText of a language text: each "%s" in turn.
QString LngFormat(int id, const QStringList &args);
// Exit statuses, as --help lists them.
enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };
