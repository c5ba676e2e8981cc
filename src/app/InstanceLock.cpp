#include "InstanceLock.h"

#include "core/Paths.h"

#include <QFileInfo>

InstanceLock::InstanceLock(const QString &path) : file_(path)
{
    file_.setStaleLockTime(0); // only a dead holder makes a lock stale
    retry_.setInterval(500);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (tryLock())
            retry_.stop();
    });
}

bool InstanceLock::tryLock()
{
    if (file_.isLocked())
        return true;
    Paths::EnsureFolder(QFileInfo(file_.fileName()).absolutePath());
    return file_.tryLock(0);
}

void InstanceLock::lockWhenFree()
{
    retry_.start();
}
