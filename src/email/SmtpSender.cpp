#include "SmtpSender.h"

#include "SmtpExchange.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <utility>

namespace
{
// How long the end of the program waits for exchanges still running, in all.
constexpr int kEndWaitMs = 2000;
// Beyond the transport's own time limit: a worker blocked where libcurl's
// limits do not reach (a name lookup or a file on a hung mount) is given up.
constexpr int kWatchdogGraceMs = 5000;

void giveUp(QThread *worker)
{
    // It cannot be stopped; it is left to end by itself and then deleted
    // (or to end with the process).
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
}
} // namespace

SmtpSender::SmtpSender(SmtpTransport transport, QObject *parent)
    : QObject(parent), transport_(std::move(transport)), abort_(std::make_shared<std::atomic_bool>(false))
{
    SmtpGlobalInit();
}

SmtpSender::~SmtpSender()
{
    abort_->store(true);
    // Bounded: whatever a worker does, the program ends (SIGTERM, quit).
    const QDeadlineTimer deadline(kEndWaitMs);
    for (QThread *t : std::as_const(workers_)) {
        t->disconnect(this);
        if (t->wait(deadline))
            delete t;
        else
            giveUp(t);
    }
}

void SmtpSender::SMTP_Send(const SmtpServer &server, const QString &recipient, const QString &subject,
                           const QString &body, Done done)
{
    const QByteArray message =
        BuildMailMessage(server.sender, recipient, subject, body, QDateTime::currentDateTime());
    auto result = std::make_shared<SmtpResult>();
    QThread *worker =
        QThread::create([server, transport = transport_, recipient, message, result, abort = abort_] {
            *result = RunSmtpExchange(server, transport, recipient, message, *abort);
        });
    workers_.append(worker);
    // Reported once: by the worker's end or by the watchdog.
    auto pending = std::make_shared<Done>(std::move(done));
    // finished is emitted on the worker; the context object makes it queued.
    connect(worker, &QThread::finished, this, [this, worker, result, pending] {
        workers_.removeOne(worker);
        worker->deleteLater();
        if (Done d = std::exchange(*pending, nullptr))
            d(*result);
    });
    QTimer::singleShot(transport_.totalTimeoutMs + kWatchdogGraceMs, this, [this, worker, pending] {
        if (!*pending)
            return;
        workers_.removeOne(worker);
        worker->disconnect(this);
        giveUp(worker);
        SmtpResult timedOut;
        timedOut.errCode = 5;
        if (Done d = std::exchange(*pending, nullptr))
            d(timedOut);
    });
    worker->start();
}
