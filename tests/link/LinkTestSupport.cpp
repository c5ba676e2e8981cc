#include "LinkTestSupport.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTcpServer>
#include <fcntl.h>
#include <unistd.h>

QByteArray MakeTelegram(int sn, int level, int temperature, int type)
{
    const int bcd = (level / 1000 % 10) << 12 | (level / 100 % 10) << 8 | (level / 10 % 10) << 4 | level % 10;
    QByteArray t;
    t += char(2);
    t += char(0x11);
    t += char(type);
    t += char(sn >> 8);
    t += char(sn & 0xFF);
    t += char(temperature + 128);
    t += char(0);
    t += char(bcd >> 8);
    t += char(bcd & 0xFF);
    t += QByteArray::fromHex("0001138807d00000");
    int sum = 0;
    for (int i = 1; i < t.size(); ++i)
        sum += quint8(t[i]);
    t += char(sum & 0xFF);
    t += char(3);
    return t;
}

quint16 FreeTcpPort()
{
    QTcpServer s;
    s.listen(QHostAddress::Any, 0);
    return s.serverPort();
}

QByteArray HexLine(const QByteArray &bytes)
{
    return bytes.toHex().toUpper();
}

bool RecordingSink::Valid(const QByteArray &t)
{
    if (t.size() != 19 || t[0] != 2 || t[1] != 0x11 || quint8(t[2]) < 2 || t[18] != 3)
        return false;
    int sum = 0;
    for (int i = 1; i <= 16; ++i)
        sum += quint8(t[i]);
    return quint8(t[17]) == (sum & 0xFF);
}

bool RecordingSink::operator()(const QByteArray &t, const QString &s)
{
    const bool ok = Valid(t);
    calls.append({t, s, ok});
    return ok;
}

int RecordingSink::accepted() const
{
    int n = 0;
    for (const Call &c : calls)
        n += c.accepted;
    return n;
}

PtyPair::PtyPair(const QString &dir) : dir_(dir) {}

PtyPair::~PtyPair()
{
    stop();
}

bool PtyPair::start()
{
    socat_ = std::make_unique<QProcess>();
    socat_->start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("-d"),
                                            QStringLiteral("pty,raw,echo=0,link=") + device(),
                                            QStringLiteral("pty,raw,echo=0,link=") + peer()});
    if (!socat_->waitForStarted(5000))
        return false;
    if (!WaitFor([this] { return QFile::exists(device()) && QFile::exists(peer()); }, 10000))
        return false;
    fd_ = ::open(QFile::encodeName(peer()).constData(), O_RDWR | O_NOCTTY);
    return fd_ >= 0;
}

void PtyPair::stop()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (socat_) {
        socat_->kill();
        socat_->waitForFinished(5000);
        socat_.reset();
    }
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
