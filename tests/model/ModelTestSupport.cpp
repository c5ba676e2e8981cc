#include "ModelTestSupport.h"

#include <QFile>
#include <sys/inotify.h>
#include <unistd.h>

QByteArray TelegramBytes::bytes() const
{
    QByteArray b(19, '\0');
    auto put = [&b](int pos, int v) { b[pos - 1] = char(quint8(v)); };
    put(1, start);
    put(2, kind);
    put(3, type);
    put(4, sn >> 8);
    put(5, sn);
    put(6, temp);
    put(7, status);
    put(8, levelHigh);
    put(9, levelLow);
    put(10, scale);
    put(11, shape);
    put(12, capacity >> 8);
    put(13, capacity);
    put(14, height >> 8);
    put(15, height);
    put(16, spare1);
    put(17, spare2);
    int sum = 0;
    for (int i = 1; i < 17; ++i)
        sum += quint8(b[i]);
    put(18, checksum ? *checksum : sum & 0xFF);
    put(19, end);
    if (length < 19)
        b.truncate(length);
    while (b.size() < length)
        b.append('\x03');
    return b;
}

TelegramBytes &TelegramBytes::level(int v)
{
    const int d[4] = {v / 1000 % 10, v / 100 % 10, v / 10 % 10, v % 10};
    levelHigh = d[0] * 16 + d[1];
    levelLow = d[2] * 16 + d[3];
    return *this;
}

ReplaceCounter::ReplaceCounter(const QString &folder)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
        inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_MODIFY);
}

ReplaceCounter::~ReplaceCounter()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ReplaceCounter::drain()
{
    alignas(struct inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n;) {
            const auto *ev = reinterpret_cast<const struct inotify_event *>(buf + i);
            events_.append({ev->len ? QString::fromLocal8Bit(ev->name) : QString(), ev->mask});
            i += ssize_t(sizeof(struct inotify_event)) + ev->len;
        }
    }
}

int ReplaceCounter::replaces(const QString &fileName)
{
    drain();
    int c = 0;
    for (const auto &e : events_)
        c += e.first == fileName && (e.second & IN_MOVED_TO);
    return c;
}

int ReplaceCounter::inPlaceWrites(const QString &fileName)
{
    drain();
    int c = 0;
    for (const auto &e : events_)
        c += e.first == fileName && (e.second & IN_MODIFY);
    return c;
}
