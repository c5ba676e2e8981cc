#include "ConfigureCommand.h"

#include "CommandLine.h"
#include "ExportData.h"
#include "ExportOutput.h"
#include "InstanceLock.h"
#include "SettingCheck.h"

#include "central/CentralSettings.h"
#include "core/RunSwitches.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "email/EmailSettings.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "mqtt/MqttSettings.h"
#include "web/WebPassword.h"
#include "web/WebSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace
{

QString prefixed(const CommandLine &cl, const QString &text)
{
    return cl.exeBaseName + QStringLiteral(": ") + text;
}

// One line of standard input without its line end; none at the end of the
// input. On a terminal the typing is not shown.
std::optional<QByteArray> readSecretLine(const QString &prompt)
{
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        std::fputs(qPrintable(prompt), stderr);
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    bool any = false;
    char c;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == '\n') {
            any = any || n > 0;
            break;
        }
        any = true;
        line += c;
    }
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!any)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// A value as an error line can show it: control characters as escapes.
QString shown(QString value)
{
    return ControlsEscaped(value.replace(QLatin1Char('\n'), QLatin1String("\\n"))
                               .replace(QLatin1Char('\r'), QLatin1String("\\r")));
}

struct Assignment {
    SettingRule rule;
    QString value;
};

// Each --set as the catalogue entry and the value to store; the first wrong
// one is told and ends everything before the file is touched.
std::optional<QList<Assignment>> checkedAssignments(const CommandLine &cl)
{
    QList<Assignment> out;
    for (const QString &item : cl.configure.sets) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            ErrorLine(prefixed(cl, LngFormat(529, {shown(item)})));
            return std::nullopt;
        }
        const QString name = item.left(eq);
        const std::optional<SettingRule> rule = FindSetting(name);
        if (!rule) {
            ErrorLine(prefixed(cl, LngFormat(516, {shown(name)})));
            return std::nullopt;
        }
        if (rule->kind == SettingRule::Kind::Password) {
            ErrorLine(prefixed(cl, LngFormat(528, {shown(name)})));
            return std::nullopt;
        }
        QString expected;
        const std::optional<QString> value = CheckSettingValue(*rule, item.mid(eq + 1), &expected);
        if (!value) {
            ErrorLine(prefixed(cl, LngFormat(517, {shown(name), shown(item.mid(eq + 1)), expected})));
            return std::nullopt;
        }
        out.append({*rule, *value});
    }
    return out;
}

bool sameKey(const IniKey &a, const IniKey &b)
{
    return qstrcmp(a.section, b.section) == 0 && qstrcmp(a.key, b.key) == 0;
}

// The value --get prints: the stored text, or the default a reader passes.
QString shownValue(const SettingRule &rule, const Settings &settings, const RunConfig &config)
{
    if (rule.kind == SettingRule::Kind::Password)
        return settings.read(rule.key, QString()).isEmpty() ? QStringLiteral("(not set)")
                                                            : QStringLiteral("(set)");
    if (rule.key.def)
        return settings.read(rule.key);
    // The defaults their readers compute.
    if (sameKey(rule.key, Cfg::Mqtt::Topic))
        return settings.read(rule.key, DefaultMqttTopic());
    if (sameKey(rule.key, Cfg::LogIniPath))
        return settings.read(rule.key, config.dataFolder);
    return settings.read(rule.key, config.DataFilePath(LngText(356)));
}

// Why a trace path among the assignments cannot be stored (it leads to a
// file of the program, or cannot be a trace file at all), or empty text.
QString traceRefusal(const QList<Assignment> &assignments, const RunConfig &config, const Settings &settings)
{
    QString logFolder = settings.read(Cfg::LogIniPath, config.dataFolder);
    for (const Assignment &a : assignments)
        if (sameKey(a.rule.key, Cfg::LogIniPath))
            logFolder = a.value;
    for (const Assignment &a : assignments) {
        if (!sameKey(a.rule.key, Cfg::TraceLog) || a.value.isEmpty())
            continue;
        const QString problem = ExportOutput::TraceFileProblem(
            a.value, ExportOutput::ProgramFiles(config, settings.localPath(), logFolder));
        if (!problem.isEmpty())
            return LngFormat(1190, {QStringLiteral("Common/Log"), shown(a.value), problem});
    }
    return {};
}

} // namespace

int RunConfigure(int &argc, char **argv, const CommandLine &cl)
{
    QCoreApplication application(argc, argv);
    FixMessageLanguage(cl);
    const CommandLine::Configure &job = cl.configure;

    std::optional<SettingRule> getSpec;
    if (!job.get.isEmpty()) {
        getSpec = FindSetting(job.get);
        if (!getSpec) {
            ErrorLine(prefixed(cl, job.get.contains(QLatin1Char('/')) ? LngFormat(516, {shown(job.get)})
                                                                      : LngFormat(530, {shown(job.get)})));
            return ExitUsage;
        }
    }
    const std::optional<QList<Assignment>> assignments = checkedAssignments(cl);
    if (!assignments)
        return ExitUsage;

    RunConfig config = ConfigFromCommandLine(cl);
    config.clientMode = false; // always this folder's own file
    // Reading creates nothing: a folder that is not there has nothing to show.
    if (getSpec && !QFileInfo(config.dataFolder).isDir()) {
        ErrorLine(prefixed(cl, LngFormat(503, {config.dataFolder})));
        return ExitFailed;
    }
    QString failure;
    const RunSwitches switches(config);
    Settings settings(switches, [&failure](const QString &path, const QString &reason) {
        failure = path + QStringLiteral(": ") + reason;
    });
    const auto written = [&] {
        if (failure.isEmpty())
            return int(ExitOk);
        ErrorLine(prefixed(cl, LngFormat(535, {failure})));
        return int(ExitFailed);
    };

    // Reading needs no lock (every write replaces the file whole), so it
    // works on a folder this user may not write.
    if (getSpec) {
        std::printf("%s\n", qPrintable(shownValue(*getSpec, settings, config)));
        return ExitOk;
    }
    if (const QString refusal = traceRefusal(*assignments, config, settings); !refusal.isEmpty()) {
        ErrorLine(prefixed(cl, refusal));
        return ExitUsage;
    }
    InstanceLock lock(config.DataFilePath(config.ExeFileName(QStringLiteral(".lock"))));
    if (!lock.tryLock()) {
        ErrorLine(prefixed(cl, lock.heldByOther()
                                   ? LngFormat(515, {QDir::toNativeSeparators(config.dataFolder)})
                                   : LngText(17) + QStringLiteral(": ") + config.dataFolder +
                                         QStringLiteral(": ") +
                                         SafeFile::FolderWriteProblem(config.dataFolder)));
        return ExitFailed;
    }
    if (!job.sets.isEmpty()) {
        // The web view's keys together as its dialog checks them: where it
        // would listen, it must be allowed to.
        WebValues web = ReadWebValues(settings);
        bool webTouched = false;
        for (const Assignment &a : *assignments) {
            if (qstrcmp(a.rule.key.section, Cfg::Web::Aktiv.section) != 0)
                continue;
            webTouched = true;
            if (sameKey(a.rule.key, Cfg::Web::Aktiv))
                web.aktiv = a.value == QLatin1String("1");
            else if (sameKey(a.rule.key, Cfg::Web::Adresse))
                web.adresse = a.value;
            else if (sameKey(a.rule.key, Cfg::Web::Zertifikat))
                web.zertifikat = a.value;
            else if (sameKey(a.rule.key, Cfg::Web::Schluessel))
                web.schluessel = a.value;
        }
        if (webTouched && web.aktiv) {
            if (const QString problem = WebStartProblem(web, CurrentTexts()); !problem.isEmpty()) {
                ErrorLine(prefixed(cl, problem));
                return ExitUsage;
            }
        }
        Settings::Batch batch(settings);
        for (const Assignment &a : *assignments)
            settings.write(a.rule.key, a.value);
        batch.commit();
        return written();
    }

    // --set-password: through the same calls as the dialogs' OK.
    const QString whose = job.password == QLatin1String("email")     ? QStringLiteral("E-Mail/Password")
                          : job.password == QLatin1String("mqtt")    ? QStringLiteral("MQTT/Password")
                          : job.password == QLatin1String("central") ? QStringLiteral("Zentrale/Password")
                          : job.password == QLatin1String("web")     ? QStringLiteral("Web/Password")
                                                                     : QStringLiteral("E-Mail/Passwort");
    const std::optional<QByteArray> line = readSecretLine(LngFormat(532, {whose}));
    if (!line) {
        ErrorLine(prefixed(cl, LngText(533)));
        return ExitUsage;
    }
    // Stateless: a sequence cut off at the end counts as invalid too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString password = utf8(*line);
    // Each refusal says what is wrong: a stored replacement character or a
    // cut at the NUL would be a different password than the one typed.
    if (utf8.hasError() || password.contains(QChar(0)) || password.size() > 254) {
        ErrorLine(prefixed(cl, LngText(utf8.hasError() ? 1193 : password.contains(QChar(0)) ? 1194 : 534)));
        return ExitUsage;
    }
    if (job.password == QLatin1String("mqtt")) {
        MqttValues v = ReadMqttValues(settings);
        v.password = password;
        WriteMqttValues(settings, v);
        return written();
    }
    if (job.password == QLatin1String("central")) {
        CentralValues v = ReadCentralValues(settings);
        v.password = password;
        WriteCentralValues(settings, v);
        return written();
    }
    if (job.password == QLatin1String("web")) {
        // Stored as a salted hash; an empty line removes the password.
        WebValues v = ReadWebValues(settings);
        v.password = password.isEmpty() ? QString() : NewWebPasswordHash(password);
        WriteWebValues(settings, v);
        return written();
    }
    const auto devices = std::make_unique<DeviceTable>(); // no tank list: no tank's switch is written
    EmailSettings email(settings, *devices);
    if (job.password == QLatin1String("lock")) {
        email.setLockPassword(password);
    } else {
        EmailValues v = email.values();
        v.server.password = password;
        email.save(v);
    }
    return written();
}
