#pragma once
#include "core/RunSwitches.h"
#include "core/Settings.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// A naive wall-clock time, as the program's clock gives it.
QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0);

// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Each test gets its own data folder, and the run options, switches and
// settings over it, as the application layer builds them.
class DataDirTest : public ::testing::Test
{
protected:
    void SetUp() override;
    QString dataDir() const { return config.dataFolder; } // ends in "/"
    QString iniPath() const { return config.SettingsLocalPath(); }
    // Raw bytes of a file / write raw bytes (Windows-1252 test data).
    static QByteArray readBytes(const QString &path);
    static void writeBytes(const QString &path, const QByteArray &bytes);
    // Another program instance's view of the settings file: a copy in a new
    // data folder, which no cached copy of this process knows.
    void copyToFreshFolder();

    QTemporaryDir tmp_;
    int copies_ = 0;
    RunConfig config;
    RunSwitches switches{config};
    Settings settings{switches};
};

// Runs the event loop until pred is true or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 5000);
// Inode of a file (0 when absent): a new one means the file was replaced.
quint64 InodeOf(const QString &path);
// The rights of a file in octal and whether its group is the group of its
// folder ("640 folder's group"), or "absent".
QString RightsOf(const QString &path);

// Sets the process's umask for a test's life.
struct ScopedUmask {
    explicit ScopedUmask(mode_t mask) : old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old); }
    const mode_t old;
};

// Counts the atomic replaces (renames onto the name) and the in-place writes
// of files in a folder, from construction on.
class ReplaceCounter
{
public:
    explicit ReplaceCounter(const QString &folder);
    ~ReplaceCounter() { ::close(fd_); }
    int replaces(const QString &fileName) { return count(fileName, IN_MOVED_TO); }
    int inPlaceWrites(const QString &fileName) { return count(fileName, IN_MODIFY); }

private:
    int count(const QString &fileName, quint32 mask);
    int fd_ = -1;
    QList<QPair<QString, quint32>> events_;
};

class QProcess;
// Waits until the output of p, collected in out, holds marker; false when p
// ended first.
bool WaitOutput(QProcess &p, QByteArray &out, const QByteArray &marker, int timeoutMs = 20000);
// Sends sig to the process p runs; false when it runs none (a kill of pid 0
// would hit the test's own process group, ctest with it).
bool Signal(const QProcess &p, int sig);
// The process p starts is killed when the test's process ends, also by a
// crash: no peer stays behind holding the test's output open (ctest would
// wait for it). Lost by a program that changes its user (mosquitto as root
// unless told to stay root).
void DieWithTest(QProcess &p);
// Starts program --headless on folder (through wrapper, e.g. as another user)
// and waits until its merged output, collected in out, holds marker.
bool StartHeadless(QProcess &p, const QString &program, const QString &folder, QByteArray &out,
                   const QByteArray &marker = "[ready]", const QStringList &wrapper = {});
// A loopback TCP port nobody listens on, reserved for this process: no
// other test process gets it, and no outgoing connection takes it.
quint16 FreeTcpPort();

// A gateway on a thread of its own with a plain blocking socket, so that its
// buffers do not count against this process: connects to 127.0.0.1:port
// (waiting for the listener), reads the greeting, sends bytes over and over
// until limit bytes went out or the connection was cut, and hangs up.
class ThreadPeer
{
public:
    ThreadPeer(quint16 port, const QByteArray &bytes, qint64 limit);
    ~ThreadPeer(); // a send blocked on a deaf program returns
    bool finished() const { return finished_; }
    qint64 sent() const { return sent_; }
    // Milliseconds from the greeting to the cut; -1 unless cut.
    qint64 cutAfterMs() const { return cutAfter_; }

private:
    void run(quint16 port, qint64 limit);
    const QByteArray bytes_;
    const int fd_;
    std::atomic<bool> stop_{false}, finished_{false};
    std::atomic<qint64> sent_{0}, cutAfter_{-1};
    std::thread thread_;
};
