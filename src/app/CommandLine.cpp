#include "CommandLine.h"

#include "ProgramInfo.h"

#include "core/Paths.h"
#include "core/RunConfig.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Qt's own options of a window program: accepted and passed on to Qt.
const char *const kQtValueOptions[] = {"platform", "style", "stylesheet", "display", "qwindowgeometry",
                                       "qwindowtitle", "qwindowicon", "platformtheme", "plugin", "session"};
const char *const kQtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

const char kMoreHelp[] =
    "\n"
    "Words:\n"
    "  CLIENT    client mode: show what a serving installation writes into its\n"
    "            settings file (section \"Client\", key \"Path\"); no link, no recording\n"
    "  ENDE      skip the single-instance check (a restart passes it on)\n"
    "  LNGID=n   language of this run, 1 German, 2 English, 3 Italian, 4 French,\n"
    "            5 Spanish, 6 Portuguese, 7 Dutch, 8 Croatian, 9 Romanian, 10 Polish\n"
    "\n"
    "Environment:\n"
    "  TANKMON_DATA_DIR     data folder, unless --data-dir is given\n"
    "  TANKMON_SMTP_CAFILE  certificate authorities for the SMTP server's certificate\n"
    "\n"
    "Exit status:\n"
    "  0  ended normally\n"
    "  1  could not run (another instance, no client path, settings missing)\n"
    "  2  wrong command line\n";

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and end.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the program title and version and end.")};
    QCommandLineOption headless{QStringLiteral("headless"),
                                QStringLiteral("Run without any window (service mode); messages go to stdout.")};
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Use FOLDER as the data folder (settings, tank files)."),
                               QStringLiteral("FOLDER")};
};

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    if (!arguments.isEmpty())
        cl.exeBaseName = QFileInfo(arguments.first()).completeBaseName();

    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tank level monitor for up to 56 measuring devices."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({o.help, o.version, o.headless, o.dataDir});
    for (const char *name : kQtValueOptions) {
        QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const char *name : kQtSwitches) {
        QCommandLineOption qt(QString::fromLatin1(name));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    parser.addPositionalArgument(QStringLiteral("words"), QStringLiteral("CLIENT, ENDE, LNGID=n (see below)."),
                                 QStringLiteral("[CLIENT] [ENDE] [LNGID=n]"));

    if (!parser.parse(arguments)) {
        cl.action = CommandLine::Action::Error;
        cl.text = cl.exeBaseName + QStringLiteral(": ") + parser.errorText() +
                  QStringLiteral(" (see --help)");
        return cl;
    }
    if (parser.isSet(o.help)) {
        cl.action = CommandLine::Action::Help;
        cl.text = parser.helpText() + QString::fromLatin1(kMoreHelp);
        cl.text.replace(QLatin1String("<executable_name>"), cl.exeBaseName);
        return cl;
    }
    if (parser.isSet(o.version)) {
        cl.action = CommandLine::Action::Version;
        RunConfig config;
        config.exeBaseName = cl.exeBaseName;
        cl.text = ProgramTitle(config, false) + QLatin1Char(' ') + ProgramVersionText() + QLatin1Char('\n');
        return cl;
    }
    cl.headless = parser.isSet(o.headless);
    cl.dataDir = parser.value(o.dataDir);
    cl.words = parser.positionalArguments();
    if (cl.headless)
        cl.restartOptions << QStringLiteral("--headless");
    if (parser.isSet(o.dataDir))
        cl.restartOptions << QStringLiteral("--data-dir") << cl.dataDir;
    return cl;
}

RunConfig ConfigFromCommandLine(const CommandLine &cl)
{
    RunConfig config;
    config.words = cl.words;
    config.exeBaseName = cl.exeBaseName;
    config.headless = cl.headless;
    config.clientMode = config.hasWord(QStringLiteral("CLIENT"));
    config.dataFolder = Paths::DefaultDataFolder(config.CompanyFolderName(), config.exeBaseName, cl.dataDir);
    return config;
}
