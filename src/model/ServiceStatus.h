#pragma once
#include "NotificationLog.h"

#include "core/Clock.h"

#include <QDateTime>
#include <QObject>
#include <QString>

// The last word of the services the status bar shows beside the link: the
// e-mail (last result) and the MQTT broker (connected or the problem). A
// problem, and the end of an MQTT problem, go into the log as well.
class ServiceStatus : public QObject
{
    Q_OBJECT
public:
    enum class Mail { Off, Ready, Sent, Failed };
    enum class Mqtt { Off, Connecting, Connected, Problem };

    ServiceStatus(NotificationLog &log, ClockFn clock, QObject *parent = nullptr);

    void setMailOff(bool off);
    void mailSent();
    void mailFailed(const QString &error);
    void setMqttOff();
    void mqttConnecting();
    void mqttConnected(const QString &text);
    void mqttProblem(const QString &text);

    Mail mail() const { return mail_; }
    QString mailText() const { return mailText_; }
    QDateTime mailTime() const { return mailTime_; }
    Mqtt mqtt() const { return mqtt_; }
    QString mqttText() const { return mqttText_; }

signals:
    void changed();

private:
    void log(NotificationLog::Kind kind, const QString &text);

    NotificationLog &log_;
    ClockFn clock_;
    Mail mail_ = Mail::Off;
    QString mailText_;
    QDateTime mailTime_;
    Mqtt mqtt_ = Mqtt::Off;
    QString mqttText_;
};
