#pragma once
#include <QProcess>
#include "core/RunConfig.h"
#include "core/Settings.h"

#include <QString>
#include <QTemporaryDir>
#include <QList>
#include <QPair>
#include <QDateTime>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

// A naive wall-clock time, as the program's clock gives it.
QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0);

// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// Each test gets its own data folder, and the run configuration and
// settings over it, as the application layer builds them.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    QString dataDir() const { return config.dataFolder; } // ends in "/"
    QString iniPath() const { return config.SettingsLocalPath(); }
    // Raw bytes of a file / write raw bytes (Windows-1252 test data).
    static QByteArray readBytes(const QString &path);
    static void writeBytes(const QString &path, const QByteArray &bytes);

    QTemporaryDir tmp_;
    RunConfig config;
    Settings settings{config};
};

// A data folder and the real program run on it; a program still running at
// the end of a test is killed.
class RunningProgramTest : public DataDirTest {
protected:
    void TearDown() override
    {
        if (run.state() != QProcess::NotRunning) {
            run.kill();
            run.waitForFinished(5000);
        }
        DataDirTest::TearDown();
    }
    QProcess run;
};

// Runs the event loop until pred is true or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 5000);
// Inode of a file (0 when absent): a new one means the file was replaced.
quint64 InodeOf(const QString &path);

// Counts the atomic replaces (renames onto the name) and the in-place writes
// of files in a folder, from construction on.
class ReplaceCounter
{
public:
    explicit ReplaceCounter(const QString &folder);
    ~ReplaceCounter();
    int replaces(const QString &fileName);
    int inPlaceWrites(const QString &fileName);

private:
    int count(const QString &fileName, quint32 mask);
    int fd_ = -1;
    QList<QPair<QString, quint32>> events_;
};

class QProcess;
// Starts program --headless on folder (through wrapper, e.g. as another user)
// and waits until its merged output, collected in out, holds marker.
bool StartHeadless(QProcess &p, const QString &program, const QString &folder, QByteArray &out,
                   const QByteArray &marker = "[ready]", const QStringList &wrapper = {});
// A loopback TCP port nobody listens on right now.
quint16 FreeTcpPort();
