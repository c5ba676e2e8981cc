#pragma once
#include "SmtpMail.h"

#include <atomic>

// One SMTP session through libcurl that delivers one message to one
// recipient. It blocks until the server has accepted the message or the
// session failed, so it runs on a worker thread (see SmtpSender); abort ends
// it within about a second.
SmtpResult RunSmtpExchange(const SmtpServer &server, const SmtpTransport &transport, const QString &recipient,
                           const QByteArray &message, const std::atomic_bool &abort);

// The server URL: smtps:// for port 465 (TLS from the first byte), else smtp://.
QByteArray SmtpUrl(const SmtpServer &server);

// libcurl's process-wide set-up; call once on the main thread before any
// exchange starts (it is not safe to race with other threads).
void SmtpGlobalInit();
