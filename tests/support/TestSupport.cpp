#include "TestSupport.h"

#include "core/Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>

QDateTime At(int y, int mo, int d, int h, int mi, int s)
{
    return Clock::Naive(QDate(y, mo, d), QTime(h, mi, s));
}

void DataDirTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    config.dataFolder = tmp_.path() + QLatin1Char('/');
}

void DataDirTest::copyToFreshFolder()
{
    const QString fresh = tmp_.path() + QStringLiteral("/fresh%1/").arg(++copies_);
    ASSERT_TRUE(QDir().mkpath(fresh) && QFile::copy(iniPath(), fresh + QStringLiteral("Tankmon.ini")));
    config.dataFolder = fresh;
}

QByteArray DataDirTest::readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

QString RightsOf(const QString &path)
{
    struct stat st {
    }, folder{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("absent");
    const bool folderGroup =
        ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0 &&
        folder.st_gid == st.st_gid;
    return QString::number(st.st_mode & 07777, 8) + (folderGroup ? " folder's group" : " other group");
}

ReplaceCounter::ReplaceCounter(const QString &folder)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
        inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_MODIFY);
}

int ReplaceCounter::count(const QString &fileName, quint32 mask)
{
    alignas(struct inotify_event) char buf[8192];
    for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;)
        for (ssize_t i = 0; i < n;) {
            const auto *ev = reinterpret_cast<const struct inotify_event *>(buf + i);
            events_.append({ev->len ? QString::fromLocal8Bit(ev->name) : QString(), ev->mask});
            i += ssize_t(sizeof(struct inotify_event)) + ev->len;
        }
    return int(std::count_if(events_.begin(), events_.end(),
                             [&](const auto &e) { return e.first == fileName && (e.second & mask); }));
}

void DieWithTest(QProcess &p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

bool StartHeadless(QProcess &p, const QString &program, const QString &folder, QByteArray &out,
                   const QByteArray &marker, const QStringList &wrapper)
{
    p.setProcessChannelMode(QProcess::MergedChannels);
    DieWithTest(p);
    QStringList args = wrapper;
    args << program << "--headless"
         << "--data-dir" << folder;
    p.start(args.takeFirst(), args);
    return p.waitForStarted(10000) && WaitOutput(p, out, marker);
}

bool Signal(const QProcess &p, int sig)
{
    const qint64 pid = p.processId();
    return pid > 0 && ::kill(pid_t(pid), sig) == 0;
}

bool WaitOutput(QProcess &p, QByteArray &out, const QByteArray &marker, int timeoutMs)
{
    const auto seen = [&] { return (out += p.readAll()).contains(marker); };
    return WaitFor([&] { return seen() || p.state() == QProcess::NotRunning; }, timeoutMs) && seen();
}

quint16 FreeTcpPort()
{
    // Below the system's range for outgoing connections (32768 on), so no
    // connection takes one by chance; each one reserved by a lock file that
    // every test process respects, held for this process's later tests.
    constexpr int kFirst = 20000, kCount = 12000;
    static QMutex mutex;
    static std::deque<int> held;
    static quint32 next = quint32(::getpid()) * 7919u;
    const QMutexLocker lock(&mutex);
    const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/tankmon-test-ports";
    ::mkdir(folder.constData(), 0777);
    for (int tries = 0; tries < kCount; ++tries) {
        const quint16 port = quint16(kFirst + int(next++ % kCount));
        const int fd =
            ::open((folder + '/' + QByteArray::number(port)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            continue;
        QTcpServer probe; // and nothing else listens there
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !probe.listen(QHostAddress::LocalHost, port)) {
            ::close(fd);
            continue;
        }
        held.push_back(fd);
        if (held.size() > 64) { // long done with by now
            ::close(held.front());
            held.pop_front();
        }
        return port;
    }
    return 0;
}

ThreadPeer::ThreadPeer(quint16 port, const QByteArray &bytes, qint64 limit)
    : bytes_(bytes), fd_(::socket(AF_INET, SOCK_STREAM, 0)),
      thread_([this, port, limit] { run(port, limit); })
{
}

ThreadPeer::~ThreadPeer()
{
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
}

void ThreadPeer::run(quint16 port, qint64 limit)
{
    sockaddr_in a{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    char greeting[8];
    // The listener may be back only shortly after the last cut.
    while (!stop_ && ::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        std::this_thread::yield();
    // The greeting is read first: closing over unread data would reset the connection.
    if (::recv(fd_, greeting, sizeof greeting, MSG_WAITALL) == sizeof greeting) {
        QElapsedTimer t;
        t.start();
        while (!stop_ && sent_ < limit) {
            const qsizetype at = sent_ % bytes_.size();
            const ssize_t n =
                ::send(fd_, bytes_.constData() + at,
                       size_t(std::min<qint64>(bytes_.size() - at, limit - sent_)), MSG_NOSIGNAL);
            if (n <= 0) {
                cutAfter_ = t.elapsed();
                break;
            }
            sent_ += n;
        }
    }
    ::shutdown(fd_, SHUT_RDWR); // the program sees the close now
    finished_ = true;
}
