#include "TestSupport.h"

#include "core/Clock.h"
#include "core/IniStore.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/UiServices.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

void ResetProcessState()
{
    State() = RunState{};
    IniStore::DropCache();
    Paths::ResetDataFolderCache();
    Clock::SetOverride({});
    SetUi(nullptr);
}

void DataDirTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    ResetProcessState();
    Paths::SetExeBaseName(QStringLiteral("Tankmon"));
    Paths::SetDataDirOverride(tmp_.path());
}

void DataDirTest::TearDown()
{
    ResetProcessState();
    Paths::SetDataDirOverride(QString());
}

QString DataDirTest::dataDir() const { return Paths::DataFilePath(QString()); }
QString DataDirTest::iniPath() const { return dataDir() + QStringLiteral("Tankmon.ini"); }

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
