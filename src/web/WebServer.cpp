#include "WebServer.h"

#include "WebChart.h"
#include "WebListener.h"
#include "WebPassword.h"

#include "consumption/Consumption.h"
#include "core/SafeFile.h"
#include "model/TankController.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrlQuery>

namespace
{
// The texts the page shows, by the names its script uses.
const std::pair<const char *, int> kPageTexts[] = {
    {"number", 1020},  {"name", 1021},  {"content", 1022},  {"percent", 1023},  {"days", 1024},
    {"last", 1025},    {"state", 1026}, {"ok", 1027},       {"low", 1028},      {"very_low", 1029},
    {"silent", 1030},  {"fault", 1031}, {"alarm", 1032},    {"chart", 1033},    {"consumption", 1034},
    {"months", 1035},  {"total", 1036}, {"year", 1037},     {"offline", 1038},  {"now", 1039},
    {"minutes", 1040}, {"hours", 1041}, {"daysAgo", 1042},  {"noData", 1043},   {"tanks", 1044},
    {"close", 1045},   {"loss", 1046},  {"lossNote", 1100}, {"consumed", 1047},
};

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

// A whole answer written to the socket later than the request's handler
// returned (its responder needs the request, which is gone by then); the
// connection closes after it.
void lateAnswer(QTcpSocket *socket, int status, const QByteArray &type, const QByteArray &body)
{
    const char *reason = status == 200   ? "OK"
                         : status == 404 ? "Not Found"
                         : status == 503 ? "Service Unavailable"
                                         : "Internal Server Error";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + type +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
    for (const auto &h : kSafetyHeaders)
        head += QByteArray(h[0]) + ": " + h[1] + "\r\n";
    socket->write(head + "\r\n" + body);
    socket->disconnectFromHost();
}

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

std::optional<QSslConfiguration> tlsFrom(const WebValues &v, bool &failed, QString &unreadable)
{
    failed = false;
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
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setLocalCertificateChain(chain);
    c.setPrivateKey(key);
    c.setPeerVerifyMode(QSslSocket::VerifyNone);
    c.setProtocol(QSsl::TlsV1_2OrLater);
    return c;
}
} // namespace

WebServer::WebServer(const TankController &tanks, WebSources sources, const Texts &texts, ClockFn clock,
                     QObject *parent)
    : QAbstractHttpServer(parent), tanks_(tanks), sources_(std::move(sources)), texts_(texts),
      clock_(std::move(clock)), delay_([this] { return steady_.elapsed(); })
{
    steady_.start();
    if (!sources_.chartCommand.isEmpty())
        charts_ = new WebChartRenderer(sources_.chartCommand.first(), sources_.chartCommand.mid(1), this);
    eventTimer_.setSingleShot(true);
    connect(&eventTimer_, &QTimer::timeout, this, &WebServer::sendEvents);
    keepAliveTimer_.setInterval(kKeepAliveMs);
    connect(&keepAliveTimer_, &QTimer::timeout, this, &WebServer::keepAlive);
    for (const auto signal : {&TankController::deviceChanged, &TankController::deviceAdded})
        connect(&tanks_, signal, this, &WebServer::tanksChanged);
    connect(&tanks_, &TankController::tableReset, this, &WebServer::tanksChanged);
}

WebServer::~WebServer() = default;

QString WebServer::start(const WebValues &v)
{
    if (listener_)
        return {};
    if (const QString problem = WebStartProblem(v, texts_); !problem.isEmpty())
        return problem;
    bool tlsFailed = false;
    QString unreadable;
    std::optional<QSslConfiguration> tls = tlsFrom(v, tlsFailed, unreadable);
    if (tlsFailed && !unreadable.isEmpty())
        return texts_(1012).replace(QLatin1String("%s"), unreadable);
    if (tlsFailed)
        return texts_(1011);
    auto *listener = new WebListener(this, std::move(tls), WebListener::kIdleMs, this);
    if (!listener->listen(QHostAddress(v.adresse), quint16(v.port))) {
        const QString reason = listener->errorString();
        delete listener;
        return texts_(1012).replace(QLatin1String("%s"), reason);
    }
    values_ = v;
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

bool WebServer::authorised(const QHttpServerRequest &request)
{
    if (values_.password.isEmpty())
        return true;
    const QByteArray header = request.value("Authorization");
    if (!header.startsWith("Basic "))
        return false;
    // A verified value is remembered by its digest, so a page's many requests
    // do not pay for the key derivation each time.
    const QByteArray digest =
        QCryptographicHash::hash(header + '\n' + values_.password.toUtf8(), QCryptographicHash::Sha256);
    if (goodCredentials_.contains(digest))
        return true;
    const auto decoded =
        QByteArray::fromBase64Encoding(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const qsizetype colon = decoded.decoded.indexOf(':');
    if (colon < 0)
        return false;
    const QString user = QString::fromUtf8(decoded.decoded.left(colon));
    const QString password = QString::fromUtf8(decoded.decoded.mid(colon + 1));
    if (user != values_.userName || !VerifyWebPassword(values_.password, password))
        return false;
    if (goodCredentials_.size() >= kMaxCredentials)
        goodCredentials_.clear();
    goodCredentials_.insert(digest);
    return true;
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

void WebServer::answer(const QHttpServerRequest &request, QTcpSocket *socket, int status,
                       const QByteArray &type, const QByteArray &body)
{
    QHttpServerResponder r = makeResponder(request, socket);
    r.writeStatusLine(QHttpServerResponder::StatusCode(status));
    if (status == 503) // a picture takes a few seconds: clients that honour it come back then
        r.writeHeader("Retry-After", "5");
    r.writeHeader("Content-Type", type);
    r.writeHeader("Content-Length", QByteArray::number(body.size()));
    for (const auto &h : kSafetyHeaders)
        r.writeHeader(h[0], h[1]);
    r.writeBody(body);
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QString address = socket->peerAddress().toString();
    if (!authorised(request)) {
        refuse(socket, address);
        return true;
    }
    if (!values_.password.isEmpty())
        delay_.succeeded(address);
    const auto text = [&](int status, const QByteArray &msg) {
        answer(request, socket, status, "text/plain; charset=utf-8", msg + '\n');
    };
    if (request.method() != QHttpServerRequest::Method::Get) {
        text(405, "Only GET is served.");
        return true;
    }
    if (!request.body().isEmpty() || request.value("Content-Length").toLongLong() > 0 ||
        !request.value("Transfer-Encoding").isEmpty()) {
        text(413, "Requests carry no body here.");
        return true;
    }
    const QByteArray raw = request.url().path(QUrl::FullyEncoded).toLatin1();
    if (!cleanPath(raw)) {
        text(400, "Bad path.");
        return true;
    }
    const QString path = request.url().path();
    if (path == QLatin1String("/")) {
        answer(request, socket, 200, "text/html; charset=utf-8", page());
        return true;
    }
    for (const StaticFile &f : kStatic) {
        if (path == QLatin1String(f.path)) {
            answer(request, socket, 200, f.type, resource(f.resource));
            return true;
        }
    }
    if (path == QLatin1String("/metrics")) {
        answer(request, socket, 200, "text/plain; version=0.0.4; charset=utf-8",
               WebMetricsText(tanks_.table(), sources_.tempKorrOn(), sources_.state, sources_.counters()));
        return true;
    }
    if (path == QLatin1String("/api/v1/events")) {
        openStream(request, socket);
        return true;
    }
    if (path == QLatin1String("/api/v1/tanks")) {
        answer(request, socket, 200, "application/json",
               WebTanksJson(tanks_.table(), sources_.tempKorrOn(), sources_.state));
        return true;
    }
    const QStringList parts = path.split(QLatin1Char('/'));
    // "", "api", "v1", "tanks", n, what
    if (parts.size() == 6 && parts[1] == QLatin1String("api") && parts[2] == QLatin1String("v1") &&
        parts[3] == QLatin1String("tanks")) {
        tankRequest(request, socket, parts);
        return true;
    }
    text(404, "Not found.");
    return true;
}

void WebServer::tankRequest(const QHttpServerRequest &request, QTcpSocket *socket, const QStringList &parts)
{
    const auto text = [&](int status, const QByteArray &msg) {
        answer(request, socket, status, "text/plain; charset=utf-8", msg + '\n');
    };
    bool ok = false;
    const int n = parts[4].toInt(&ok);
    if (!ok || n < 1 || n > tanks_.DeviceCount()) {
        text(404, "No such tank.");
        return;
    }
    const QUrlQuery query = request.query();
    if (parts[5] == QLatin1String("history")) {
        QDateTime range[2];
        const QString names[2] = {QStringLiteral("from"), QStringLiteral("to")};
        for (int i = 0; i < 2; ++i) {
            const QString v = query.queryItemValue(names[i], QUrl::FullyDecoded);
            if (v.isEmpty())
                continue;
            range[i] = QDateTime::fromString(v, Qt::ISODate);
            if (!range[i].isValid()) {
                text(400, names[i].toLatin1() + " is no ISO 8601 time.");
                return;
            }
        }
        if (query.queryItemValue(QStringLiteral("format")) == QLatin1String("csv"))
            answer(request, socket, 200, "text/csv; charset=utf-8",
                   WebHistoryCsv(tanks_.table(), n, range[0], range[1]));
        else
            answer(request, socket, 200, "application/json",
                   WebHistoryJson(tanks_.table(), n, range[0], range[1]));
        return;
    }
    if (parts[5] == QLatin1String("consumption")) {
        ConsumptionRequest c;
        c.selection = n;
        c.currentYear = clock_().date().year();
        c.settings = sources_.consumptionSettings();
        c.settings.logVerbrauch = false; // read-only: no protocol file
        const ConsumptionResult result = ComputeConsumption(tanks_.table(), c);
        if (result.groups.empty()) {
            text(404, "No consumption.");
            return;
        }
        answer(request, socket, 200, "application/json", WebConsumptionJson(n, result.groups.front()));
        return;
    }
    if (parts[5] == QLatin1String("chart.png")) {
        chartRequest(request, socket, n);
        return;
    }
    text(404, "Not found.");
}

void WebServer::chartRequest(const QHttpServerRequest &request, QTcpSocket *socket, int n)
{
    const auto text = [&](int status, const QByteArray &msg) {
        answer(request, socket, status, "text/plain; charset=utf-8", msg + '\n');
    };
    if (!charts_) {
        text(404, "Not found.");
        return;
    }
    const QUrlQuery query = request.query();
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
        text(400, "months: 0..1200, percent: 0 or 1, width: " +
                      QByteArray::number(WebChartRenderer::kMinSize.width()) + ".." +
                      QByteArray::number(WebChartRenderer::kMaxSize.width()) +
                      ", height: " + QByteArray::number(WebChartRenderer::kMinSize.height()) + ".." +
                      QByteArray::number(WebChartRenderer::kMaxSize.height()) + '.');
        return;
    }
    job.percent = percent == 1;
    job.size = QSize(width, height);
    const bool started =
        charts_->render(job, [s = QPointer<QTcpSocket>(socket)](int status, const QByteArray &png) {
            if (!s || s->state() != QAbstractSocket::ConnectedState)
                return;
            if (status == 200)
                lateAnswer(s, 200, "image/png", png);
            else
                lateAnswer(s, status, "text/plain; charset=utf-8",
                           status == 404 ? "No history.\n" : "The chart could not be drawn.\n");
        });
    if (!started)
        answer(request, socket, 503, "text/plain; charset=utf-8", "Busy drawing other charts; try again.\n");
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    answer(request, socket, 404, "text/plain; charset=utf-8", "Not found.\n");
}

void WebServer::openStream(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder r = makeResponder(request, socket);
    r.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    r.writeHeader("Content-Type", "text/event-stream; charset=utf-8");
    r.writeHeader("Cache-Control", "no-store");
    r.writeHeader("X-Content-Type-Options", "nosniff");
    r.writeBody("retry: 2000\n\n");
    streams_.append(socket);
    socket->write("event: tanks\ndata: " +
                  WebTanksJson(tanks_.table(), sources_.tempKorrOn(), sources_.state) + "\n\n");
}

void WebServer::tanksChanged()
{
    if (!streams_.isEmpty() && !eventTimer_.isActive())
        eventTimer_.start(kEventPauseMs);
}

void WebServer::sendEvents()
{
    streams_.removeAll(nullptr);
    if (streams_.isEmpty())
        return;
    const QByteArray event =
        "event: tanks\ndata: " + WebTanksJson(tanks_.table(), sources_.tempKorrOn(), sources_.state) + "\n\n";
    for (const QPointer<QTcpSocket> &s : std::as_const(streams_)) {
        if (s->bytesToWrite() > kMaxStreamBacklog)
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
    // Inside a script element "</" would end it early.
    const QByteArray json = QJsonDocument(texts).toJson(QJsonDocument::Compact).replace("</", "<\\/");
    QByteArray html = resource(":/web/index.html");
    html.replace("__LANG__", texts_.locale().bcp47Name().toLatin1());
    html.replace("__TEXTS__", json);
    return html;
}
