#include "WebListener.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>
#include <memory>

namespace
{
// A whole answer of a refusal; the connection closes after it and the
// parser never sees more of it.
void refuse(QTcpSocket *socket, QObject *httpServer, int status)
{
    QObject::disconnect(socket, &QIODevice::readyRead, httpServer, nullptr);
    const char *line = status == 400   ? "400 Bad Request"
                       : status == 408 ? "408 Request Timeout"
                       : status == 413 ? "413 Content Too Large"
                                       : "431 Request Header Fields Too Large";
    socket->write(QByteArray("HTTP/1.1 ") + line + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
}
} // namespace

WebListener::WebListener(QObject *httpServer, std::optional<QSslConfiguration> tls, int idleMs,
                         QObject *parent, int headMs)
    : QTcpServer(parent), httpServer_(httpServer), tls_(std::move(tls)), idleMs_(idleMs), headMs_(headMs)
{
    // Room for a burst of browsers and scrapers; the kernel's default queue
    // of 50 would drop the rest and make them retry only after a second.
    setListenBacklogSize(kMaxConnections);
}

int WebListener::headProblem(const QByteArray &head)
{
    int lengths = 0;
    bool body = false;
    bool first = true;
    for (const QByteArray &line : head.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.isEmpty() || std::exchange(first, false))
            continue; // blank lines before the request line, the request line itself
        const qsizetype colon = l.indexOf(':');
        // A name with white space in it (or none) could be read as another
        // header by whoever stands between client and server.
        if (colon <= 0 || l.left(colon).contains(' ') || l.left(colon).contains('\t') || l.front() == ' ' ||
            l.front() == '\t')
            return 400;
        const QByteArray name = l.left(colon).toLower();
        const QByteArray value = l.mid(colon + 1).trimmed();
        if (name == "transfer-encoding") {
            body = true;
        } else if (name == "content-length") {
            ++lengths;
            if (value.isEmpty() || value.size() > 18)
                return 400;
            for (const char c : value)
                if (c < '0' || c > '9')
                    return 400;
            body = body || value.toLongLong() > 0;
        }
    }
    if (lengths > 1)
        return 400;
    return body ? 413 : 0;
}

void WebListener::incomingConnection(qintptr handle)
{
    QTcpSocket *socket = tls_ ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    const QByteArray address = socket->peerAddress().toString().toLatin1();
    if (open_ >= kMaxConnections || perAddress_.value(address) >= kMaxPerAddress) {
        socket->abort();
        delete socket;
        return;
    }
    ++open_;
    ++perAddress_[address];
    connect(socket, &QObject::destroyed, this, [this, address] {
        --open_;
        if (--perAddress_[address] <= 0)
            perAddress_.remove(address);
    });
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
    const auto closer = [socket] {
        socket->abort();
        // Not yet (or no longer) with the server: nobody else deletes it.
        socket->deleteLater();
    };
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleMs_);
    connect(idle, &QTimer::timeout, socket, closer);
    idle->start();
    connect(socket, &QIODevice::bytesWritten, idle, qOverload<>(&QTimer::start));
    if (auto *ssl = qobject_cast<QSslSocket *>(socket))
        connect(ssl, &QSslSocket::encryptedBytesWritten, idle, qOverload<>(&QTimer::start));

    // Runs from the first byte of a head to its end: trickling bytes do not
    // extend it, as they do the idle time.
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->setInterval(headMs_);

    // The part of the current request's head read so far.
    struct Head {
        QByteArray bytes;
        bool refused = false;
    };
    auto head = std::make_shared<Head>();
    connect(deadline, &QTimer::timeout, socket, [this, socket, head, idle] {
        head->refused = true;
        refuse(socket, httpServer_, 408);
        // Should it not even read its answer, the idle time ends it.
        idle->start();
    });
    // Connected before the server's own slot, so it runs first.
    connect(socket, &QIODevice::readyRead, this, [this, socket, idle, deadline, head] {
        idle->start();
        if (head->refused)
            return;
        QByteArray scan = head->bytes + socket->peek(socket->bytesAvailable());
        // Blank lines between requests are allowed, and no head.
        const auto skipBlank = [&scan] {
            while (scan.startsWith("\r\n"))
                scan.remove(0, 2);
        };
        int problem = 0;
        skipBlank();
        for (qsizetype at; !problem && (at = scan.indexOf("\r\n\r\n")) >= 0; skipBlank()) {
            problem = at + 4 > kMaxHeaderBytes ? 431 : headProblem(scan.left(at + 4));
            scan.remove(0, at + 4);
        }
        if (!problem && scan.size() > kMaxHeaderBytes)
            problem = 431;
        if (problem) {
            head->refused = true;
            deadline->stop();
            refuse(socket, httpServer_, problem);
            return;
        }
        if (scan.isEmpty())
            deadline->stop();
        else if (!deadline->isActive())
            deadline->start();
        head->bytes = scan;
    });
}
