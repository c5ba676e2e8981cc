// What the program tells about itself in three places: --help, the README
// and the manual page list the same environment variables and exit
// statuses, and every variable of the program's own that the sources read
// is among them.
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace
{

QByteArray Output(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << qPrintable(program);
    EXPECT_EQ(p.exitCode(), 0) << qPrintable(program) << p.readAllStandardError().constData();
    return p.readAllStandardOutput();
}

// The items of the list under the first line that is heading: each line
// matching item (its first group), up to the next line that starts in the
// first column (a heading or the next paragraph). Sorted.
QStringList ListUnder(const QByteArray &text, const QString &heading, const QString &item)
{
    const QStringList lines = QString::fromUtf8(text).split('\n');
    const QRegularExpression itemRe(item);
    const qsizetype at = lines.indexOf(heading);
    EXPECT_GE(at, 0) << "no line " << qPrintable(heading) << " in\n" << text.constData();
    QStringList items;
    for (qsizetype i = at + 1; at >= 0 && i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (!line.isEmpty() && !line.front().isSpace() && !line.startsWith("- "))
            break;
        if (const auto m = itemRe.match(line); m.hasMatch())
            items << m.captured(1);
    }
    items.sort();
    return items;
}

// The TANKMON_ variables the sources read.
QStringList VariablesRead()
{
    const QRegularExpression read(R"((?:qEnvironmentVariable\w*|qgetenv|getenv)\(\s*"(TANKMON_\w+)\")");
    QStringList names;
    QDirIterator it(TANKMON_SOURCE_DIR "/src", {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
        const QString text = QString::fromUtf8(file.readAll());
        for (auto m = read.globalMatch(text); m.hasNext();)
            names << m.next().captured(1);
    }
    names.removeDuplicates();
    names.sort();
    return names;
}

using Manual = DataDirTest;

} // namespace

TEST_F(Manual, HelpReadmeAndManualPageListTheSameVariablesAndExitStatuses)
{
    const QByteArray help = Output(TANKMON_BINARY_DIR "/Tankmon", {"--help"});
    const QByteArray readme = readBytes(TANKMON_SOURCE_DIR "/README.md");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MANWIDTH", "100");
    QProcess man;
    man.setProcessEnvironment(env);
    man.start("man", {"-l", TANKMON_BINARY_DIR "/packaging/Tankmon.1"});
    ASSERT_TRUE(man.waitForFinished(60000));
    const QByteArray page = man.readAllStandardOutput();
    ASSERT_FALSE(page.isEmpty()) << "the manual page does not render: "
                                 << man.readAllStandardError().constData();

    const QString variable = R"(^(?:\s+|- `)(TANKMON_\w+)\b)";
    const QString status = R"(^(?:\s+|- `)(\d+)(?:`:|\s))";
    const QStringList variables = ListUnder(help, "Environment:", variable);
    EXPECT_EQ(variables, VariablesRead());
    EXPECT_EQ(ListUnder(readme, "Environment:", variable), variables);
    EXPECT_EQ(ListUnder(page, "ENVIRONMENT", variable), variables);

    const QStringList statuses = ListUnder(help, "Exit status:", status);
    EXPECT_EQ(statuses, QStringList({"0", "1", "2"}));
    EXPECT_EQ(ListUnder(readme, "Exit status:", status), statuses);
    EXPECT_EQ(ListUnder(page, "EXIT STATUS", status), statuses);
}
