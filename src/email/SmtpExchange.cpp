#include "SmtpExchange.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

// What the session has seen, collected by the debug callback: the last
// command the client sent and the last reply line of the server.
//
// It also decides, on the greeting that ends the session set-up, whether the
// message may go out at all: libcurl logs in only when the server offers
// AUTH and sends non-ASCII addresses raw when the server has no SMTPUTF8;
// both would send what the user did not want. Then the socket is shut at
// once, before libcurl's next command, and the exchange fails with refusal.
struct Session {
    QByteArray lastCommand;
    QByteArray lastReply;
    bool authSent = false;
    bool quitting = false; // the closing QUIT and its reply say nothing about a failure
    // Set before the exchange.
    bool loginRequired = false;
    bool envelopeUtf8 = false;
    int greetingsToGo = 1; // EHLO/HELO replies until the one that counts (a second after STARTTLS)
    // Seen on the way.
    curl_socket_t socket = CURL_SOCKET_BAD;
    bool offersAuth = false, offersUtf8 = false;
    int refusal = 0; // 111 or kNoSmtpUtf8
};

constexpr int kNoSmtpUtf8 = 1001;

void decideAfterGreeting(Session *s)
{
    if (--s->greetingsToGo != 0)
        return;
    if (s->loginRequired && !s->offersAuth)
        s->refusal = 111;
    else if (s->envelopeUtf8 && !s->offersUtf8)
        s->refusal = kNoSmtpUtf8;
    if (s->refusal && s->socket != CURL_SOCKET_BAD)
        ::shutdown(s->socket, SHUT_RDWR);
}

// One reply line of the server: the extensions of an EHLO reply, and its last line.
void onReplyLine(Session *s, const QByteArray &line)
{
    if (s->lastCommand != "EHLO" && s->lastCommand != "HELO")
        return;
    if (line.size() < 4 || !line.startsWith("250"))
        return;
    const QByteArray keyword = line.mid(4).split(' ').value(0).toUpper();
    if (keyword == "AUTH")
        s->offersAuth = true;
    else if (keyword == "SMTPUTF8")
        s->offersUtf8 = true;
    if (line.at(3) == ' ')
        decideAfterGreeting(s);
}

int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *s = static_cast<Session *>(user);
    if (s->quitting)
        return 0;
    if (type == CURLINFO_HEADER_IN) {
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (!line.isEmpty()) {
            s->lastReply = line.left(512);
            onReplyLine(s, line);
        }
    } else if (type == CURLINFO_HEADER_OUT) {
        // Only the verb: an AUTH line carries the credentials.
        QByteArray verb = QByteArray(data, qsizetype(size)).trimmed();
        const qsizetype blank = verb.indexOf(' ');
        if (blank >= 0)
            verb.truncate(blank);
        verb = verb.toUpper();
        if (verb == "QUIT") {
            s->quitting = true;
            return 0;
        }
        if (verb == "AUTH")
            s->authSent = true;
        if (verb == "EHLO" || verb == "HELO") // what the server offered before counts no more
            s->offersAuth = s->offersUtf8 = false;
        if (!verb.isEmpty() && verb.size() <= 10)
            s->lastCommand = verb;
    }
    return 0;
}

struct Upload {
    const QByteArray *data;
    qsizetype at = 0;
};

size_t onRead(char *buffer, size_t size, size_t items, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t n = std::min(size * items, size_t(u->data->size() - u->at));
    std::memcpy(buffer, u->data->constData() + u->at, n);
    u->at += qsizetype(n);
    return n;
}

int onSocket(void *user, curl_socket_t socket, curlsocktype)
{
    static_cast<Session *>(user)->socket = socket;
    return CURL_SOCKOPT_OK;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic_bool *>(user)->load() ? 1 : 0;
}

bool replyIsError(const QByteArray &reply)
{
    return !reply.isEmpty() && (reply.at(0) == '4' || reply.at(0) == '5');
}

// libcurl's outcome as one of the codes the user knows, or libcurl's own
// code and description.
SmtpResult mapResult(CURLcode rc, const Session &s, const char *errorBuffer)
{
    SmtpResult r;
    r.serverResponse = QString::fromUtf8(s.lastReply);
    r.errDesc = QString::fromUtf8(*errorBuffer ? errorBuffer : curl_easy_strerror(rc));
    r.errCode = int(rc);
    if (s.refusal == 111) {
        r.errCode = 111;
        return r;
    }
    if (s.refusal == kNoSmtpUtf8) {
        r.errCode = kNoSmtpUtf8;
        r.errDesc = QStringLiteral("An address has characters beyond ASCII and the mail server does not "
                                   "offer SMTPUTF8; nothing was sent");
        return r;
    }
    switch (rc) {
    case CURLE_OK:
        r = SmtpResult{};
        r.sent = true;
        return r;
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        r.errCode = 3;
        break;
    case CURLE_COULDNT_CONNECT:
        r.errCode = 4;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        r.errCode = 5;
        break;
    case CURLE_LOGIN_DENIED:
        // Without an AUTH command the server offered no way to log in.
        r.errCode = s.authSent ? 114 : 111;
        break;
    case CURLE_USE_SSL_FAILED:
        r.errDesc = QStringLiteral("The mail server does not offer STARTTLS; nothing was sent "
                                   "(an encrypted connection is required)");
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        r.errCode = 116;
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_NOT_BUILT_IN:
        r.errCode = 8;
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        if (replyIsError(s.lastReply) && s.lastCommand == "MAIL")
            r.errCode = 122;
        else if (replyIsError(s.lastReply) && s.lastCommand == "RCPT")
            r.errCode = 123;
        else if (replyIsError(s.lastReply))
            r.errCode = 116;
        else
            r.errCode = 6;
        break;
    default:
        break;
    }
    return r;
}

} // namespace

void SmtpGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray SmtpUrl(const SmtpServer &server)
{
    QString host = server.host.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QString port = server.port.trimmed();
    const bool implicitTls = port == QLatin1String("465");
    return (implicitTls ? QByteArray("smtps://") : QByteArray("smtp://")) + host.toUtf8() + ':' +
           port.toUtf8();
}

namespace
{
bool isAscii(const QByteArray &a)
{
    for (char c : a)
        if (quint8(c) >= 0x80)
            return false;
    return true;
}

// The CA file is opened by the TLS library without a bound: a FIFO would
// block for ever. Only a readable regular file is taken.
bool usableCaFile(const QByteArray &path)
{
    struct stat st {
    };
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.constData(), R_OK) == 0;
}
} // namespace

SmtpResult RunSmtpExchange(const SmtpServer &server, const SmtpTransport &transport, const QString &recipient,
                           const QByteArray &message, const std::atomic_bool &abort)
{
    const QByteArray from = server.sender.trimmed().toUtf8();
    const QByteArray to = recipient.trimmed().toUtf8();
    if (from.isEmpty() || to.isEmpty()) {
        SmtpResult r;
        r.errCode = 121;
        return r;
    }
    for (const auto &[address, field] :
         {std::pair{&server.sender, "sender"}, std::pair{&recipient, "recipient"}}) {
        if (!IsPlainAddress(*address)) {
            SmtpResult r;
            r.errCode = int(CURLE_BAD_FUNCTION_ARGUMENT);
            r.errDesc =
                QStringLiteral("The %1 is not one plain address (no angle brackets, blanks or control "
                               "characters); nothing was sent")
                    .arg(QLatin1String(field));
            return r;
        }
    }

    const QByteArray caFile = transport.caFile.toLocal8Bit();
    const bool tls = server.startTls || SmtpUrl(server).startsWith("smtps:");
    if (tls && !caFile.isEmpty() && !usableCaFile(caFile)) {
        SmtpResult r;
        r.errCode = int(CURLE_SSL_CACERT_BADFILE);
        r.errDesc = QStringLiteral("TANKMON_SMTP_CAFILE is not a readable regular file: ") + transport.caFile;
        return r;
    }

    CURL *curl = curl_easy_init();
    if (!curl) {
        SmtpResult r;
        r.errCode = int(CURLE_FAILED_INIT);
        r.errDesc = QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT));
        return r;
    }
    Session session;
    Upload upload{&message};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const QByteArray url = SmtpUrl(server);
    const QByteArray mailFrom = '<' + from + '>';
    const QByteArray rcpt = '<' + to + '>';
    const QByteArray user = server.userName.toUtf8();
    const QByteArray password = server.password.toUtf8();
    session.loginRequired = server.login;
    session.envelopeUtf8 = !isAscii(from) || !isAscii(to);
    session.greetingsToGo = server.startTls && url.startsWith("smtp:") ? 2 : 1;
    curl_slist *recipients = curl_slist_append(nullptr, rcpt.constData());

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(transport.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(transport.totalTimeoutMs));
    if (server.startTls)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    if (server.login) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &session);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, onSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &session);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &abort);

    const CURLcode rc = curl_easy_perform(curl);
    SmtpResult r = mapResult(rc, session, errorBuffer);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    return r;
}
