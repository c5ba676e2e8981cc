#include "TcpLink.h"

#include "Framing.h"

#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "lang/Lng.h"

#include <QElapsedTimer>

namespace
{
constexpr qint32 kTickMs = 1000;         // what one check tick counts for
constexpr qint32 kMaxConnectTime = 5000; // cut at the sixth tick
constexpr int kDefaultPort = 8000;
// One turn of the event loop reads at most this much and evaluates lines for
// at most this long; the rest waits for the next turn, so a flood of lines
// cannot hold up the connection-time cut, the other links or SIGTERM. The
// socket buffers no more than one read: a faster peer is slowed down by TCP.
constexpr qint64 kMaxRead = 64 * 1024;
constexpr int kSliceMs = 20;

QString dotted(const QHostAddress &a)
{
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : a.toString();
}
} // namespace

int StoredListenPort(const Settings &settings)
{
    const qint64 p = settings.readInt(Cfg::ClientPort);
    return p < 1 || p > 99999 ? kDefaultPort : int(p);
}

TcpLink::TcpLink(const TcpLinkConfig &config, const Texts &texts, int tickMs, QObject *parent)
    : DeviceLink(parent), config_(config), texts_(texts), cutDelayMs_(qMax(1, tickMs / 10)),
      errorDelayMs_(tickMs)
{
    // One slot: the kernel must not queue a second peer behind the first.
    server_.setMaxPendingConnections(1);
    connect(&server_, &QTcpServer::newConnection, this, &TcpLink::onNewConnection);
    connect(&server_, &QTcpServer::acceptError, this, &TcpLink::onError);
    checkTimer_.setInterval(tickMs);
    connect(&checkTimer_, &QTimer::timeout, this, &TcpLink::checkConnectionTime);
    sliceTimer_.setSingleShot(true);
    sliceTimer_.setInterval(0);
    connect(&sliceTimer_, &QTimer::timeout, this, &TcpLink::readSlice);
    relistenTimer_.setSingleShot(true);
    connect(&relistenTimer_, &QTimer::timeout, this, [this] {
        if (!startListening()) {
            // Port taken meanwhile: say so once per attempt, keep trying quietly.
            sayCannotListen(server_.errorString(), false);
            relistenAfter(errorDelayMs_);
        }
    });
}

TcpLink::~TcpLink()
{
    close();
}

std::optional<QHostAddress> ListenAddress(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QHostAddress(QHostAddress::Any);
    QHostAddress a;
    if (!a.setAddress(t))
        return std::nullopt;
    return a;
}

bool TcpLink::listen()
{
    close();
    const int p = config_.port;
    // 65536..99999 pass the range rule but are no TCP port: listening fails.
    port_ = p <= 65535 ? quint16(p) : 0;
    const QString stored = config_.address;
    const std::optional<QHostAddress> address = ListenAddress(stored);
    // A wrong address listens nowhere rather than everywhere.
    address_ = address.value_or(QHostAddress());
    QString reason;
    if (p > 65535)
        reason = texts_(1202);
    else if (!address)
        reason = FormatText(texts_(1203), {stored.trimmed()});
    else if (!startListening())
        reason = server_.errorString();
    if (!reason.isEmpty()) {
        sayCannotListen(reason, true);
        return false;
    }
    checkTimer_.start();
    return true;
}

void TcpLink::sayCannotListen(const QString &reason, bool box)
{
    const QString port = QString::number(config_.port);
    const QString where = address_ == QHostAddress(QHostAddress::Any) || address_.isNull()
                              ? port
                              : (address_.protocol() == QAbstractSocket::IPv6Protocol
                                     ? QLatin1Char('[') + address_.toString() + QLatin1Char(']')
                                     : address_.toString()) +
                                    QLatin1Char(':') + port;
    const QString text = FormatText(texts_(1200), {where, reason});
    trace(QStringLiteral("TCP_Listen ") + text);
    emit problem(text, box ? text : QString());
}

bool TcpLink::startListening()
{
    if (server_.isListening())
        return true;
    return server_.listen(address_, port_);
}

void TcpLink::close()
{
    relistenTimer_.stop();
    checkTimer_.stop();
    dropPeer();
    server_.close();
    winConnectTime_ = 0;
}

QString TcpLink::peer() const
{
    return socket_ ? remoteIP_ : QString();
}

DeviceLink::State TcpLink::state() const
{
    if (socket_ && socket_->state() == QAbstractSocket::ConnectedState)
        return State::Connected;
    return server_.isListening() ? State::Open : State::Closed;
}

void TcpLink::onNewConnection()
{
    QTcpSocket *s = server_.nextPendingConnection();
    if (!s)
        return;
    // One connection slot: stop listening, turn away anyone queued behind.
    while (QTcpSocket *extra = server_.nextPendingConnection()) {
        extra->abort();
        extra->deleteLater();
    }
    server_.close();
    if (socket_) {
        s->abort();
        s->deleteLater();
        return;
    }
    remoteIP_ = dotted(s->peerAddress());
    socket_ = s;
    // A line left over from the previous peer is no part of this peer's data.
    lines_.clear();
    s->setReadBufferSize(kMaxRead);
    winConnectTime_ = 0;
    connect(s, &QTcpSocket::readyRead, this, &TcpLink::onReadyRead);
    connect(s, &QTcpSocket::disconnected, this, &TcpLink::onDisconnected);
    connect(s, &QTcpSocket::errorOccurred, this, &TcpLink::onError);
    s->write("TANKMON\n");
    trace(QStringLiteral("TCP_ConnectionRequest RequestID=") + QString::number(s->socketDescriptor()) +
          QStringLiteral(" RemoteHostIP=") + remoteIP_);
}

void TcpLink::onReadyRead()
{
    if (!sliceTimer_.isActive())
        readSlice();
}

void TcpLink::readSlice()
{
    if (!socket_)
        return;
    QPointer<QTcpSocket> s = socket_;
    QElapsedTimer spent;
    spent.start();
    QByteArray line;
    // A slice ends before it reads more, never between taking bytes and
    // looking at them: an overlong line is cut in the turn it arrives.
    for (;;) {
        switch (lines_.next(&line)) {
        case TcpLineReader::Next::NeedMore:
            if (peerClosed_) {
                // Every line the peer sent is evaluated; an unfinished one is dropped.
                closeAfterPeer();
                return;
            }
            if (s->bytesAvailable() <= 0)
                return; // readyRead brings more
            if (spent.elapsed() >= kSliceMs) {
                sliceTimer_.start();
                return;
            }
            take(s->read(kMaxRead));
            break;
        case TcpLineReader::Next::TooLong:
            trace(QStringLiteral("TCP_LineTooLong Length>") + QString::number(kMaxLineLength) +
                  QStringLiteral(" RemoteHostIP=") + remoteIP_ + QStringLiteral(" connection closed"));
            dropPeer();
            relistenAfter(cutDelayMs_);
            return;
        case TcpLineReader::Next::Line:
            emit telegramReceived(DecodeHexLine(line), remoteIP_);
            if (!s || s != socket_)
                return; // the evaluation closed the link (a restart)
            if (spent.elapsed() >= kSliceMs) {
                sliceTimer_.start();
                return;
            }
            break;
        }
    }
}

void TcpLink::take(const QByteArray &d)
{
    if (tracing())
        emit traceLine(QStringLiteral("TCP_DataArrival BytesTotal=") + QString::number(d.size()) +
                       QStringLiteral(" RemoteHostIP=") + remoteIP_ + QStringLiteral(" Data=") +
                       TraceData(d));
    lines_.append(d);
}

void TcpLink::onDisconnected()
{
    if (!socket_ || peerClosed_)
        return;
    // The peer may close right after its last lines, before the slices got
    // to them: take what the socket still holds (at most one read, the read
    // buffer is bounded) and evaluate it in slices as usual; the slot is freed
    // once all of it is done. Nothing reads the socket after this.
    peerClosed_ = true;
    const QByteArray rest = socket_->readAll();
    if (!rest.isEmpty())
        take(rest);
    if (!sliceTimer_.isActive())
        readSlice();
}

void TcpLink::closeAfterPeer()
{
    trace(QStringLiteral("TCP_Close State=") + QString::number(WinsockClosing));
    dropPeer();
    relistenTimer_.stop();
    if (!startListening())
        relistenAfter(errorDelayMs_);
}

void TcpLink::onError(QAbstractSocket::SocketError e)
{
    if (e == QAbstractSocket::RemoteHostClosedError)
        return; // the close event follows
    const QString t = socket_ && sender() == socket_ ? socket_->errorString() : server_.errorString();
    trace(QStringLiteral("TCP_Error ErrorCode=") + QString::number(int(e)) + QLatin1Char(' ') + t +
          QStringLiteral(" Source=TcpLink"));
    emit problem(QStringLiteral("TCP error: ") + t, QString());
    dropPeer();
    server_.close();
    relistenAfter(errorDelayMs_);
}

void TcpLink::checkConnectionTime()
{
    winConnectTime_ = state() == State::Connected ? winConnectTime_ + kTickMs : 0;
    if (winConnectTime_ > kMaxConnectTime) {
        winConnectTime_ = 0;
        dropPeer();
        relistenAfter(cutDelayMs_);
    }
}

void TcpLink::dropPeer()
{
    if (!socket_)
        return;
    QTcpSocket *s = socket_;
    socket_ = nullptr;
    peerClosed_ = false;
    sliceTimer_.stop();
    lines_.clear();
    s->disconnect(this);
    s->abort();
    s->deleteLater();
    winConnectTime_ = 0;
}

void TcpLink::relistenAfter(int ms)
{
    relistenTimer_.start(ms);
    if (!checkTimer_.isActive())
        checkTimer_.start();
}
