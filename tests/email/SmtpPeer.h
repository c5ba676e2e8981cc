#pragma once
// The aiosmtpd peer of the e-mail tests (tests/email/smtp_server.py, run
// with Debian's /usr/bin/python3 so that its aiosmtpd is the one found).
#include "support/TestSupport.h"

#include <QList>
#include <QPair>
#include <QProcess>
#include <QStringList>

// The aiosmtpd peer and what it logged.
class SmtpPeer
{
public:
    explicit SmtpPeer(const QStringList &args)
    {
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] {
            while (proc_.canReadLine()) {
                const QString l = QString::fromUtf8(proc_.readLine()).trimmed();
                const QStringList w = l.split(QLatin1Char(' '));
                if (w[0] == QLatin1String("PORT"))
                    port_ = quint16(w[1].toUInt());
                else if (w[0] == QLatin1String("C"))
                    commands_ << l.mid(2);
                else if (w[0] == QLatin1String("MAIL"))
                    messages_.append(
                        {w[1] + QLatin1Char(' ') + w[2], QByteArray::fromBase64(w[3].toLatin1())});
            }
        });
        proc_.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{QStringLiteral("-W"), QStringLiteral("ignore"),
                                QStringLiteral(TANKMON_SOURCE_DIR "/tests/email/smtp_server.py")} +
                        args);
        WaitFor([this] { return port_ != 0 || proc_.state() == QProcess::NotRunning; }, 15000);
    }
    ~SmtpPeer()
    {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
    quint16 port() const { return port_; }
    // Lines the client sent, and accepted messages as "from to" plus raw bytes.
    QStringList commands() const { return commands_; }
    QList<QPair<QString, QByteArray>> messages() const { return messages_; }

private:
    QProcess proc_;
    quint16 port_ = 0;
    QStringList commands_;
    QList<QPair<QString, QByteArray>> messages_;
};

// The "E-Mail" section of a settings file that mails every alarm through the
// peer on port, in the clear and without login.
inline QByteArray MailSettings(quint16 port)
{
    return "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\nSMTPPort=" +
           QByteArray::number(port) +
           "\r\nSTARTTLS=0\r\nLogin=0\r\nAbsenderEmail=tankmon@example.org\r\nBetreff=%21 %15 / SN %07\r\n";
}
