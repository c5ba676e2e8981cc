#pragma once
#include "WebAuthDelay.h"
#include "WebJson.h"
#include "WebSettings.h"

#include "core/Clock.h"
#include "lang/Lng.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

class QTcpSocket;
class SiteTanks;
class TankController;
class TankSnapshots;
class WebAuthCheck;
class WebChartRenderer;
class WebListener;
struct ConsumptionSettings;

// What the server reads, all of it on the event loop, besides the tanks'
// snapshots (their figures, states and forecasts) and histories: what the
// application layer knows beside them.
struct DeviceTable;

struct WebSources {
    std::function<WebCounters()> counters;
    std::function<ConsumptionSettings()> consumptionSettings;
    // The program and its first arguments that draw chart.png (see
    // WebChartRenderer); empty: no pictures.
    QStringList chartCommand;
    // The remote sites' tanks of a central installation (null: none).
    const SiteTanks *sites = nullptr;
    // Site i's tanks with tank n's history read from the site's tank file
    // (for its history and consumption); empty: no histories kept.
    std::function<std::shared_ptr<const DeviceTable>(int site, int n)> siteTable;
};

// The built-in web server: the dashboard page, the JSON API, the event
// stream and the metrics, read-only. Requests are parsed by Qt HTTP Server;
// WebListener bounds the connections in front of it. Only a Host that names
// this server is served (421 otherwise: a rebound DNS name gets nothing).
// With a password stored, every request needs HTTP Basic authentication,
// checked by WebAuthCheck off the event loop; a wrong one is answered 401
// after the growing delay of WebAuthDelay. GET and HEAD, no bodies, only the
// paths below; nothing else is served. The answers of one connection go out
// in the order of its requests, also when one of them takes a while (a
// chart, a password check, a long export streamed in slices).
class WebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    static constexpr int kEventPauseMs = 500;  // changes go out together at most this often
    static constexpr int kKeepAliveMs = 15000; // a comment on every stream, below the idle limit
    static constexpr int kMaxExports = 2;      // long CSV exports streamed at once
    static constexpr int kSliceMs = 20;        // an export's slice holds the event loop at most about this

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

public:
    // One request as the server keeps it until its answer is out.
    struct Call {
        bool head = false;   // HEAD: the answer without its body
        bool allowed = true; // GET or HEAD
        bool body = false;
        QUrl url;
        QByteArray authorization;
        QByteArray host;
        QString address;    // the client's
        bool close = false; // "Connection: close"
    };

private:
    struct Connection {
        QList<Call> waiting;
        bool busy = false; // an answer is being made
    };
    void serveNext(QTcpSocket *socket);
    void finished(QTcpSocket *socket);
    bool serve(QTcpSocket *socket, const Call &call);
    bool serveAuthorised(QTcpSocket *socket, const Call &call);
    void tanksChanged();
    void sendEvents();
    void keepAlive();
    void refuse(QTcpSocket *socket, const QString &address);
    void openStream(QTcpSocket *socket, const Call &call);
    QByteArray page() const;
    bool tankRequest(QTcpSocket *socket, const Call &call, const QStringList &parts);
    bool siteTankRequest(QTcpSocket *socket, const Call &call, const QStringList &parts);
    bool tankDataRequest(QTcpSocket *socket, const Call &call, const DeviceTable &table, int n,
                         const QString &what);
    bool historyRequest(QTcpSocket *socket, const Call &call, const DeviceTable &table, int n);
    bool chartRequest(QTcpSocket *socket, const Call &call, int n);

    QByteArray tanksJson() const;
    // The local tanks, then the remote ones, that the query selects (all of
    // them in *total, the page of them returned).
    QList<TankSnapshotPtr> selectTanks(const WebTankQuery &q, qsizetype *total) const;
    QList<WebSite> siteList(bool withLocal) const;
    void remoteChanged(const std::vector<int> &rows);

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
    WebAuthCheck *auth_ = nullptr;
    QHash<QTcpSocket *, Connection> connections_;
    int exports_ = 0;
    QList<QPointer<QTcpSocket>> streams_;
    QTimer eventTimer_;
    bool localChanged_ = false;
    std::vector<int> remoteChanged_; // rows of the sites' tanks since the last event
    std::vector<char> remoteFlag_;
    QHash<QTcpSocket *, qsizetype> firstDump_; // a stream's first remote event, while it is unread
    QTimer keepAliveTimer_;
};
