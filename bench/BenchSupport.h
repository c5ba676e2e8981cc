#pragma once
// What the benchmarks share: a device telegram, the median of runs, a
// blocking loopback connection and a port to listen on.
#include <QByteArray>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// A valid 19-byte telegram of device `sn` (type 7), level in BCD, temperature byte.
inline QByteArray BenchTelegram(int sn, int level, int temp)
{
    QByteArray b(19, '\0');
    const int v[17] = {0x02,
                       0x11,
                       7,
                       sn >> 8,
                       sn & 255,
                       temp,
                       0x20,
                       (level / 1000 % 10) * 16 + level / 100 % 10,
                       (level / 10 % 10) * 16 + level % 10,
                       2,
                       3,
                       20000 >> 8,
                       20000 & 255,
                       1500 >> 8,
                       1500 & 255,
                       0,
                       0};
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        b[i] = char(v[i]);
        if (i >= 1)
            sum += v[i];
    }
    b[17] = char(sum & 0xFF);
    b[18] = 0x03;
    return b;
}

// The middle of the runs (the upper one of an even count).
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A blocking socket connected to 127.0.0.1:port, tried for up to 10 s while
// the program under test starts listening.
inline int ConnectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 2000 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0; ++i)
        QThread::msleep(5);
    return fd;
}

// A port for the program under test to listen on: free on every address and
// below the system's range for outgoing connections (32768 on). A port from
// that range can be taken by any client socket while the program has it
// closed (its TCP link stops listening while a gateway is connected), and
// then it cannot listen again until that connection ends.
inline quint16 BenchListenPort()
{
    static unsigned next = unsigned(::getpid()) * 7919u;
    for (int tries = 0; tries < 12000; ++tries) {
        const quint16 port = quint16(20000 + next++ % 12000);
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        const bool free = s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        if (s >= 0)
            ::close(s);
        if (free)
            return port;
    }
    return 0;
}
