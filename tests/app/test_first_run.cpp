// The first start on an empty data folder, as the real program makes it.
#include "support/ProgramRun.h"

#include <QProcessEnvironment>

using FirstRun = RunningProgramTest;

// No language stored: the system locale's one is taken and kept (English for
// a language without a table); LC_ALL wins over LANG, as everywhere.
TEST_F(FirstRun, SpeaksTheLanguageOfTheSystemLocale)
{
    const struct {
        const char *lang, *lcAll;
        const char *stored;
    } cases[] = {
        {"en_GB.UTF-8", "", "2"}, {"pl_PL.UTF-8", "", "10"},           {"de_AT.UTF-8", "", "1"},
        {"ja_JP.UTF-8", "", "2"}, {"en_GB.UTF-8", "hr_HR.UTF-8", "8"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lang + std::string("/") + c.lcAll);
        const QString folder = dataDir() + QString::fromLatin1(c.lang) + QString::fromLatin1(c.lcAll) + "/";
        ASSERT_TRUE(QDir().mkpath(folder));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LANG", c.lang);
        env.remove("LANGUAGE");
        env.remove("LC_MESSAGES");
        if (*c.lcAll)
            env.insert("LC_ALL", c.lcAll);
        else
            env.remove("LC_ALL");
        run.setProcessEnvironment(env);
        ASSERT_TRUE(start("[ready]", {}, folder)) << output.toStdString();
        EXPECT_TRUE(terminate());
        const QByteArray ini = readBytes(folder + "Tankmon.ini");
        EXPECT_TRUE(ini.contains("[LngPtnr]\r\nLngId=" + QByteArray(c.stored) + "\r\n")) << ini.toStdString();
    }
}
