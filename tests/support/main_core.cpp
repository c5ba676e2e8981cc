#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // A first start speaks the system's language (LC_ALL, LC_MESSAGES, LANG);
    // the tests' fresh data folders are German ones whatever the machine
    // speaks. Numbers and dates keep the machine's categories.
    if (!qEnvironmentVariableIsEmpty("LC_ALL")) {
        qputenv("LANG", qgetenv("LC_ALL"));
        qunsetenv("LC_ALL");
    }
    qputenv("LC_MESSAGES", "de_DE.UTF-8");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
