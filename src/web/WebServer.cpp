#include "WebServer.h"

#include "model/SiteTanks.h"

#include "WebAuthCheck.h"
#include "WebChart.h"
#include "WebListener.h"
#include "WebTls.h"

#include "consumption/Consumption.h"
#include "core/SafeFile.h"
#include "core/TextHelpers.h"
#include "lang/Plural.h"
#include "model/ConditionLook.h"
#include "model/TankController.h"
#include "model/TankSnapshots.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrlQuery>
#include <algorithm>
#include <utility>

namespace
{
// The texts the page shows, by the names its script uses.
const std::pair<const char *, int> kPageTexts[] = {
    {"number", 1020}, {"name", 1021},     {"content", 1022},  {"percent", 1023}, {"days", 1024},
    {"last", 1025},   {"state", 1026},    {"ok", 1027},       {"low", 1028},     {"very_low", 1029},
    {"silent", 1030}, {"fault", 1031},    {"alarm", 1032},    {"chart", 1033},   {"consumption", 1034},
    {"total", 1036},  {"year", 1037},     {"offline", 1038},  {"now", 1039},     {"minutes", 1040},
    {"hours", 1041},  {"daysAgo", 1042},  {"noData", 1043},   {"tanks", 1044},   {"close", 1045},
    {"loss", 1046},   {"lossNote", 1100}, {"consumed", 1047}, {"allOk", 1403},   {"all", 1404},
    {"empty", 1400},
};
// The chart's ranges in months; the page shows their names.
constexpr int kRangeMonths[] = {1, 3, 12, 24, 60};

constexpr qsizetype kMaxStreamBacklog = 4 * 1024 * 1024; // a stream reader this far behind is dropped
constexpr int kMaxCredentials = 64;

struct StaticFile {
    const char *path;
    const char *resource;
    const char *type;
};
const StaticFile kStatic[] = {
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
    {"/api/v1/openapi.json", ":/web/openapi.json", "application/json"},
};

QByteArray resource(const char *name)
{
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A path the server could mean: no dot segments, no backslashes, no encoded
// separators or dots, no empty segments. Everything else is refused whole
// rather than cleaned up into something else.
// The security headers of every answer.
constexpr const char *kSafetyHeaders[][2] = {
    {"Cache-Control", "no-store"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'"},
};

const char *reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 421:
        return "Misdirected Request";
    case 429:
        return "Too Many Requests";
    case 503:
        return "Service Unavailable";
    default:
        return "Internal Server Error";
    }
}

// The status line and headers of an answer, up to and with the blank line.
QByteArray answerHead(int status, const QByteArray &type, qint64 length, const QByteArray &extra = {})
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                      "\r\nContent-Type: " + type + "\r\n";
    head += length >= 0 ? "Content-Length: " + QByteArray::number(length) + "\r\n"
                        : QByteArray("Transfer-Encoding: chunked\r\n");
    for (const auto &h : kSafetyHeaders)
        head += QByteArray(h[0]) + ": " + h[1] + "\r\n";
    return head + extra + "\r\n";
}

// A whole answer (only its head for HEAD); the connection closes after it
// when the client asked so.
void writeAnswer(QTcpSocket *socket, const WebServer::Call &call, int status, const QByteArray &type,
                 const QByteArray &body, const QByteArray &extra = {})
{
    socket->write(answerHead(status, type, body.size(), extra + (call.close ? "Connection: close\r\n" : "")) +
                  (call.head ? QByteArray() : body));
    if (call.close)
        socket->disconnectFromHost();
}

void writeText(QTcpSocket *socket, const WebServer::Call &call, int status, const QByteArray &message,
               const QByteArray &extra = {})
{
    writeAnswer(socket, call, status, "text/plain; charset=utf-8", message + '\n', extra);
}

// A long CSV export, written in slices of at most about kSliceMs each, the
// next only once the connection has taken most of the last: the event loop
// stays free for everyone else and the memory stays small however long the
// history. Works on its own copy of the points, so the tank may change
// meanwhile. Ends with the connection.
class CsvExport : public QObject
{
public:
    CsvExport(QTcpSocket *socket, TankHistory points, std::function<void()> done)
        : QObject(socket), socket_(socket), points_(std::move(points)), done_(std::move(done))
    {
        connect(socket, &QIODevice::bytesWritten, this, &CsvExport::moreIfRoom);
        QMetaObject::invokeMethod(this, &CsvExport::step, Qt::QueuedConnection);
    }

private:
    static constexpr qsizetype kBacklog = 512 * 1024; // written but not yet sent
    static constexpr int kLines = 500;                // between looks at the clock

    void moreIfRoom()
    {
        if (!waiting_ || socket_->bytesToWrite() > kBacklog / 2)
            return;
        waiting_ = false;
        step();
    }

    void step()
    {
        QElapsedTimer t;
        t.start();
        QByteArray slice;
        const int end = points_.count() + 1;
        while (next_ < end && t.elapsed() < WebServer::kSliceMs && slice.size() < kBacklog) {
            const int to = std::min(end, next_ + kLines);
            slice += WebHistoryCsvLines(points_, next_, to);
            next_ = to;
        }
        if (!slice.isEmpty())
            socket_->write(QByteArray::number(slice.size(), 16) + "\r\n" + slice + "\r\n");
        if (next_ < end) {
            if (socket_->bytesToWrite() > kBacklog)
                waiting_ = true;
            else
                QMetaObject::invokeMethod(this, &CsvExport::step, Qt::QueuedConnection);
            return;
        }
        socket_->write("0\r\n\r\n");
        const auto done = std::move(done_);
        deleteLater();
        done();
    }

    QTcpSocket *socket_;
    TankHistory points_;
    std::function<void()> done_;
    int next_ = 1;
    bool waiting_ = false;
};

bool cleanPath(const QByteArray &raw)
{
    if (!raw.startsWith('/') || raw.contains('\\') || raw.contains("//") || raw.contains('\0'))
        return false;
    const QByteArray lower = raw.toLower();
    for (const char *bad : {"%2e", "%2f", "%5c", "%00"})
        if (lower.contains(bad))
            return false;
    for (const QByteArray &segment : raw.split('/'))
        if (segment == "." || segment == "..")
            return false;
    return true;
}

std::optional<QSslConfiguration> tlsFrom(const WebValues &v, bool &failed, bool &mismatch,
                                         QString &unreadable)
{
    failed = mismatch = false;
    if (v.zertifikat.isEmpty() || v.schluessel.isEmpty())
        return std::nullopt;
    // Regular files only, never opened otherwise: a FIFO named here would
    // hold the start until someone writes to it.
    constexpr qint64 kMaxPem = 1024 * 1024;
    QByteArray certPem, keyPem;
    const std::pair<const char *, const QString *> files[] = {{"Web/Zertifikat", &v.zertifikat},
                                                              {"Web/Schlüssel", &v.schluessel}};
    for (const auto &[setting, path] : files) {
        QString why;
        if (SafeFile::ReadRegular(*path, path == &v.zertifikat ? &certPem : &keyPem, &why, kMaxPem) !=
            SafeFile::ReadStatus::Ok) {
            failed = true;
            unreadable = QString::fromUtf8(setting) + QStringLiteral(": ") + *path + QStringLiteral(": ") +
                         (why.isEmpty() ? QStringLiteral("No such file or directory") : why);
            return std::nullopt;
        }
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certPem, QSsl::Pem);
    QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (chain.isEmpty() || key.isNull()) {
        failed = true;
        return std::nullopt;
    }
    if (!KeyFitsCertificate(chain.first().toPem(), keyPem)) {
        mismatch = true;
        return std::nullopt;
    }
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setLocalCertificateChain(chain);
    c.setPrivateKey(key);
    c.setPeerVerifyMode(QSslSocket::VerifyNone);
    c.setProtocol(QSsl::TlsV1_2OrLater);
    c.setCiphers(WebCipherSuites());
    return c;
}
} // namespace

WebServer::WebServer(const TankController &tanks, const TankSnapshots &snapshots, WebSources sources,
                     const Texts &texts, ClockFn clock, QObject *parent)
    : QAbstractHttpServer(parent), tanks_(tanks), snapshots_(snapshots), sources_(std::move(sources)),
      texts_(texts), clock_(std::move(clock)), delay_([this] { return steady_.elapsed(); })
{
    steady_.start();
    if (!sources_.chartCommand.isEmpty())
        charts_ = new WebChartRenderer(sources_.chartCommand.first(), sources_.chartCommand.mid(1), this);
    eventTimer_.setSingleShot(true);
    connect(&eventTimer_, &QTimer::timeout, this, &WebServer::sendEvents);
    keepAliveTimer_.setInterval(kKeepAliveMs);
    connect(&keepAliveTimer_, &QTimer::timeout, this, &WebServer::keepAlive);
    connect(&snapshots_, &TankSnapshots::snapshotChanged, this, &WebServer::tanksChanged);
    connect(&snapshots_, &TankSnapshots::snapshotsReset, this, &WebServer::tanksChanged);
    if (sources_.sites)
        connect(sources_.sites, &SiteTanks::changed, this,
                [this](const std::vector<int> &rows, int, bool) { remoteChanged(rows); });
}

QByteArray WebServer::tanksJson() const
{
    return WebTanksJson(snapshots_.all(), clock_(), texts_);
}

QList<TankSnapshotPtr> WebServer::selectTanks(const WebTankQuery &q, qsizetype *total) const
{
    QList<TankSnapshotPtr> page;
    qsizetype seen = 0;
    const auto take = [&](const TankSnapshotPtr &s) {
        if (!s || !q.selects(*s))
            return;
        if (seen >= q.offset && (q.limit < 0 || page.size() < q.limit))
            page.append(s);
        ++seen;
    };
    for (const TankSnapshotPtr &s : snapshots_.all())
        take(s);
    if (sources_.sites && !q.site.isEmpty()) {
        // One site's tanks without looking at the thousands of others.
        for (const int site : sources_.sites->sitesNamed(q.site))
            for (int n = 1; n <= kMaxDevices; ++n)
                take(sources_.sites->at(site, n));
    } else if (sources_.sites) {
        for (const TankSnapshotPtr &s : sources_.sites->rows())
            take(s);
    }
    *total = seen;
    return page;
}

QList<WebSite> WebServer::siteList(bool withLocal) const
{
    QList<WebSite> out;
    if (withLocal) {
        WebSite local;
        local.name = QLatin1String(kWebLocalSite);
        for (const TankSnapshotPtr &s : snapshots_.all())
            ++local.states[TankConditionName(s->status.condition)];
        out.append(local);
    }
    if (!sources_.sites)
        return out;
    const SiteTanks &sites = *sources_.sites;
    const qsizetype first = out.size();
    for (int i = 0; i < sites.siteCount(); ++i) {
        const SiteTanks::Site &site = sites.siteAt(i);
        WebSite w;
        w.name = site.name;
        w.topic = QString::fromUtf8(site.topic);
        w.online = site.online;
        w.since = site.since;
        out.append(w);
    }
    for (size_t r = 0; r < sites.rows().size(); ++r)
        ++out[first + sites.siteOfRow(int(r))].states[TankConditionName(sites.rows()[r]->status.condition)];
    // By name as people read them ("Site 2" before "Site 10"), after this installation.
    std::stable_sort(out.begin() + first, out.end(),
                     [](const WebSite &a, const WebSite &b) { return NaturalLess(a.name, b.name); });
    return out;
}

void WebServer::remoteChanged(const std::vector<int> &rows)
{
    if (streams_.isEmpty())
        return;
    if (remoteFlag_.size() < sources_.sites->rows().size())
        remoteFlag_.resize(sources_.sites->rows().size(), 0);
    for (const int r : rows) {
        if (!remoteFlag_[size_t(r)]) {
            remoteFlag_[size_t(r)] = 1;
            remoteChanged_.push_back(r);
        }
    }
    if (!eventTimer_.isActive())
        eventTimer_.start(kEventPauseMs);
}

WebServer::~WebServer() = default;

QString WebServer::start(const WebValues &v)
{
    if (listener_)
        return {};
    if (const QString problem = WebStartProblem(v, texts_); !problem.isEmpty())
        return problem;
    bool tlsFailed = false, mismatch = false;
    QString unreadable;
    std::optional<QSslConfiguration> tls = tlsFrom(v, tlsFailed, mismatch, unreadable);
    if (tlsFailed && !unreadable.isEmpty())
        return texts_(1012).replace(QLatin1String("%s"), unreadable);
    if (tlsFailed)
        return texts_(1011);
    if (mismatch)
        return texts_(1016);
    auto *listener = new WebListener(this, std::move(tls), WebListener::kIdleMs, this);
    if (!listener->listen(QHostAddress(v.adresse), quint16(v.port))) {
        const QString reason = listener->errorString();
        delete listener;
        return texts_(1012).replace(QLatin1String("%s"), reason);
    }
    values_ = v;
    if (!v.password.isEmpty())
        auth_ = new WebAuthCheck(
            v.userName, v.password, [this] { return steady_.elapsed(); }, this);
    listener_ = listener;
    bind(listener_);
    keepAliveTimer_.start();
    return {};
}

quint16 WebServer::port() const
{
    return listener_ ? listener_->serverPort() : 0;
}

int WebServer::connectionCount() const
{
    return listener_ ? listener_->connectionCount() : 0;
}

void WebServer::refuse(QTcpSocket *socket, const QString &address)
{
    // The answer waits; the connection closes after it, so each new guess
    // pays the delay again.
    const qint64 ms = delay_.failed(address);
    QTimer::singleShot(ms, this, [s = QPointer<QTcpSocket>(socket)] {
        if (!s || s->state() != QAbstractSocket::ConnectedState)
            return;
        s->write(
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"Tankmon\", charset=\"UTF-8\"\r\n"
            "Content-Length: 0\r\nConnection: close\r\n\r\n");
        s->disconnectFromHost();
    });
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Call call;
    call.head = request.method() == QHttpServerRequest::Method::Head;
    call.allowed = call.head || request.method() == QHttpServerRequest::Method::Get;
    call.body = !request.body().isEmpty();
    call.url = request.url();
    call.authorization = request.value("Authorization");
    call.host = request.value("Host");
    call.address = socket->peerAddress().toString();
    call.close = request.value("Connection").toLower().contains("close");
    auto it = connections_.find(socket);
    if (it == connections_.end()) {
        it = connections_.insert(socket, {});
        connect(socket, &QObject::destroyed, this, [this, socket] { connections_.remove(socket); });
    }
    it->waiting.append(std::move(call));
    serveNext(socket);
    return true;
}

void WebServer::serveNext(QTcpSocket *socket)
{
    for (;;) {
        const auto it = connections_.find(socket);
        if (it == connections_.end() || it->busy || it->waiting.isEmpty() ||
            socket->state() != QAbstractSocket::ConnectedState)
            return;
        const Call call = it->waiting.takeFirst();
        it->busy = true;
        if (!serve(socket, call))
            return; // finished() follows, or the connection ends
        connections_[socket].busy = false;
    }
}

void WebServer::finished(QTcpSocket *socket)
{
    const auto it = connections_.find(socket);
    if (it == connections_.end())
        return;
    it->busy = false;
    serveNext(socket);
}

bool WebServer::serve(QTcpSocket *socket, const Call &call)
{
    if (!WebHostAllowed(call.host, values_)) {
        writeText(socket, call, 421, "This server does not answer for that host name.");
        return true;
    }
    if (!auth_)
        return serveAuthorised(socket, call);
    const QPointer<QTcpSocket> s(socket);
    const auto checked = [this, s, call](bool right) {
        if (!s || s->state() != QAbstractSocket::ConnectedState)
            return;
        if (!right) {
            refuse(s, call.address);
            return;
        }
        delay_.succeeded(call.address);
        if (serveAuthorised(s, call))
            finished(s);
    };
    switch (auth_->check(call.authorization, call.address, checked)) {
    case WebAuthCheck::Start::Known:
        return serveAuthorised(socket, call);
    case WebAuthCheck::Start::Malformed:
        refuse(socket, call.address);
        return false;
    case WebAuthCheck::Start::Started:
        return false;
    case WebAuthCheck::Start::AddressBusy:
        writeText(socket, call, 429, "A login from this address is being checked; try again.",
                  "Retry-After: 1\r\n");
        return true;
    case WebAuthCheck::Start::AllBusy:
        writeText(socket, call, 503, "Busy checking other logins; try again.", "Retry-After: 1\r\n");
        return true;
    }
    return true;
}

bool WebServer::serveAuthorised(QTcpSocket *socket, const Call &call)
{
    if (!call.allowed) {
        writeText(socket, call, 405, "Only GET and HEAD are served.", "Allow: GET, HEAD\r\n");
        return true;
    }
    if (call.body) {
        writeText(socket, call, 413, "Requests carry no body here.");
        return true;
    }
    const QByteArray raw = call.url.path(QUrl::FullyEncoded).toLatin1();
    if (!cleanPath(raw)) {
        writeText(socket, call, 400, "Bad path.");
        return true;
    }
    const QString path = call.url.path();
    if (path == QLatin1String("/")) {
        writeAnswer(socket, call, 200, "text/html; charset=utf-8", page());
        return true;
    }
    if (path == QLatin1String("/states.css")) {
        writeAnswer(socket, call, 200, "text/css; charset=utf-8", WebStateStyle());
        return true;
    }
    for (const StaticFile &f : kStatic) {
        if (path == QLatin1String(f.path)) {
            writeAnswer(socket, call, 200, f.type, resource(f.resource));
            return true;
        }
    }
    if (path == QLatin1String("/metrics")) {
        QList<TankSnapshotPtr> all = snapshots_.all();
        if (sources_.sites)
            all.append(QList<TankSnapshotPtr>(sources_.sites->rows().begin(), sources_.sites->rows().end()));
        writeAnswer(socket, call, 200, "text/plain; version=0.0.4; charset=utf-8",
                    WebMetricsText(all, clock_(), sources_.counters(), siteList(false)));
        return true;
    }
    if (path == QLatin1String("/api/v1/sites")) {
        writeAnswer(socket, call, 200, "application/json", WebSitesJson(siteList(true)));
        return true;
    }
    if (path == QLatin1String("/api/v1/events")) {
        if (call.head) {
            socket->write(answerHead(200, "text/event-stream; charset=utf-8", 0));
            return true;
        }
        openStream(socket, call);
        return false; // the stream is the last answer of its connection
    }
    if (path == QLatin1String("/api/v1/tanks")) {
        QString error;
        const std::optional<WebTankQuery> q = ParseWebTankQuery(call.url.query(QUrl::FullyEncoded), &error);
        if (!q) {
            writeText(socket, call, 400, error.toUtf8());
            return true;
        }
        qsizetype total = 0;
        const QList<TankSnapshotPtr> page = selectTanks(*q, &total);
        writeAnswer(socket, call, 200, "application/json", WebTanksJson(page, clock_(), texts_, total));
        return true;
    }
    const QStringList parts = path.split(QLatin1Char('/'));
    // "", "api", "v1", "tanks", n, what
    if (parts.size() == 6 && parts[1] == QLatin1String("api") && parts[2] == QLatin1String("v1") &&
        parts[3] == QLatin1String("tanks"))
        return tankRequest(socket, call, parts);
    // "", "api", "v1", "sites", site, "tanks", n, what: split before decoding,
    // as a site's own name may hold a "/".
    const QList<QByteArray> raws = raw.split('/');
    if (raws.size() == 8 && raws[1] == "api" && raws[2] == "v1" && raws[3] == "sites" && raws[5] == "tanks") {
        QStringList decoded;
        for (const QByteArray &r : raws)
            decoded << QUrl::fromPercentEncoding(r);
        return siteTankRequest(socket, call, decoded);
    }
    writeText(socket, call, 404, "Not found.");
    return true;
}

bool WebServer::tankRequest(QTcpSocket *socket, const Call &call, const QStringList &parts)
{
    bool ok = false;
    const int n = parts[4].toInt(&ok);
    if (!ok || n < 1 || n > tanks_.DeviceCount()) {
        writeText(socket, call, 404, "No such tank.");
        return true;
    }
    if (parts[5] == QLatin1String("chart.png"))
        return chartRequest(socket, call, n);
    return tankDataRequest(socket, call, tanks_.table(), n, parts[5]);
}

bool WebServer::siteTankRequest(QTcpSocket *socket, const Call &call, const QStringList &parts)
{
    // A remote tank's history and consumption, from its site's tank file.
    bool ok = false;
    const int n = parts[6].toInt(&ok);
    const QList<int> found = sources_.sites ? sources_.sites->sitesNamed(parts[4]) : QList<int>();
    if (!ok || n < 1 || n > kMaxDevices || found.isEmpty() || !sources_.sites->at(found.first(), n)) {
        writeText(socket, call, 404, "No such tank.");
        return true;
    }
    if (!sources_.siteTable ||
        (parts[7] != QLatin1String("history") && parts[7] != QLatin1String("consumption"))) {
        writeText(socket, call, 404, "Not found.");
        return true;
    }
    const std::shared_ptr<const DeviceTable> table = sources_.siteTable(found.first(), n);
    return tankDataRequest(socket, call, *table, n, parts[7]);
}

bool WebServer::tankDataRequest(QTcpSocket *socket, const Call &call, const DeviceTable &table, int n,
                                const QString &what)
{
    if (what == QLatin1String("history"))
        return historyRequest(socket, call, table, n);
    if (what == QLatin1String("consumption")) {
        ConsumptionRequest c;
        c.selection = n;
        c.currentYear = clock_().date().year();
        c.settings = sources_.consumptionSettings();
        c.settings.logVerbrauch = false; // read-only: no protocol file
        const ConsumptionResult result = ComputeConsumption(table, c);
        if (result.groups.empty()) {
            writeText(socket, call, 404, "No consumption.");
            return true;
        }
        writeAnswer(socket, call, 200, "application/json", WebConsumptionJson(n, result.groups.front()));
        return true;
    }
    writeText(socket, call, 404, "Not found.");
    return true;
}

bool WebServer::historyRequest(QTcpSocket *socket, const Call &call, const DeviceTable &table, int n)
{
    const QUrlQuery query(call.url);
    QDateTime range[2];
    const QString names[2] = {QStringLiteral("from"), QStringLiteral("to")};
    for (int i = 0; i < 2; ++i) {
        const QString v = query.queryItemValue(names[i], QUrl::FullyDecoded);
        if (v.isEmpty())
            continue;
        range[i] = QDateTime::fromString(v, Qt::ISODate);
        if (!range[i].isValid()) {
            writeText(socket, call, 400, names[i].toLatin1() + " is no ISO 8601 time.");
            return true;
        }
    }
    const QString format = query.hasQueryItem(QStringLiteral("format"))
                               ? query.queryItemValue(QStringLiteral("format"))
                               : "json";
    int maxPoints = kWebDefaultMaxPoints;
    if (query.hasQueryItem(QStringLiteral("max_points"))) {
        bool ok = false;
        maxPoints = query.queryItemValue(QStringLiteral("max_points")).toInt(&ok);
        if (!ok || maxPoints < 2 || maxPoints > kWebMaxMaxPoints) {
            writeText(socket, call, 400, "max_points: 2.." + QByteArray::number(kWebMaxMaxPoints) + '.');
            return true;
        }
    }
    if (format == QLatin1String("json")) {
        writeAnswer(socket, call, 200, "application/json",
                    WebHistoryJson(table, n, range[0], range[1], maxPoints));
        return true;
    }
    if (format != QLatin1String("csv")) {
        writeText(socket, call, 400, "format: json or csv.");
        return true;
    }
    const TankHistory &h = table[n].History;
    const auto [first, last] = WebHistoryRange(h, range[0], range[1]);
    constexpr int kWholeLines = 20000; // fewer go out in one piece
    if (last - first <= kWholeLines || call.head) {
        writeAnswer(socket, call, 200, "text/csv; charset=utf-8",
                    kWebHistoryCsvHeading + WebHistoryCsvLines(h, first, last));
        return true;
    }
    if (exports_ >= kMaxExports) {
        writeText(socket, call, 503, "Busy with other long exports; try again.", "Retry-After: 10\r\n");
        return true;
    }
    TankHistory copy;
    copy.HistoryTimes.insert(copy.HistoryTimes.end(), h.HistoryTimes.begin() + first,
                             h.HistoryTimes.begin() + last);
    copy.HistoryValues.insert(copy.HistoryValues.end(), h.HistoryValues.begin() + first,
                              h.HistoryValues.begin() + last);
    copy.HistoryTemps.insert(copy.HistoryTemps.end(), h.HistoryTemps.begin() + first,
                             h.HistoryTemps.begin() + last);
    socket->write(answerHead(200, "text/csv; charset=utf-8", -1) +
                  QByteArray::number(qstrlen(kWebHistoryCsvHeading), 16) + "\r\n" + kWebHistoryCsvHeading +
                  "\r\n");
    ++exports_;
    auto *job = new CsvExport(socket, std::move(copy), [this, s = QPointer<QTcpSocket>(socket), call] {
        if (!s)
            return;
        if (call.close)
            s->disconnectFromHost();
        else
            finished(s);
    });
    connect(job, &QObject::destroyed, this, [this] { --exports_; });
    return false;
}

bool WebServer::chartRequest(QTcpSocket *socket, const Call &call, int n)
{
    if (!charts_) {
        writeText(socket, call, 404, "Not found.");
        return true;
    }
    const QUrlQuery query(call.url);
    // A number in a range, or the default when not given; false for anything else.
    const auto whole = [&query](const char *name, int lo, int hi, int &value) {
        const QString v = query.queryItemValue(QLatin1String(name));
        if (!query.hasQueryItem(QLatin1String(name)))
            return true;
        bool ok = false;
        const int i = v.toInt(&ok);
        if (!ok || i < lo || i > hi)
            return false;
        value = i;
        return true;
    };
    WebChartRenderer::Job job;
    job.tank = n;
    int width = job.size.width(), height = job.size.height(), percent = 0;
    if (!whole("months", 0, 1200, job.months) || !whole("percent", 0, 1, percent) ||
        !whole("width", WebChartRenderer::kMinSize.width(), WebChartRenderer::kMaxSize.width(), width) ||
        !whole("height", WebChartRenderer::kMinSize.height(), WebChartRenderer::kMaxSize.height(), height)) {
        writeText(socket, call, 400,
                  "months: 0..1200, percent: 0 or 1, width: " +
                      QByteArray::number(WebChartRenderer::kMinSize.width()) + ".." +
                      QByteArray::number(WebChartRenderer::kMaxSize.width()) +
                      ", height: " + QByteArray::number(WebChartRenderer::kMinSize.height()) + ".." +
                      QByteArray::number(WebChartRenderer::kMaxSize.height()) + '.');
        return true;
    }
    job.percent = percent == 1;
    job.size = QSize(width, height);
    const bool started = charts_->render(
        job, [this, s = QPointer<QTcpSocket>(socket), call](int status, const QByteArray &png) {
            if (!s || s->state() != QAbstractSocket::ConnectedState)
                return;
            if (status == 200)
                writeAnswer(s, call, 200, "image/png", png);
            else
                writeText(s, call, status, status == 404 ? "No history." : "The chart could not be drawn.");
            finished(s);
        });
    if (started)
        return false;
    // A picture takes a few seconds: clients that honour it come back then.
    writeText(socket, call, 503, "Busy drawing other charts; try again.", "Retry-After: 5\r\n");
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // Never reached: every request is handled above.
    Q_UNUSED(request);
    socket->abort();
}

void WebServer::openStream(QTcpSocket *socket, const Call &call)
{
    Q_UNUSED(call);
    // No length: the stream ends with its connection.
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
                  "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\nretry: 2000\n\n");
    streams_.append(socket);
    socket->write("event: tanks\ndata: " + tanksJson() + "\n\n");
    // The sites' tanks once whole; then each event has those that changed.
    if (sources_.sites && !sources_.sites->rows().empty()) {
        const auto &rows = sources_.sites->rows();
        const QByteArray all =
            WebTanksJson(QList<TankSnapshotPtr>(rows.begin(), rows.end()), clock_(), texts_);
        socket->write("event: remote\ndata: " + all + "\n\n");
        // A thousand sites' tanks are more than a reader may lag behind:
        // that much is its due until it has read them.
        firstDump_.insert(socket, all.size());
    }
}

void WebServer::tanksChanged()
{
    localChanged_ = true;
    if (!streams_.isEmpty() && !eventTimer_.isActive())
        eventTimer_.start(kEventPauseMs);
}

void WebServer::sendEvents()
{
    streams_.removeAll(nullptr);
    QList<TankSnapshotPtr> remote;
    for (const int r : remoteChanged_) {
        remoteFlag_[size_t(r)] = 0;
        remote.append(sources_.sites->rows()[size_t(r)]);
    }
    remoteChanged_.clear();
    for (auto it = firstDump_.begin(); it != firstDump_.end();)
        it = streams_.contains(it.key()) ? std::next(it) : firstDump_.erase(it);
    const bool local = std::exchange(localChanged_, false);
    if (streams_.isEmpty())
        return;
    QByteArray event;
    if (local || remote.isEmpty())
        event += "event: tanks\ndata: " + tanksJson() + "\n\n";
    if (!remote.isEmpty())
        event += "event: remote\ndata: " + WebTanksJson(remote, clock_(), texts_) + "\n\n";
    for (const QPointer<QTcpSocket> &s : std::as_const(streams_)) {
        const qsizetype due = s->bytesToWrite();
        if (due <= kMaxStreamBacklog)
            firstDump_.remove(s.data());
        if (due > kMaxStreamBacklog + firstDump_.value(s.data()))
            s->abort();
        else
            s->write(event);
    }
}

void WebServer::keepAlive()
{
    streams_.removeAll(nullptr);
    for (const QPointer<QTcpSocket> &s : std::as_const(streams_))
        s->write(": keep-alive\n\n");
}

QByteArray WebServer::page() const
{
    QJsonObject texts;
    for (const auto &[name, id] : kPageTexts)
        texts.insert(QLatin1String(name), texts_(id));
    // Words after a number take the language's form for it: the page gets
    // them ready made for the numbers it shows.
    QJsonObject months;
    for (const int m : kRangeMonths)
        months.insert(QString::number(m),
                      QString::number(m) + QLatin1Char(' ') + PluralText(texts_, 1401, m));
    texts.insert(QLatin1String("monthsN"), months);
    QJsonArray attention;
    // 0..199: the page takes the form of 100 + n % 100 for more (every
    // language's rule looks at the last two digits beyond 100).
    for (int n = 0; n < 200; ++n)
        attention.append(QString::number(n) + QLatin1Char(' ') + PluralText(texts_, 1402, n));
    texts.insert(QLatin1String("attentionN"), attention);
    QJsonArray order;
    for (const TankCondition c : ConditionsWorstFirst())
        order.append(TankConditionName(c));
    texts.insert(QLatin1String("order"), order);
    // Inside a script element "</" would end it early.
    const QByteArray json = QJsonDocument(texts).toJson(QJsonDocument::Compact).replace("</", "<\\/");
    QByteArray html = resource(":/web/index.html");
    html.replace("__LANG__", texts_.locale().bcp47Name().toLatin1());
    html.replace("__TEXTS__", json);
    return html;
}
