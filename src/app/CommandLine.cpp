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
    "  0  ended normally (an export: the file is written)\n"
    "  1  could not run (another instance, no client path, settings missing,\n"
    "     a chart that could not be drawn)\n"
    "  2  wrong command line; an export of an unknown tank or without history;\n"
    "     an export file that could not be written\n";

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
    QCommandLineOption exportChart{
        QStringLiteral("export-chart"),
        QStringLiteral("Write the history chart of tank TANK (a device number, or all) to the --output "
                       "file and end; reads the data folder only, runs beside a serving instance."),
        QStringLiteral("TANK")};
    QCommandLineOption exportConsumption{
        QStringLiteral("export-consumption"),
        QStringLiteral("Write the consumption table of tank TANK (a device number, or all) as CSV to the "
                       "--output file and end; reads the data folder only (the consumption protocol "
                       "excepted, when it is switched on)."),
        QStringLiteral("TANK")};
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("The file an export writes (.png or .pdf for --export-chart)."),
                              QStringLiteral("FILE")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("--export-consumption: table (default: the window's table) or "
                                             "long (a header line, then one line per tank and month: tank, "
                                             "name, unit, year, month, consumption)."),
                              QStringLiteral("FORMAT")};
    QCommandLineOption months{QStringLiteral("months"),
                              QStringLiteral("--export-chart: the time range of M months (as the chart "
                                             "window's list), instead of all data."),
                              QStringLiteral("M")};
    QCommandLineOption percent{QStringLiteral("percent"), QStringLiteral("--export-chart: values in percent.")};
    QCommandLineOption points{QStringLiteral("points"),
                              QStringLiteral("--export-chart: a marker at every measurement.")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("--export-chart: image size in pixels (default 1200x700)."),
                            QStringLiteral("WIDTHxHEIGHT")};
};

// An export's TANK: "all" (0) or a device number 1..56; an error line, or empty.
QString readTank(const QCommandLineParser &parser, const QCommandLineOption &option, int &tank)
{
    const QString text = parser.value(option);
    bool ok = false;
    tank = text.toInt(&ok);
    if (text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        tank = 0;
    else if (!ok || tank < 1 || tank > 56)
        return QStringLiteral("--%1: unknown tank \"%2\" (a device number 1..56 or all)")
            .arg(option.names().first(), text);
    return {};
}

// The consumption export's options; an error line, or empty when they are sound.
QString readConsumptionExport(const QCommandLineParser &parser, const Options &o,
                              CommandLine::ConsumptionExport &c)
{
    if (!parser.isSet(o.exportConsumption)) {
        if (parser.isSet(o.format))
            return QStringLiteral("--format belongs to an export (--export-consumption)");
        return {};
    }
    if (parser.isSet(o.exportChart))
        return QStringLiteral("--export-chart and --export-consumption exclude each other");
    if (const QString error = readTank(parser, o.exportConsumption, c.tank); !error.isEmpty())
        return error;
    c.output = parser.value(o.output);
    if (c.output.isEmpty())
        return QStringLiteral("--export-consumption needs --output FILE");
    const QString format = parser.value(o.format);
    if (parser.isSet(o.format) && format != QLatin1String("table") && format != QLatin1String("long"))
        return QStringLiteral("--format: \"%1\" is neither table nor long").arg(format);
    c.longFormat = format == QLatin1String("long");
    return {};
}

// The chart export's options; an error line, or empty when they are sound.
QString readChartExport(const QCommandLineParser &parser, const Options &o, CommandLine::ChartExport &c)
{
    if (!parser.isSet(o.exportChart)) {
        for (const QCommandLineOption *only : {&o.output, &o.months, &o.percent, &o.points, &o.size})
            if (parser.isSet(*only) && !(only == &o.output && parser.isSet(o.exportConsumption)))
                return QStringLiteral("--%1 belongs to an export (--export-chart)").arg(only->names().first());
        return {};
    }
    if (const QString error = readTank(parser, o.exportChart, c.tank); !error.isEmpty())
        return error;
    bool ok = false;
    c.output = parser.value(o.output);
    if (c.output.isEmpty())
        return QStringLiteral("--export-chart needs --output FILE");
    if (!c.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !c.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return QStringLiteral("--output: \"%1\" does not end in .png or .pdf").arg(c.output);
    if (parser.isSet(o.months)) {
        c.months = parser.value(o.months).toInt(&ok);
        if (!ok || c.months < 1 || c.months > 1200)
            return QStringLiteral("--months: \"%1\" is no number of months 1..1200").arg(parser.value(o.months));
    }
    if (parser.isSet(o.size)) {
        const QStringList wh = parser.value(o.size).toLower().split(QLatin1Char('x'));
        bool okH = false;
        c.width = wh.size() == 2 ? wh[0].toInt(&ok) : 0;
        c.height = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
        if (!ok || !okH || c.width < 100 || c.height < 100 || c.width > 10000 || c.height > 10000)
            return QStringLiteral("--size: \"%1\" is no WIDTHxHEIGHT of 100 to 10000 pixels")
                .arg(parser.value(o.size));
    }
    c.percent = parser.isSet(o.percent);
    c.points = parser.isSet(o.points);
    return {};
}

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
    parser.addOptions({o.help, o.version, o.headless, o.dataDir, o.exportChart, o.exportConsumption, o.output,
                       o.format, o.months, o.percent, o.points, o.size});
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
    QString error = readConsumptionExport(parser, o, cl.consumption);
    if (error.isEmpty())
        error = readChartExport(parser, o, cl.chart);
    if (!error.isEmpty()) {
        cl.action = CommandLine::Action::Error;
        cl.text = cl.exeBaseName + QStringLiteral(": ") + error + QStringLiteral(" (see --help)");
        return cl;
    }
    if (parser.isSet(o.exportChart))
        cl.action = CommandLine::Action::ExportChart;
    if (parser.isSet(o.exportConsumption))
        cl.action = CommandLine::Action::ExportConsumption;
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
