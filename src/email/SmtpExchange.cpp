#include "SmtpExchange.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace
{

// What the session has seen, collected by the debug callback: the last
// command the client sent and the last reply line of the server.
struct Session {
    QByteArray lastCommand;
    QByteArray lastReply;
    bool authSent = false;
    bool quitting = false; // the closing QUIT and its reply say nothing about a failure
};

int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *s = static_cast<Session *>(user);
    if (s->quitting)
        return 0;
    if (type == CURLINFO_HEADER_IN) {
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (!line.isEmpty())
            s->lastReply = line.left(512);
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

SmtpResult RunSmtpExchange(const SmtpServer &server, const SmtpTransport &transport, const QString &recipient,
                           const QByteArray &message, const std::atomic_bool &abort)
{
    const QByteArray from = server.sender.trimmed().toUtf8();
    const QByteArray to = recipient.trimmed().toUtf8();
    auto hasControl = [](const QByteArray &a) {
        for (char c : a)
            if (quint8(c) < 0x20 || c == 0x7f)
                return true;
        return false;
    };
    if (from.isEmpty() || to.isEmpty() || hasControl(from) || hasControl(to)) {
        SmtpResult r;
        r.errCode = 121;
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
    const QByteArray caFile = transport.caFile.toLocal8Bit();
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
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &abort);

    const CURLcode rc = curl_easy_perform(curl);
    SmtpResult r = mapResult(rc, session, errorBuffer);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    return r;
}
