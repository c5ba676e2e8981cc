#pragma once
// Shared pieces of the link tests: telegrams built by hand, a recording
// stand-in for EvalTelegramm, and a socat pseudo-terminal pair.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <memory>

// A well-formed 19-byte telegram, checksum computed here (not by the code under test).
QByteArray MakeTelegram(int sn, int level, int temperature = 20, int type = 9);
// A TCP port nobody listens on right now.
quint16 FreeTcpPort();
// The hex line a TCP peer sends for bytes (upper case, no LF).
QByteArray HexLine(const QByteArray &bytes);

// Records what reached EvalTelegramm and answers as the evaluation would:
// accepted when start, kind, type, checksum and end byte are right.
struct RecordingSink {
    struct Call {
        QByteArray telegram;
        QString source;
        bool accepted;
    };
    QList<Call> calls;
    bool operator()(const QByteArray &t, const QString &s);
    static bool Valid(const QByteArray &t);
    int accepted() const;
};

// "socat -d -d pty,raw,echo=0,link=<dir>/dev pty,raw,echo=0,link=<dir>/peer".
class PtyPair
{
public:
    explicit PtyPair(const QString &dir);
    ~PtyPair();
    bool start();
    void stop();
    QString device() const { return dir_ + QStringLiteral("/dev"); }
    QString peer() const { return dir_ + QStringLiteral("/peer"); }
    // Writes from the device side of the line (the measuring bus).
    bool write(const QByteArray &bytes);

private:
    QString dir_;
    std::unique_ptr<QProcess> socat_;
    int fd_ = -1;
};
