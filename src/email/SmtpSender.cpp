#include "SmtpSender.h"

#include "SmtpExchange.h"

#include <QThread>

SmtpSender::SmtpSender(SmtpTransport transport, QObject *parent)
    : QObject(parent), transport_(std::move(transport)), abort_(std::make_shared<std::atomic_bool>(false))
{
    SmtpGlobalInit();
}

SmtpSender::~SmtpSender()
{
    abort_->store(true);
    for (QThread *t : std::as_const(workers_)) {
        t->disconnect(this);
        t->wait();
        delete t;
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
    // finished is emitted on the worker; the context object makes it queued.
    connect(worker, &QThread::finished, this, [this, worker, result, done = std::move(done)] {
        workers_.removeOne(worker);
        worker->deleteLater();
        if (done)
            done(*result);
    });
    worker->start();
}
