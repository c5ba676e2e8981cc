#pragma once
// The real program as a process on the test's data folder (the export
// commands). Header only: the test executables know where the program is.
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QMap>
#include <QProcess>

class ProgramRunTest : public DataDirTest
{
protected:
    // Runs the program with args and --data-dir; its exit code (-1 when it
    // crashed), stderr in err.
    int run(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(TANKMON_BINARY_DIR "/Tankmon", args + QStringList{"--data-dir", dataDir()});
        EXPECT_TRUE(p.waitForFinished(60000));
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // Every file of the data folder with its bytes.
    QMap<QString, QByteArray> folder() const
    {
        QMap<QString, QByteArray> files;
        for (QDirIterator it(dataDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            files[path] = readBytes(path);
        }
        return files;
    }

    QTemporaryDir out; // where the exports go
    QString err;
};
