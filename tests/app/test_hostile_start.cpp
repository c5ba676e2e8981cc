// The real program on a bad day: a full disk, a settings file it cannot read
// or that is a FIFO, leftovers of a killed save. Nothing the user had is lost.
#include "support/Telegrams.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A gateway sending valid telegram lines as fast as TCP takes them, on its
// own thread, until the program cuts the connection.
class Flood {
public:
    explicit Flood(quint16 port)
    {
        for (int i = 0; i < 1000; ++i)
            block_ += MakeTelegram(7000 + i % 5, i % 10000).toHex() + '\n';
        thread_ = std::thread([this, port] { run(port); });
    }
    ~Flood()
    {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR); // a send blocked on a deaf peer returns
        thread_.join();
    }
    qint64 bytesSent() const { return sent_; }
    // Milliseconds from the greeting to the cut; -1 while connected.
    qint64 cutAfterMs() const { return cutAfter_; }

private:
    void run(quint16 port)
    {
        const int fd = fd_;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        char greeting[8];
        // The listener may be back only shortly after the last cut.
        while (!stop_ && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            std::this_thread::yield();
        if (::recv(fd, greeting, sizeof greeting, MSG_WAITALL) == 8) {
            QElapsedTimer t;
            t.start();
            while (!stop_) {
                const ssize_t n = ::send(fd, block_.constData(), size_t(block_.size()), MSG_NOSIGNAL);
                if (n < 0) {
                    cutAfter_ = t.elapsed();
                    break;
                }
                sent_ += n;
            }
        }
        ::close(fd);
    }
    QByteArray block_;
    const int fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> sent_{0}, cutAfter_{-1};
};

class HostileStart : public DataDirTest {
protected:
    void TearDown() override
    {
        for (QProcess *p : {&run})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        if (!mounted.isEmpty())
            ::umount2(QFile::encodeName(mounted).constData(), MNT_DETACH);

    }
    // Starts the program headless on folder, optionally through a wrapper
    // (another user), and waits until its output holds marker.
    bool start(QProcess &p, const QString &folder, const QByteArray &marker, const QStringList &wrapper = {})
    {
        return StartHeadless(p, program, folder, output, marker, wrapper);
    }
    bool waitOutput(QProcess &p, const QByteArray &marker, int ms = 20000)
    {
        return WaitFor([&] {
            output += p.readAll();
            return output.contains(marker) || p.state() == QProcess::NotRunning;
        }, ms) && output.contains(marker);
    }
    bool terminate(QProcess &p)
    {
        ::kill(pid_t(p.processId()), SIGTERM);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit;
    }

    const QString program = TANKMON_BINARY_DIR "/Tankmon";
    QProcess run;
    QByteArray output;
    QString mounted;
};

} // namespace

// On a full disk the registration of a second device must leave the settings
// file as it was (no empty file) and say so; a power cut then loses nothing.
TEST_F(HostileStart, FullDiskKeepsTheSettingsFileAndSaysSo)
{
    const QString disk = dataDir() + "disk/";
    QDir().mkpath(disk);
    if (::getuid() != 0 || ::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a 64 KB tmpfs needs root; the write-fault tests cover the rest";
    mounted = disk;
    const quint16 port = FreeTcpPort();
    writeBytes(disk + "Tankmon.ini", "[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                                         "\r\n[Common]\r\nActiveNet=1\r\n[Logfile]\r\nAktiv=0\r\n"
                                         "[Log INI-File]\r\nAktiv=0\r\n");
    ASSERT_TRUE(start(run, disk, "[ready]")) << output.constData();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitFor([&] { return peer.bytesAvailable() >= 8; }));
    peer.write(MakeTelegram(101, 500).toHex() + '\n');
    ASSERT_TRUE(WaitFor([&] { return readBytes(disk + "Tankmon.ini").contains("SN=101"); }));
    const QByteArray saved = readBytes(disk + "Tankmon.ini");

    QFile filler(disk + "filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
    }
    filler.close();
    peer.write(MakeTelegram(202, 600).toHex() + '\n');
    ASSERT_TRUE(waitOutput(run, "Error writing the INI file")) << output.constData();
    EXPECT_TRUE(output.contains(QFile::encodeName(disk + "Tankmon.ini")));
    EXPECT_EQ(readBytes(disk + "Tankmon.ini"), saved);

    // A power cut, space again, a new start: the registry and language are there.
    run.kill();
    run.waitForFinished(5000);
    QFile::remove(disk + "filler");
    output.clear();
    ASSERT_TRUE(start(run, disk, "[ready]")) << output.constData();
    EXPECT_TRUE(terminate(run));
    const QByteArray after = readBytes(disk + "Tankmon.ini");
    EXPECT_TRUE(after.contains("SN=101") && after.contains("LngId=2")) << after.constData();
}

// Unreadable (mode 0200) or a FIFO: read as nothing, never written over, and
// the program neither hangs nor ignores SIGTERM.
TEST_F(HostileStart, SettingsFileThatCannotBeReadIsLeftAsItIs)
{
    const QByteArray content = "[LngPtnr]\r\nLngId=0\r\n[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\n";
    writeBytes(iniPath(), content);
    ASSERT_EQ(::chmod(QFile::encodeName(iniPath()).constData(), 0200), 0);
    QStringList asOtherUser;
    if (::getuid() == 0) {
        // Root reads any file: run the program as nobody, owner of the folder.
        ASSERT_EQ(::chown(QFile::encodeName(dataDir()).constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(iniPath()).constData(), 65534, 65534), 0);
        asOtherUser = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    ASSERT_TRUE(start(run, dataDir(), "[ready]", asOtherUser)) << output.constData();
    EXPECT_TRUE(output.contains(QFile::encodeName(iniPath()))) << output.constData(); // the message names it
    EXPECT_TRUE(terminate(run));
    QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readBytes(iniPath()), content);
}

TEST_F(HostileStart, SettingsFileThatIsAFifoNeitherBlocksNorIsReplaced)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
    ASSERT_TRUE(start(run, dataDir(), "[ready]")) << output.constData();
    EXPECT_TRUE(terminate(run));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(iniPath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(HostileStart, TemporariesOfAKilledSaveAreRemovedAtStart)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=1\r\n");
    writeBytes(iniPath() + ".Ab3dE9", "[LngPtnr]\r\nLngId=1\r\n");
    writeBytes(iniPath() + ".keep", "mine");
    ASSERT_TRUE(start(run, dataDir(), "[ready]")) << output.constData();
    EXPECT_FALSE(QFileInfo::exists(iniPath() + ".Ab3dE9"));
    EXPECT_TRUE(QFileInfo::exists(iniPath() + ".keep"));
    EXPECT_TRUE(terminate(run));
}

// A flood of valid lines must not make the program deaf: the connection-time
// cut (at the sixth one-second tick) and SIGTERM stay at most a second late.
TEST_F(HostileStart, LineFloodKeepsTheCutAndSigtermPrompt)
{
    const quint16 port = FreeTcpPort();
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                              "\r\n[Common]\r\nActiveNet=1\r\n");
    ASSERT_TRUE(start(run, dataDir(), "[ready]")) << output.constData();
    {
        Flood flood(port);
        ASSERT_TRUE(WaitFor([&] { return flood.cutAfterMs() >= 0; }, 20000)) << "never cut";
        EXPECT_GT(flood.cutAfterMs(), 4900);
        EXPECT_LE(flood.cutAfterMs(), 7000);
    }
    Flood flood(port);
    ASSERT_TRUE(WaitFor([&] { return flood.bytesSent() > 1 << 20; }, 20000));
    QElapsedTimer t;
    t.start();
    ::kill(pid_t(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_LE(t.elapsed(), 1000);
    EXPECT_EQ(run.exitCode(), 0);
}

// A data folder the program may not write to is no second instance: the
// message says which folder and why, and the program ends.
TEST_F(HostileStart, ReadOnlyDataFolderIsNamedNotTakenForASecondInstance)
{
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=2\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(dataDir()).constData(), 0555), 0);
    // Root writes anywhere: run as nobody then.
    const QStringList asOtherUser = ::getuid() == 0 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534",
                                                                  "--clear-groups"}
                                                    : QStringList{};
    start(run, dataDir(), "Error writing the INI file", asOtherUser);
    // It may have ended already, and waitForFinished says false then.
    EXPECT_TRUE(run.state() == QProcess::NotRunning || run.waitForFinished(10000));
    output += run.readAll();
    ::chmod(QFile::encodeName(dataDir()).constData(), 0700);
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_FALSE(output.contains("more than once")) << output.constData();
    EXPECT_TRUE(output.contains(QFile::encodeName(QDir::cleanPath(dataDir())))) << output.constData();
}
