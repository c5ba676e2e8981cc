#pragma once
#include <QSslConfiguration>
#include <QTcpServer>
#include <optional>

// The listening socket in front of the HTTP server, for what Qt HTTP Server
// 6.4 does not bound itself: at most kMaxConnections at a time (further ones
// are closed at once), a connection without a byte in either direction for
// kIdleMs is closed (this also ends a TLS handshake that never finishes),
// and a request whose line and headers run beyond kMaxHeaderBytes gets 431
// and is closed before the parser sees more of it. Request bodies count
// against the same limit, so none can be large. With a TLS configuration the
// handshake runs here and the server only sees encrypted connections.
class WebListener : public QTcpServer
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 256;
    static constexpr int kIdleMs = 30000;
    static constexpr qsizetype kMaxHeaderBytes = 16 * 1024;

    // httpServer: the object whose slots read the sockets (cut off from a
    // socket that breaks the header limit).
    WebListener(QObject *httpServer, std::optional<QSslConfiguration> tls, int idleMs = kIdleMs,
                QObject *parent = nullptr);

    int connectionCount() const { return open_; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    void guard(QTcpSocket *socket);

    QObject *httpServer_;
    std::optional<QSslConfiguration> tls_;
    int idleMs_;
    int open_ = 0;
};
