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
        proc_.setProgram(QStringLiteral("/usr/bin/python3"));
        proc_.setArguments(QStringList{QStringLiteral("-W"), QStringLiteral("ignore"),
                                       QStringLiteral(TANKMON_SOURCE_DIR "/tests/email/smtp_server.py")} +
                           args);
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] {
            while (proc_.canReadLine())
                lines_ << QString::fromUtf8(proc_.readLine()).trimmed();
        });
        proc_.start();
        WaitFor([this] { return port() != 0 || proc_.state() == QProcess::NotRunning; }, 15000);
    }
    ~SmtpPeer()
    {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
    quint16 port() const
    {
        for (const QString &l : lines_)
            if (l.startsWith(QLatin1String("PORT ")))
                return quint16(l.mid(5).toUInt());
        return 0;
    }
    // Lines the client sent, and accepted messages as "from to" plus raw bytes.
    QStringList commands() const
    {
        QStringList out;
        for (const QString &l : lines_)
            if (l.startsWith(QLatin1String("C ")))
                out << l.mid(2);
        return out;
    }
    QList<QPair<QString, QByteArray>> messages() const
    {
        QList<QPair<QString, QByteArray>> out;
        for (const QString &l : lines_)
            if (l.startsWith(QLatin1String("MAIL "))) {
                const QStringList w = l.split(QLatin1Char(' '));
                out.append({w[1] + QLatin1Char(' ') + w[2], QByteArray::fromBase64(w[3].toLatin1())});
            }
        return out;
    }

private:
    QProcess proc_;
    QStringList lines_;
};

// The "E-Mail" section of a settings file that mails every alarm through the
// peer on port, in the clear and without login.
inline QByteArray MailSettings(quint16 port)
{
    return "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\nSMTPPort=" +
           QByteArray::number(port) +
           "\r\nSTARTTLS=0\r\nLogin=0\r\nAbsenderEmail=tankmon@example.org\r\nBetreff=%21 %15 / SN %07\r\n";
}
