#pragma once
// The far ends of the MQTT tests: a mosquitto broker of the test's own and a
// mosquitto_sub that records what the broker passes on.
#include "support/TestSupport.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <unistd.h>

// A mosquitto broker of the test's own on a free loopback port; with users,
// only "tankmon" with the password given (default "right") gets in.
struct Broker {
    QTemporaryDir dir;
    QProcess proc;
    quint16 port = FreeTcpPort();
    bool persistent = false; // retained messages survive a stop (terminate) and a new start
    bool start(bool withUsers = false, const QString &password = QStringLiteral("right"))
    {
        // Started as root, mosquitto reads its files as the user "mosquitto".
        // Persistent, it also writes its database there on its way out.
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther |
                                              (persistent ? QFile::WriteOther : QFile::Permissions()));
        const QString users = dir.filePath("users");
        QFile conf(dir.filePath("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("listener " + QByteArray::number(port) + " 127.0.0.1\npersistence " +
                   (persistent ? "true\npersistence_location " + dir.path().toUtf8() + "/" : "false") +
                   "\nlog_dest stderr\n" + (::geteuid() == 0 ? "user root\n" : "") +
                   "log_type all\nallow_anonymous " +
                   (withUsers ? "false\npassword_file " + users.toUtf8() : "true"));
        conf.close();
        if (withUsers && QProcess::execute("mosquitto_passwd", {"-c", "-b", users, "tankmon", password}) != 0)
            return false;
        proc.setProcessChannelMode(QProcess::MergedChannels);
        DieWithTest(proc);
        proc.start("/usr/sbin/mosquitto", {"-c", conf.fileName()});
        EXPECT_TRUE(proc.waitForStarted()) << "mosquitto is missing: run tools/setup.sh";
        return WaitFor(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port);
                return s.waitForConnected(200);
            },
            10000);
    }
    ~Broker()
    {
        proc.kill();
        proc.waitForFinished();
    }
};

// Every message of the broker as mosquitto_sub sees it: the last payload per topic.
struct Subscriber {
    QProcess proc;
    QByteArray buffer;
    QMap<QString, QByteArray> last;
    explicit Subscriber(quint16 port)
    {
        DieWithTest(proc);
        proc.start("mosquitto_sub", {"-p", QString::number(port), "-t", "#", "-F", "%t\t%x"});
    }
    bool waitFor(const QString &topic, const std::function<bool(const QByteArray &)> &pred, int ms = 15000)
    {
        return WaitFor(
            [&] {
                buffer += proc.readAllStandardOutput();
                for (qsizetype nl; (nl = buffer.indexOf('\n')) >= 0; buffer.remove(0, nl + 1)) {
                    const QByteArray line = buffer.left(nl);
                    last[QString::fromUtf8(line.left(line.indexOf('\t')))] =
                        QByteArray::fromHex(line.mid(line.indexOf('\t') + 1));
                }
                return last.contains(topic) && pred(last[topic]);
            },
            ms);
    }
    ~Subscriber() { proc.kill(), proc.waitForFinished(); }
};
