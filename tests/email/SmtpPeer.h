#pragma once
// The aiosmtpd peer of the e-mail tests (tests/email/smtp_server.py, run
// with Debian's /usr/bin/python3 so that its aiosmtpd is the one found).
#include "support/TestSupport.h"

#include <QProcess>

// The aiosmtpd peer and what it logged: the lines the client sent, and the
// accepted messages as "from to" plus raw bytes.
struct SmtpPeer {
    explicit SmtpPeer(const QStringList &args)
    {
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&proc, &QProcess::readyReadStandardOutput, [this] {
            while (proc.canReadLine()) {
                const QString l = QString::fromUtf8(proc.readLine()).trimmed();
                const QStringList w = l.split(' ');
                if (w[0] == "PORT")
                    port = quint16(w[1].toUInt());
                else if (w[0] == "C")
                    commands << l.mid(2);
                else if (w[0] == "MAIL")
                    messages.append({w[1] + ' ' + w[2], QByteArray::fromBase64(w[3].toLatin1())});
            }
        });
        const QString script = TANKMON_SOURCE_DIR "/tests/email/smtp_server.py";
        proc.start("/usr/bin/python3", QStringList{"-W", "ignore", script} + args);
        WaitFor([this] { return port != 0 || proc.state() == QProcess::NotRunning; }, 15000);
        EXPECT_NE(port, 0) << "the aiosmtpd peer did not start";
    }
    ~SmtpPeer()
    {
        proc.kill();
        proc.waitForFinished(5000);
    }

    QProcess proc;
    quint16 port = 0;
    QStringList commands;
    QList<QPair<QString, QByteArray>> messages;
};

// The "E-Mail" section of a settings file that mails every alarm through the
// peer on port, in the clear and without login.
inline QByteArray MailSettings(quint16 port)
{
    return "[E-Mail]\r\nAktiv=1\r\nEmpf\xE4nger 1=service@example.org\r\nSMTPServer=127.0.0.1\r\nSMTPPort=" +
           QByteArray::number(port) +
           "\r\nSTARTTLS=0\r\nLogin=0\r\nAbsenderEmail=tankmon@example.org\r\nBetreff=%21 %15 / SN %07\r\n";
}
