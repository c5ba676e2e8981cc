#pragma once
#include <QLockFile>
#include <QObject>
#include <QTimer>

// One running instance per data folder: a lock file beside the settings
// file. A lock left by a crashed process is taken over.
class InstanceLock : public QObject
{
    Q_OBJECT
public:
    explicit InstanceLock(const QString &path);
    bool tryLock();
    // Keeps trying in the background until the holder has ended.
    void lockWhenFree();
    bool isLocked() const { return file_.isLocked(); }
    // The last tryLock failed because another process holds the lock, not
    // because the folder refused the lock file.
    bool heldByOther() const { return file_.error() == QLockFile::LockFailedError; }

private:
    QLockFile file_;
    QTimer retry_;
};
