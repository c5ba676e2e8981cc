#include "CommandLine.h"

#include "ProgramInfo.h"

#include "core/Paths.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "lang/Lng.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace
{

// Qt's own options of a window program: accepted and passed on to Qt.
const char *const kQtValueOptions[] = {"platform",        "style",        "stylesheet",  "display",
                                       "qwindowgeometry", "qwindowtitle", "qwindowicon", "platformtheme",
                                       "plugin",          "session"};
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
    "Exports:\n"
    "  --output -  writes to standard output. An existing output that is no\n"
    "              regular file (a FIFO, a device such as /dev/null or /dev/stdout)\n"
    "              is written to as a stream; a regular file is replaced as a\n"
    "              whole. A file of the program itself (settings file and its copy,\n"
    "              tank files, protocol, trace) is never written, whatever link or\n"
    "              path leads there.\n"
    "\n"
    "Settings without a window:\n"
    "  --get, --set, --set-password\n"
    "              work on the data folder's settings file; --set and\n"
    "              --set-password are refused while an instance runs on that\n"
    "              folder, --get reads at any time; no link is opened. SECTION/KEY\n"
    "              as in the file, e.g. \"E-Mail/SMTPServer\", \"MQTT/Port\",\n"
    "              \"Gerät3/Tankbezeichnung\", \"E-Mail/MinProzent3\". A trace file\n"
    "              (\"Common/Log\") is refused when it is one of the program's own\n"
    "              files by any path, or no regular file.\n"
    "\n"
    "Exit status:\n"
    "  0  ended normally (an export: the file is written; a setting read or stored)\n"
    "  1  could not run (another instance on the data folder, no client path, data\n"
    "     folder or settings file missing, a chart that could not be drawn, a\n"
    "     settings file that could not be written)\n"
    "  2  wrong command line (an unknown or repeated option); an export of an\n"
    "     unknown tank or without history; an export file that could not be written\n"
    "     or belongs to the program; an unknown setting or a wrong value\n"
    "\n"
    "Environment:\n"
    "  TANKMON_DATA_DIR     data folder, unless --data-dir is given\n"
    "  TANKMON_SMTP_CAFILE  certificate authorities (a PEM file) for the SMTP server's\n"
    "                       certificate, instead of the system's\n"
    "  TANKMON_MQTT_CAFILE  certificate authorities (a PEM file) for the MQTT broker's\n"
    "                       certificate, instead of the system's\n";

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and end.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the program title and version and end.")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
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
    QCommandLineOption format{
        QStringLiteral("format"),
        QStringLiteral("With --export-consumption: table (default: the window's table) or "
                       "long (a header line, then one line per tank and month: tank, "
                       "name, unit, year, month, consumption)."),
        QStringLiteral("FORMAT")};
    QCommandLineOption months{QStringLiteral("months"),
                              QStringLiteral("With --export-chart: the time range of M months (as the chart "
                                             "window's list), instead of all data."),
                              QStringLiteral("M")};
    QCommandLineOption percent{QStringLiteral("percent"),
                               QStringLiteral("With --export-chart: values in percent.")};
    QCommandLineOption points{QStringLiteral("points"),
                              QStringLiteral("With --export-chart: a marker at every measurement.")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("With --export-chart: image size in pixels (default 1200x700)."),
                            QStringLiteral("WIDTHxHEIGHT")};
    QCommandLineOption get{QStringLiteral("get"),
                           QStringLiteral("Print the stored value of a setting (its default when absent; a "
                                          "password prints (set) or (not set)) and end."),
                           QStringLiteral("SECTION/KEY")};
    QCommandLineOption set{QStringLiteral("set"),
                           QStringLiteral("Store a setting, checked as its dialog checks it; repeat it for "
                                          "more, all are written in one replace of the file, or none."),
                           QStringLiteral("SECTION/KEY=VALUE")};
    QCommandLineOption setPassword{
        QStringLiteral("set-password"),
        QStringLiteral("Read one line from standard input (no echo on a terminal) "
                       "and store it as the e-mail, MQTT, central, lock or web password."),
        QStringLiteral("email|mqtt|central|lock|web")};
};

// One of our refusals: a language text and its arguments; id 0 = none.
struct Refusal {
    int id = 0;
    QStringList args;
    explicit operator bool() const { return id != 0; }
};

QString dashed(const QCommandLineOption &option)
{
    return QStringLiteral("--") + option.names().last();
}

// An export's TANK: "all" (0) or a device number 1..56.
Refusal readTank(const QCommandLineParser &parser, const QCommandLineOption &option, int &tank)
{
    const QString text = parser.value(option);
    bool ok = false;
    tank = text.toInt(&ok);
    if (text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        tank = 0;
    else if (!ok || tank < 1 || tank > 56)
        return {504, {option.names().first(), text}};
    return {};
}

// The consumption export's options.
Refusal readConsumptionExport(const QCommandLineParser &parser, const Options &o,
                              CommandLine::ConsumptionExport &c)
{
    if (!parser.isSet(o.exportConsumption)) {
        if (parser.isSet(o.format))
            return {508, {o.format.names().first(), dashed(o.exportConsumption)}};
        return {};
    }
    if (parser.isSet(o.exportChart))
        return {507, {dashed(o.exportChart), dashed(o.exportConsumption)}};
    if (const Refusal r = readTank(parser, o.exportConsumption, c.tank))
        return r;
    c.output = parser.value(o.output);
    if (c.output.isEmpty())
        return {506, {o.exportConsumption.names().first()}};
    const QString format = parser.value(o.format);
    if (parser.isSet(o.format) && format != QLatin1String("table") && format != QLatin1String("long"))
        return {537, {format}};
    c.longFormat = format == QLatin1String("long");
    return {};
}

// The chart export's options.
Refusal readChartExport(const QCommandLineParser &parser, const Options &o, CommandLine::ChartExport &c)
{
    if (!parser.isSet(o.exportChart)) {
        for (const QCommandLineOption *only : {&o.output, &o.months, &o.percent, &o.points, &o.size})
            if (parser.isSet(*only) && !(only == &o.output && parser.isSet(o.exportConsumption)))
                return {508, {only->names().first(), dashed(o.exportChart)}};
        return {};
    }
    if (const Refusal r = readTank(parser, o.exportChart, c.tank))
        return r;
    bool ok = false;
    c.output = parser.value(o.output);
    if (c.output.isEmpty())
        return {506, {o.exportChart.names().first()}};
    // "-": the image goes to standard output, as PNG.
    if (c.output != QLatin1String("-") && !c.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !c.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return {509, {c.output}};
    if (parser.isSet(o.months)) {
        c.months = parser.value(o.months).toInt(&ok);
        if (!ok || c.months < 1 || c.months > 1200)
            return {510, {parser.value(o.months)}};
    }
    if (parser.isSet(o.size)) {
        const QStringList wh = parser.value(o.size).toLower().split(QLatin1Char('x'));
        bool okH = false;
        c.width = wh.size() == 2 ? wh[0].toInt(&ok) : 0;
        c.height = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
        if (!ok || !okH || c.width < 100 || c.height < 100 || c.width > 10000 || c.height > 10000)
            return {511, {parser.value(o.size)}};
    }
    c.percent = parser.isSet(o.percent);
    c.points = parser.isSet(o.points);
    return {};
}

// --get, --set, --set-password: alone, never with an export.
Refusal readConfigure(const QCommandLineParser &parser, const Options &o, CommandLine::Configure &c)
{
    const QCommandLineOption *given = nullptr;
    for (const QCommandLineOption *one : {&o.get, &o.set, &o.setPassword}) {
        if (!parser.isSet(*one))
            continue;
        if (given)
            return {507, {dashed(*given), dashed(*one)}};
        given = one;
    }
    if (!given)
        return {};
    for (const QCommandLineOption *other : {&o.exportChart, &o.exportConsumption})
        if (parser.isSet(*other))
            return {507, {dashed(*given), dashed(*other)}};
    c.get = parser.value(o.get);
    c.sets = parser.values(o.set);
    c.password = parser.value(o.setPassword);
    if (parser.isSet(o.setPassword) && c.password != QLatin1String("email") &&
        c.password != QLatin1String("mqtt") && c.password != QLatin1String("central") &&
        c.password != QLatin1String("lock") && c.password != QLatin1String("web"))
        return {1015, {c.password}};
    return {};
}

// Every option but --set stands once: a second value would silently win.
Refusal repeatedOption(const QCommandLineParser &parser, const QList<const QCommandLineOption *> &options)
{
    const QStringList names = parser.optionNames();
    for (const QCommandLineOption *option : options) {
        qsizetype count = 0;
        for (const QString &name : option->names())
            count += names.count(name);
        if (count > 1)
            return {512, {option->names().last()}};
    }
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
                       o.format, o.months, o.percent, o.points, o.size, o.get, o.set, o.setPassword});
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
    parser.addPositionalArgument(QStringLiteral("words"),
                                 QStringLiteral("CLIENT, ENDE, LNGID=n (see below)."),
                                 QStringLiteral("[CLIENT] [ENDE] [LNGID=n]"));

    const bool parsed = parser.parse(arguments);
    // Known even for a refusal: they decide the language it is told in.
    cl.dataDir = parser.value(o.dataDir);
    cl.words = parser.positionalArguments();
    if (!parsed) {
        cl.action = CommandLine::Action::Error;
        cl.text = parser.errorText();
        return cl;
    }
    if (parser.isSet(o.help)) {
        cl.action = CommandLine::Action::Help;
        cl.text = parser.helpText() + QString::fromUtf8(kMoreHelp);
        cl.text.replace(QLatin1String("<executable_name>"), cl.exeBaseName);
        return cl;
    }
    if (parser.isSet(o.version)) {
        cl.action = CommandLine::Action::Version;
        RunConfig config;
        config.exeBaseName = cl.exeBaseName;
        cl.text = VersionBanner(config);
        return cl;
    }
    Refusal refusal =
        repeatedOption(parser, {&o.headless, &o.dataDir, &o.exportChart, &o.exportConsumption, &o.output,
                                &o.months, &o.percent, &o.points, &o.size, &o.get, &o.setPassword});
    if (!refusal)
        refusal = readConfigure(parser, o, cl.configure);
    if (!refusal)
        refusal = readConsumptionExport(parser, o, cl.consumption);
    if (!refusal)
        refusal = readChartExport(parser, o, cl.chart);
    if (refusal) {
        cl.action = CommandLine::Action::Error;
        cl.errorId = refusal.id;
        cl.errorArgs = refusal.args;
        return cl;
    }
    if (parser.isSet(o.exportChart))
        cl.action = CommandLine::Action::ExportChart;
    if (parser.isSet(o.exportConsumption))
        cl.action = CommandLine::Action::ExportConsumption;
    if (parser.isSet(o.get) || parser.isSet(o.set) || parser.isSet(o.setPassword))
        cl.action = CommandLine::Action::Configure;
    cl.headless = parser.isSet(o.headless);
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

void FixMessageLanguage(const CommandLine &cl)
{
    RunConfig config = ConfigFromCommandLine(cl);
    config.clientMode = false;
    const RunSwitches switches(config);
    const Settings settings(switches);
    if (!LngInit(config.words, settings, [] { return 1; }))
        SetLngId(1);
}

QString LngFormat(int id, const QStringList &args)
{
    return FormatText(LngText(id), args);
}

QString ErrorText(const CommandLine &cl)
{
    const QString what = cl.errorId ? LngFormat(cl.errorId, cl.errorArgs) : cl.text;
    return cl.exeBaseName + QStringLiteral(": ") + what + QLatin1Char(' ') + LngText(513);
}
