#pragma once
#include "SmtpMail.h"

#include <QList>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Delivers messages on worker threads so that a slow or silent mail server
// never holds up the event loop (links, timers, window, SIGTERM). The result
// comes back on the thread this object lives in. An exchange that has not
// ended some seconds after the transport's time limit is reported as timed
// out and left behind, so the messages after it still go out.
class SmtpSender : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const SmtpResult &)>;

    explicit SmtpSender(SmtpTransport transport, QObject *parent = nullptr);
    // Cancels what is still running and waits for the workers, at most two
    // seconds in all; one still blocked then is left to end with the process.
    ~SmtpSender() override;

    // Sends subject and body from the server's sender to one recipient; done
    // is called later, from the event loop, with the outcome.
    void SMTP_Send(const SmtpServer &server, const QString &recipient, const QString &subject,
                   const QString &body, Done done);
    bool isSending() const { return !workers_.isEmpty(); }

private:
    SmtpTransport transport_;
    std::shared_ptr<std::atomic_bool> abort_;
    QList<QThread *> workers_;
};
