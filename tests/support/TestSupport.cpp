#include "TestSupport.h"

#include "core/Clock.h"
#include "core/IniStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

QDateTime At(int y, int mo, int d, int h, int mi, int s)
{
    return Clock::Naive(QDate(y, mo, d), QTime(h, mi, s));
}

void DataDirTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    // A file replaced behind the store's back with an identical stamp would
    // otherwise not be noticed by the next test that reuses the name.
    IniStore::DropCache();
    config.dataFolder = tmp_.path() + QLatin1Char('/');
}

QByteArray DataDirTest::readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void DataDirTest::writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

bool WaitFor(const std::function<bool()> &pred, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

quint64 InodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

ReplaceCounter::ReplaceCounter(const QString &folder)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
        inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_MODIFY);
}

ReplaceCounter::~ReplaceCounter()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int ReplaceCounter::replaces(const QString &fileName) { return count(fileName, IN_MOVED_TO); }
int ReplaceCounter::inPlaceWrites(const QString &fileName) { return count(fileName, IN_MODIFY); }

int ReplaceCounter::count(const QString &fileName, quint32 mask)
{
    alignas(struct inotify_event) char buf[8192];
    for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;)
        for (ssize_t i = 0; i < n;) {
            const auto *ev = reinterpret_cast<const struct inotify_event *>(buf + i);
            events_.append({ev->len ? QString::fromLocal8Bit(ev->name) : QString(), ev->mask});
            i += ssize_t(sizeof(struct inotify_event)) + ev->len;
        }
    int c = 0;
    for (const auto &e : events_)
        c += e.first == fileName && (e.second & mask);
    return c;
}

bool StartHeadless(QProcess &p, const QString &program, const QString &folder, QByteArray &out,
                   const QByteArray &marker, const QStringList &wrapper)
{
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = wrapper;
    args << program << "--headless" << "--data-dir" << folder;
    p.start(args.takeFirst(), args);
    return p.waitForStarted(10000) && WaitFor([&] {
               out += p.readAll();
               return out.contains(marker) || p.state() == QProcess::NotRunning;
           }, 20000) && out.contains(marker);
}

quint16 FreeTcpPort()
{
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
}
