#include "WebListener.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <memory>

WebListener::WebListener(QObject *httpServer, std::optional<QSslConfiguration> tls, int idleMs,
                         QObject *parent)
    : QTcpServer(parent), httpServer_(httpServer), tls_(std::move(tls)), idleMs_(idleMs)
{
    // Room for a burst of browsers and scrapers; the kernel's default queue
    // of 50 would drop the rest and make them retry only after a second.
    setListenBacklogSize(kMaxConnections);
}

void WebListener::incomingConnection(qintptr handle)
{
    QTcpSocket *socket = tls_ ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    if (open_ >= kMaxConnections) {
        socket->abort();
        delete socket;
        return;
    }
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] { --open_; });
    guard(socket);
    if (!tls_) {
        addPendingConnection(socket);
        return;
    }
    auto *ssl = static_cast<QSslSocket *>(socket);
    ssl->setSslConfiguration(*tls_);
    // Until the handshake is done the socket is ours: a failed one is
    // deleted here, a finished one goes to the server.
    const auto failed = [ssl] {
        if (!ssl->isEncrypted())
            ssl->deleteLater();
    };
    connect(ssl, &QSslSocket::encrypted, this, [this, ssl] { addPendingConnection(ssl); });
    connect(ssl, &QAbstractSocket::disconnected, this, failed);
    connect(ssl, &QAbstractSocket::errorOccurred, this, failed);
    ssl->startServerEncryption();
}

void WebListener::guard(QTcpSocket *socket)
{
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleMs_);
    connect(idle, &QTimer::timeout, socket, [socket] {
        socket->abort();
        // Not yet (or no longer) with the server: nobody else deletes it.
        socket->deleteLater();
    });
    idle->start();
    connect(socket, &QIODevice::bytesWritten, idle, qOverload<>(&QTimer::start));
    if (auto *ssl = qobject_cast<QSslSocket *>(socket))
        connect(ssl, &QSslSocket::encryptedBytesWritten, idle, qOverload<>(&QTimer::start));

    // Bytes since the end of the last request's headers; tail keeps the last
    // three so an end split over two reads is found.
    struct Count {
        qsizetype since = 0;
        QByteArray tail;
        bool refused = false;
    };
    auto count = std::make_shared<Count>();
    // Connected before the server's own slot, so it runs first.
    connect(socket, &QIODevice::readyRead, this, [this, socket, idle, count] {
        idle->start();
        if (count->refused)
            return;
        const QByteArray fresh = socket->peek(socket->bytesAvailable());
        const QByteArray scan = count->tail + fresh;
        // Bytes of the current request before this scan (the tail was counted already).
        qsizetype carried = std::max<qsizetype>(0, count->since - count->tail.size());
        qsizetype start = 0;
        bool tooLong = false;
        for (qsizetype at; (at = scan.indexOf("\r\n\r\n", start)) >= 0; start = at + 4) {
            tooLong = tooLong || carried + (at + 4 - start) > kMaxHeaderBytes;
            carried = 0;
        }
        count->since = carried + (scan.size() - start);
        count->tail = scan.right(3);
        if (!tooLong && count->since <= kMaxHeaderBytes)
            return;
        count->refused = true;
        // The parser never sees more of it; the answer goes out, then the
        // connection closes.
        disconnect(socket, &QIODevice::readyRead, httpServer_, nullptr);
        socket->write("HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: 0\r\n"
                      "Connection: close\r\n\r\n");
        socket->disconnectFromHost();
    });
}
