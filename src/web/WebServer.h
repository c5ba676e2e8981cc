#pragma once
#include "WebAuthDelay.h"
#include "WebJson.h"
#include "WebSettings.h"

#include "core/Clock.h"
#include "lang/Lng.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <functional>

class QTcpSocket;
class TankController;
class TankSnapshots;
class WebChartRenderer;
class WebListener;
struct ConsumptionSettings;

// What the server reads, all of it on the event loop, besides the tanks'
// snapshots (their figures, states and forecasts) and histories: what the
// application layer knows beside them.
struct WebSources {
    std::function<WebCounters()> counters;
    std::function<ConsumptionSettings()> consumptionSettings;
    // The program and its first arguments that draw chart.png (see
    // WebChartRenderer); empty: no pictures.
    QStringList chartCommand;
};

// The built-in web server: the dashboard page, the JSON API, the event
// stream and the metrics, read-only. Requests are parsed by Qt HTTP Server;
// WebListener bounds the connections in front of it. With a password stored,
// every request needs HTTP Basic authentication; a wrong one is answered 401
// after the growing delay of WebAuthDelay. Only GET, no bodies, only the
// paths below; nothing else is served.
class WebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    static constexpr int kEventPauseMs = 500;  // changes go out together at most this often
    static constexpr int kKeepAliveMs = 15000; // a comment on every stream, below the idle limit

    WebServer(const TankController &tanks, const TankSnapshots &snapshots, WebSources sources,
              const Texts &texts, ClockFn clock, QObject *parent = nullptr);
    ~WebServer() override;

    // Listens as v says; "" when listening, else why not (in the texts'
    // language). A server that listens is not started again.
    QString start(const WebValues &v);
    quint16 port() const;
    int connectionCount() const;
    int streamCount() const { return int(streams_.size()); }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void tanksChanged();
    void sendEvents();
    void keepAlive();
    bool authorised(const QHttpServerRequest &request);
    void refuse(QTcpSocket *socket, const QString &address);
    void answer(const QHttpServerRequest &request, QTcpSocket *socket, int status, const QByteArray &type,
                const QByteArray &body);
    void openStream(const QHttpServerRequest &request, QTcpSocket *socket);
    QByteArray page() const;
    void tankRequest(const QHttpServerRequest &request, QTcpSocket *socket, const QStringList &parts);
    void chartRequest(const QHttpServerRequest &request, QTcpSocket *socket, int n);

    QByteArray tanksJson() const;

    const TankController &tanks_;
    const TankSnapshots &snapshots_;
    WebSources sources_;
    Texts texts_;
    ClockFn clock_;
    WebValues values_;
    WebListener *listener_ = nullptr;
    WebChartRenderer *charts_ = nullptr;
    QElapsedTimer steady_;
    WebAuthDelay delay_;
    QSet<QByteArray> goodCredentials_; // digests of Authorization values that verified
    QList<QPointer<QTcpSocket>> streams_;
    QTimer eventTimer_;
    QTimer keepAliveTimer_;
};
