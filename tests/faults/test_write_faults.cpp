// Disk faults at every step of a file replace and a tank-file append. This
// executable is linked with --wrap for write, fsync, close and rename, so the
// faults come from below the program's own code without any hook in it.
#include "support/TestSupport.h"

#include "core/IniStore.h"
#include "history/TankFile.h"

#include <QDir>
#include <cerrno>
#include <unistd.h>

namespace
{

enum class Fault { None, ShortWriteThenFull, WriteError, SyncError, CloseError, RenameError };
Fault g_fault = Fault::None;
int g_writtenFd = -1;

// Whether the call fails as fault f, when f is injected and applies to it.
bool fails(Fault f, bool applies, int error = EIO)
{
    if (g_fault != f || !applies)
        return false;
    errno = error;
    return true;
}

} // namespace

extern "C" {
ssize_t __real_write(int fd, const void *buf, size_t n);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_rename(const char *from, const char *to);

ssize_t __wrap_write(int fd, const void *buf, size_t n)
{
    if (fails(Fault::ShortWriteThenFull, g_writtenFd == fd, ENOSPC) || fails(Fault::WriteError, true))
        return -1;
    g_writtenFd = fd;
    return __real_write(fd, buf, g_fault == Fault::ShortWriteThenFull && n > 1 ? n / 2 : n);
}
int __wrap_fsync(int fd)
{
    return fails(Fault::SyncError, fd == g_writtenFd) ? -1 : __real_fsync(fd);
}
int __wrap_close(int fd)
{
    const int r = __real_close(fd);
    return fails(Fault::CloseError, fd == g_writtenFd) ? -1 : r;
}
int __wrap_rename(const char *from, const char *to)
{
    return fails(Fault::RenameError, true) ? -1 : __real_rename(from, to);
}
}

namespace
{

class WriteFaults : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        settings.setFailureReport(
            [this](const QString &path, const QString &why) { reports << path + " | " + why; });
    }
    void TearDown() override
    {
        g_fault = Fault::None;
        DataDirTest::TearDown();
    }
    QStringList reports;
};

} // namespace

TEST_F(WriteFaults, SettingsFileIsReplacedOnlyWhenTheNewContentIsOnDisk)
{
    const QByteArray before = "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\n";
    for (const Fault f : {Fault::ShortWriteThenFull, Fault::WriteError, Fault::SyncError, Fault::CloseError,
                          Fault::RenameError}) {
        SCOPED_TRACE(int(f)); // in the order of the enum
        const QString path = dataDir() + QString::number(int(f)) + ".ini";
        writeBytes(path, before);
        reports.clear();
        g_writtenFd = -1;
        g_fault = f;
        EXPECT_FALSE(settings.store().write(path, "Ger\u00e4te", "Anzahl", QStringLiteral("2")));
        {
            IniBatch batch(settings.store()); // the registry's way: many keys, one replace
            settings.store().write(path, "Ger\u00e4t2", "SN", QStringLiteral("815"));
            EXPECT_FALSE(batch.commit());
        }
        g_fault = Fault::None;
        EXPECT_EQ(readBytes(path), before);
        EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::Hidden).filter(".ini."), QStringList())
            << "no temporary left";
        ASSERT_EQ(reports.size(), 2);
        EXPECT_TRUE(reports[0].startsWith(path + " | ") &&
                    reports[0].size() > path.size() + 3) // with the reason
            << reports[0].toStdString();
        // The values stay pending in the store and reach the disk with the next write.
        EXPECT_EQ(settings.store().read(path, "Ger\u00e4te", "Anzahl"), "2");
        EXPECT_TRUE(settings.store().write(path, "Common", "Log", QString()));
        const QByteArray after = readBytes(path);
        EXPECT_TRUE(after.contains("Anzahl=2") && after.contains("SN=815") && after.contains("SN=4711"));
    }
}

// A failed append may leave part of the line behind; the next append must
// not turn that into data.
TEST_F(WriteFaults, TankFileAppendFailureLeavesNoPartOfTheLineAsData)
{
    const QString path = dataDir() + "Tank1.csv";
    const QByteArray first = "04.12.2026 00:00:00,201,Liter,4\r\n";
    const QByteArray next = "05.12.2026 00:00:00,1234,Liter,20\r\n";
    for (const Fault f : {Fault::ShortWriteThenFull, Fault::SyncError}) {
        writeBytes(path, first);
        g_writtenFd = -1;
        g_fault = f;
        QString error;
        EXPECT_EQ(TankFile::Append(path, next, &error), TankFile::AppendResult::WriteFailed);
        EXPECT_FALSE(error.isEmpty());
        g_fault = Fault::None;
        EXPECT_EQ(TankFile::Append(path, next, &error), TankFile::AppendResult::Written);
        const QByteArray after = readBytes(path);
        EXPECT_TRUE(after == first + next || after == first + next + next) << after.constData();
    }
}
