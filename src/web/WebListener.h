#pragma once
#include <QHash>
#include <QSslConfiguration>
#include <QTcpServer>
#include <optional>

// The listening socket in front of the HTTP server, for what Qt HTTP Server
// 6.4 does not bound itself: at most kMaxConnections at a time and
// kMaxPerAddress from one client address (further ones are closed at once),
// so one address never takes every slot; a connection without a byte in
// either direction for kIdleMs is closed (this also ends a TLS handshake that
// never finishes); a request line and headers must arrive whole within
// kHeadMs of their first byte (a client trickling them gets 408), and beyond
// kMaxHeaderBytes they get 431. A head that announces a body is refused
// before the parser sees it: 400 for a Content-Length that is repeated, not
// a number or negative, 413 for any body at all (nothing here takes one).
// Each refusal closes the connection. With a TLS configuration the handshake
// runs here and the server only sees encrypted connections.
class WebListener : public QTcpServer
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxPerAddress = 32;
    static constexpr int kIdleMs = 30000;
    static constexpr int kHeadMs = 10000;
    static constexpr qsizetype kMaxHeaderBytes = 16 * 1024;

    // httpServer: the object whose slots read the sockets (cut off from a
    // socket whose request is refused here).
    WebListener(QObject *httpServer, std::optional<QSslConfiguration> tls, int idleMs = kIdleMs,
                QObject *parent = nullptr, int headMs = kHeadMs);

    int connectionCount() const { return open_; }

    // 0 when the head may go to the parser, else the status it is refused with.
    static int headProblem(const QByteArray &head);

protected:
    void incomingConnection(qintptr handle) override;

private:
    void guard(QTcpSocket *socket);

    QObject *httpServer_;
    std::optional<QSslConfiguration> tls_;
    int idleMs_;
    int headMs_;
    int open_ = 0;
    QHash<QByteArray, int> perAddress_; // open connections by client address (IPv6 form)
};
