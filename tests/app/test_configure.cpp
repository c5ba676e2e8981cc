// The settings of a data folder from the command line (--get, --set,
// --set-password) and the command line's refusals, as real processes.
#include "email/EmailSettings.h"
#include "model/DeviceRecord.h"
#include "mqtt/MqttSettings.h"
#include "support/ProgramRun.h"

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using Configure = RunningProgramTest;

TEST_F(Configure, SetIsCheckedAsTheDialogsCheckAndWrittenAtOnce)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[E-Mail]\r\nSchwelle 2=20\r\n");
    ASSERT_EQ(tool({"--set", "MQTT/Port=1884", "--set", "e-mail/smtpserver=mail.example.org", "--set",
                    "Ger\u00e4t2/Tankbezeichnung=Heiz\u00f6l Nord", "--set", "E-Mail/MinProzent3=12,5",
                    "--set", "E-Mail/Schwelle 2=25"}),
              0)
        << qPrintable(err);
    const QList<std::pair<QString, QString>> stored = {{"MQTT/Port", "1884"},
                                                       {"E-Mail/SMTPServer", "mail.example.org"},
                                                       {"Ger\u00e4t2/Tankbezeichnung", "Heiz\u00f6l Nord"},
                                                       {"E-Mail/MinProzent3", "12.5"},
                                                       {"E-Mail/Schwelle 2", "25"},
                                                       // Absent keys show their defaults, computed ones too.
                                                       {"Log INI-File/Path", dataDir()},
                                                       {"E-Mail/Password", "(not set)"}};
    for (const auto &[key, value] : stored) {
        EXPECT_EQ(tool({"--get", key}), 0) << qPrintable(err);
        EXPECT_EQ(out, value + "\n") << qPrintable(key);
    }
    // Each wrong one: status 2, one line naming it, the file untouched, even
    // when a sound one comes before it.
    const QByteArray before = readBytes(iniPath());
    const QList<std::pair<QStringList, QString>> refusals = {
        {{"--set", "MQTT/Port=1885", "--set", "MQTT/Port=70000"}, "70000"},
        {{"--set", "MQTT/Topic=tanks/+/state"}, "MQTT/Topic"},
        {{"--set", "E-Mail/Schwelle 2=12"}, "5, 10, 15"},
        {{"--set", "Common/ActiveCom=2"}, "0 or 1"},
        {{"--set", "E-Mail/Empf\u00e4nger 1=Chef <chef@example.org>"}, "Empf\u00e4nger 1"},
        {{"--set", "E-Mail/Melderaster=0"}, "Melderaster"},
        {{"--set", "Ger\u00e4t57/SN=1"}, "Ger\u00e4t57/SN"},
        {{"--set", "MQTT/Password=secret"}, "--set-password"},
        {{"--set", "Log INI-File/Path=relative/folder"}, "Log INI-File/Path"},
        {{"--set", "Ger\u00e4t1/Tankbezeichnung=two\nlines"}, "Tankbezeichnung"},
        {{"--set", "MQTT/Port"}, "MQTT/Port"},
        {{"--get", "MQTT/Nothing"}, "MQTT/Nothing"},
        {{"--get", "E-Mail/Password", "--set", "MQTT/Port=1"}, "exclude"},
    };
    for (const auto &[args, named] : refusals) {
        EXPECT_EQ(tool(args), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
        EXPECT_EQ(readBytes(iniPath()), before) << qPrintable(args.join(' '));
    }
}

// The passwords go the dialogs' way: the program reads back what was typed.
// Refused while an instance runs on the folder, so it cannot save over them.
TEST_F(Configure, PasswordsFromStandardInputAndTheInstanceLock)
{
    writeTcpSettings("[E-Mail]\r\nKundenname=M\xFCller\r\nSMTPPort=465\r\n");
    ASSERT_TRUE(start()) << output.constData();
    const QByteArray running = readBytes(iniPath());
    EXPECT_EQ(tool({"--set", "MQTT/Host=broker"}), 1);
    EXPECT_TRUE(err.contains("running on the data folder")) << qPrintable(err);
    EXPECT_EQ(tool({"--set-password", "mqtt"}, "x\n"), 1);
    EXPECT_EQ(readBytes(iniPath()), running);
    ASSERT_TRUE(terminate());

    const QString mail = QStringLiteral(" mail p\u00e4ss word!"), broker = QStringLiteral("b"),
                  lock = QStringLiteral("Schlo\u00df");
    ASSERT_EQ(tool({"--set-password", "email"}, (mail + "\r\n").toUtf8()), 0) << qPrintable(err);
    ASSERT_EQ(tool({"--set-password", "mqtt"}, broker.toUtf8()), 0) << qPrintable(err);
    ASSERT_EQ(tool({"--set-password", "lock"}, lock.toUtf8() + "\nmore\n"), 0) << qPrintable(err);
    for (const char *key : {"E-Mail/Password", "MQTT/Password", "E-Mail/Passwort"}) {
        EXPECT_EQ(tool({"--get", key}), 0);
        EXPECT_EQ(out, "(set)\n") << key;
    }
    copyToFreshFolder();
    DeviceTable devices;
    EmailSettings email(settings, devices);
    EXPECT_EQ(email.values().server.password, mail);
    EXPECT_EQ(email.lockPassword(), lock);
    EXPECT_EQ(email.values().customer.kundenname, QStringLiteral("M\u00fcller"));
    EXPECT_EQ(email.values().server.port, "465");
    EXPECT_EQ(ReadMqttValues(settings).password, broker);

    // No line at all: nothing is stored.
    const QByteArray before = readBytes(iniPath());
    EXPECT_EQ(tool({"--set-password", "mqtt"}), 2);
    EXPECT_EQ(err.trimmed().count('\n'), 0) << qPrintable(err);
    EXPECT_EQ(readBytes(iniPath()), before);
}

// Refusals of the command line in the run's language.
TEST_F(Configure, CommandLineRefusalsInTheRunsLanguage)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=10\r\n");
    const QString missing = dataDir() + "nowhere/";
    const QList<std::tuple<QStringList, int, QString>> cases = {
        {{"--export-chart", "1", "--export-chart", "2", "--output", "x.png"},
         2,
         "podano wi\u0119cej ni\u017c raz"},
        {{"--set-password", "smtp"}, 2, "smtp"},
        {{"--export-chart", "all", "--output", "x.png", "--data-dir", missing, "LNGID=1"},
         1,
         "Kein Datenordner"},
    };
    for (const auto &[args, status, named] : cases) {
        EXPECT_EQ(tool(args, {}, args.contains("--data-dir")), status) << qPrintable(args.join(' '));
        EXPECT_TRUE(err.contains(named)) << qPrintable(err);
        EXPECT_EQ(err.trimmed().count('\n'), 0) << "one line: " << qPrintable(err);
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// The trace never goes into a file of the program, by whatever path, nor into
// a FIFO; values with blanks or quotes at their ends read back as given; a
// password is refused saying what is wrong with it; reading needs no write
// rights on the folder.
TEST_F(Configure, TraceRefusalsValuesAsGivenAndReadingWithoutWriteRights)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n");
    ASSERT_TRUE(QDir(dataDir()).mkdir("sub"));
    QTemporaryDir elsewhere;
    const auto at = [&](const char *name) { return elsewhere.filePath(name); };
    ASSERT_EQ(::symlink(qPrintable(dataDir() + "sub"), qPrintable(at("s_sub"))), 0);
    ASSERT_EQ(::symlink(qPrintable(iniPath()), qPrintable(at("soft.ini"))), 0);
    ASSERT_EQ(::link(qPrintable(iniPath()), qPrintable(at("hard.ini"))), 0);
    ASSERT_EQ(::mkfifo(qPrintable(at("fifo")), 0600), 0);
    const QByteArray before = readBytes(iniPath());
    const QList<QStringList> refused = {
        {"Common/Log=" + iniPath()},
        {"Common/Log=" + at("soft.ini")},
        {"Common/Log=" + at("hard.ini")},
        {"Common/Log=" + at("s_sub") + "/../Tankmon.ini"},
        {"Common/Log=" + dataDir() + "Tankmon.lock"},
        {"Common/Log=" + dataDir() + "sub/../Tank56.csv"},
        {"Common/Log=" + dataDir() + "LogVerbrauch.txt"},
        {"Common/Log=" + at("fifo")},
        {"Common/Log=" + at("nowhere") + "/trace.txt"},
        // The log folder set in the same call counts: its tank files and copy.
        {"Log INI-File/Path=" + elsewhere.path(), "Common/Log=" + at("Tank2.csv")},
        {"Log INI-File/Path=" + elsewhere.path(), "Common/Log=" + at("Tankmon.ini")},
    };
    for (const QStringList &sets : refused) {
        QStringList args;
        for (const QString &set : sets)
            args << "--set" << set;
        EXPECT_EQ(tool(args), 2) << qPrintable(sets.join(' '));
        EXPECT_TRUE(err.contains("Common/Log")) << qPrintable(err);
        EXPECT_EQ(readBytes(iniPath()), before) << qPrintable(sets.join(' '));
    }
    ASSERT_EQ(tool({"--set", "Common/Log=" + at("trace.txt")}), 0) << qPrintable(err);

    ASSERT_EQ(tool({"--set", "E-Mail/Betreff= x ", "--set", "E-Mail/Kundenname=\"quoted\"", "--set",
                    "E-Mail/Ort='Rom'"}),
              0)
        << qPrintable(err);
    for (const auto &[key, value] :
         {std::pair{"E-Mail/Betreff", " x "}, std::pair{"E-Mail/Kundenname", "\"quoted\""},
          std::pair{"E-Mail/Ort", "'Rom'"}}) {
        EXPECT_EQ(tool({"--get", key}), 0) << qPrintable(err);
        EXPECT_EQ(out, QString(value) + "\n") << key;
    }

    const QByteArray stored = readBytes(iniPath());
    EXPECT_EQ(tool({"--set-password", "mqtt"}, "caf\xE9\n"), 2);
    EXPECT_TRUE(err.contains("UTF-8")) << qPrintable(err);
    EXPECT_EQ(tool({"--set-password", "mqtt"}, QByteArray("a\0b\n", 4)), 2);
    EXPECT_TRUE(err.contains("NUL")) << qPrintable(err);
    EXPECT_EQ(readBytes(iniPath()), stored);

    // A folder this user may only read (root writes anywhere: nobody reads then).
    const QByteArray folder = QFile::encodeName(dataDir());
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(iniPath()).constData(), 0644), 0);
    QProcess get;
    QStringList args{program, "--data-dir", dataDir(), "--get", "E-Mail/Betreff"};
    if (::getuid() == 0)
        args = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + args;
    get.start(args.takeFirst(), args);
    ASSERT_TRUE(get.waitForFinished(60000));
    ::chmod(folder.constData(), 0700);
    EXPECT_EQ(get.exitCode(), 0) << get.readAllStandardError().constData();
    EXPECT_EQ(get.readAllStandardOutput(), " x \n");
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::Hidden).join(' '), "Tankmon.ini");
}

} // namespace
