#include <gtest/gtest.h>
#ifdef TANKMON_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

int main(int argc, char **argv)
{
    // Widget tests never need a screen; CTest sets this too, but the test
    // listing at build time (gtest_discover_tests) runs without it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A first start speaks the system's language (LC_ALL, LC_MESSAGES, LANG);
    // the tests' fresh data folders are German ones whatever the machine
    // speaks. Numbers and dates keep the machine's categories.
    if (!qEnvironmentVariableIsEmpty("LC_ALL")) {
        qputenv("LANG", qgetenv("LC_ALL"));
        qunsetenv("LC_ALL");
    }
    qputenv("LC_MESSAGES", "de_DE.UTF-8");
#ifdef TANKMON_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
