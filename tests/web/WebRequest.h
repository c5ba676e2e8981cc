#pragma once
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QSslSocket>
#include <algorithm>
#include <memory>
#include <vector>

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    qint64 ms = 0; // from the request to the whole answer
};

// One request on a connection of its own; raw, so nothing is cleaned up on the way.
inline Reply request(quint16 port, const QByteArray &path, const QByteArray &extra = {}, bool tls = false)
{
    QElapsedTimer t;
    t.start();
    const auto s = std::make_unique<QSslSocket>();
    s->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls)
        s->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        s->connectToHost(QHostAddress::LocalHost, port);
    s->write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
    QByteArray all;
    Reply r;
    WaitFor(
        [&] {
            all += s->readAll();
            const qsizetype end = all.indexOf("\r\n\r\n");
            if (end < 0)
                return s->state() == QAbstractSocket::UnconnectedState;
            r.head = all.left(end);
            const qsizetype at = r.head.toLower().indexOf("content-length:");
            const qsizetype length =
                at < 0 ? 0 : r.head.mid(at + 15).split('\r').first().trimmed().toLongLong();
            return all.size() >= end + 4 + length || s->state() == QAbstractSocket::UnconnectedState;
        },
        20000);
    r.ms = t.elapsed();
    if (r.head.isEmpty())
        return r;
    r.status = r.head.mid(9, 3).toInt();
    r.body = all.mid(all.indexOf("\r\n\r\n") + 4);
    return r;
}

// n idle connections to port, and how many of them are still open.
struct IdleClients {
    IdleClients(quint16 port, int n)
    {
        for (int i = 0; i < n; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, port);
        }
    }
    long open() const
    {
        return std::count_if(sockets.begin(), sockets.end(),
                             [](const auto &c) { return c->state() == QAbstractSocket::ConnectedState; });
    }
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
};
