#pragma once
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// Each test gets its own data folder and a clean process state.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString dataDir() const; // ends in "/"
    QString iniPath() const; // <data>/Tankmon.ini
    // Raw bytes of a file / write raw bytes (Windows-1252 test data).
    static QByteArray readBytes(const QString &path);
    static void writeBytes(const QString &path, const QByteArray &bytes);

    QTemporaryDir tmp_;
};

// Pumps events until pred is true or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 5000);
// Resets process-wide state (run state, data folder cache, settings cache).
void ResetProcessState();
