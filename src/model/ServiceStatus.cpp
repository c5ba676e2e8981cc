#include "ServiceStatus.h"

using Kind = NotificationLog::Kind;

ServiceStatus::ServiceStatus(NotificationLog &log, ClockFn clock, QObject *parent)
    : QObject(parent), log_(log), clock_(std::move(clock))
{
}

void ServiceStatus::log(Kind kind, const QString &text)
{
    NotificationLog::Event e;
    e.time = clock_();
    e.kind = kind;
    e.text = text;
    log_.add(std::move(e));
}

void ServiceStatus::setMailOff(bool off)
{
    // A result stays shown until the next; only the switch itself changes Off/Ready.
    if (off)
        mail_ = Mail::Off;
    else if (mail_ == Mail::Off)
        mail_ = Mail::Ready;
    emit changed();
}

void ServiceStatus::mailSent()
{
    mail_ = Mail::Sent;
    mailText_.clear();
    mailTime_ = clock_();
    emit changed();
}

void ServiceStatus::mailFailed(const QString &error)
{
    mail_ = Mail::Failed;
    mailText_ = error;
    mailTime_ = clock_();
    log(Kind::EmailFailed, error);
    emit changed();
}

void ServiceStatus::setMqttOff()
{
    mqtt_ = Mqtt::Off;
    mqttText_.clear();
    emit changed();
}

void ServiceStatus::mqttConnecting()
{
    mqtt_ = Mqtt::Connecting;
    mqttText_.clear();
    emit changed();
}

void ServiceStatus::mqttConnected(const QString &text)
{
    // Only the return from a problem is news; the first connection is not.
    if (mqtt_ == Mqtt::Problem)
        log(Kind::MqttBack, text);
    mqtt_ = Mqtt::Connected;
    mqttText_ = text;
    emit changed();
}

void ServiceStatus::mqttProblem(const QString &text)
{
    if (mqtt_ != Mqtt::Problem || mqttText_ != text)
        log(Kind::MqttProblem, text);
    mqtt_ = Mqtt::Problem;
    mqttText_ = text;
    emit changed();
}
