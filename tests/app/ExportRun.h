// The command line's exports as real processes beside the data folder.
#pragma once

#include "support/TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

class ExportRun : public DataDirTest
{
protected:
    // Runs the program with args and --data-dir (in env unless empty); its exit
    // code (-1 when it crashed); stdout and stderr in out and err.
    int run(const QStringList &args, const QProcessEnvironment &env = {})
    {
        QProcess p;
        if (!env.isEmpty())
            p.setProcessEnvironment(env);
        p.start(TANKMON_BINARY_DIR "/Tankmon", args + QStringList{"--data-dir", dataDir()});
        EXPECT_TRUE(p.waitForFinished(60000));
        out = p.readAllStandardOutput();
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // Every file of the data folder with its bytes.
    QMap<QString, QByteArray> folder() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(dataDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path] = readBytes(path);
        }
        return files;
    }
    QString dropped(const QString &name) const { return drop.filePath(name); }

    QTemporaryDir drop; // where a (careless or hostile) user points the export
    QByteArray out;
    QString err;
};
