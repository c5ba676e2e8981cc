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

// Where each answer in bytes ends (after its body), as far as they are whole.
inline std::vector<qsizetype> answerEnds(const QByteArray &all, bool headOnly = false)
{
    std::vector<qsizetype> ends;
    for (qsizetype at = 0;;) {
        const qsizetype end = all.indexOf("\r\n\r\n", at);
        if (end < 0)
            return ends;
        const QByteArray head = all.mid(at, end - at).toLower();
        const qsizetype cl = head.indexOf("content-length:");
        const qsizetype length =
            cl < 0 || headOnly ? 0 : head.mid(cl + 15).split('\r').first().trimmed().toLongLong();
        if (all.size() < end + 4 + length)
            return ends;
        at = end + 4 + length;
        ends.push_back(at);
    }
}

// Raw request bytes on a connection of their own from address from; the
// first answer. Raw, so nothing is cleaned up on the way.
inline Reply exchange(quint16 port, const QByteArray &raw, bool tls = false,
                      const QHostAddress &from = QHostAddress::LocalHost)
{
    QElapsedTimer t;
    t.start();
    const auto s = std::make_unique<QSslSocket>();
    s->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (from != QHostAddress::LocalHost)
        s->bind(from);
    if (tls)
        s->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        s->connectToHost(QHostAddress::LocalHost, port);
    s->write(raw);
    QByteArray all;
    const bool head = raw.startsWith("HEAD ");
    WaitFor(
        [&] {
            all += s->readAll();
            return !answerEnds(all, head).empty() || s->state() == QAbstractSocket::UnconnectedState;
        },
        20000);
    Reply r;
    r.ms = t.elapsed();
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0)
        return r;
    r.head = all.left(end);
    r.status = r.head.mid(9, 3).toInt();
    r.body = all.mid(end + 4);
    return r;
}

// One GET with extra headers after Host.
inline Reply request(quint16 port, const QByteArray &path, const QByteArray &extra = {}, bool tls = false,
                     const QHostAddress &from = QHostAddress::LocalHost)
{
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n", tls, from);
}

// n idle connections to port from address from, and how many of them are still open.
struct IdleClients {
    IdleClients(quint16 port, int n, const QHostAddress &from = QHostAddress::LocalHost)
    {
        for (int i = 0; i < n; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            if (from != QHostAddress::LocalHost)
                sockets.back()->bind(from);
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
