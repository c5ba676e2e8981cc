#include "MqttConnectionTest.h"

#include "core/TextHelpers.h"
#include "lang/Lng.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <atomic>

MqttConnectionTest::MqttConnectionTest(const MqttValues &values, const QString &caFile, int limitMs,
                                       QObject *parent)
    : QObject(parent)
{
    static std::atomic<int> serial{0};
    // Never the publisher's id: the broker would drop that connection for ours.
    endpoint_ = EndpointOf(values, caFile,
                           QStringLiteral("tankmon-test-%1-%2-%3")
                               .arg(QSysInfo::machineHostName())
                               .arg(QCoreApplication::applicationPid())
                               .arg(++serial));
    endpoint_.host = endpoint_.host.trimmed();
    limit_.setSingleShot(true);
    limit_.setInterval(limitMs);
    connect(&limit_, &QTimer::timeout, this, [this] { finish(Result::NoAnswer); });
}

MqttConnectionTest::~MqttConnectionTest() = default;

void MqttConnectionTest::start()
{
    if (endpoint_.host.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { finish(Result::Unreachable); }, Qt::QueuedConnection);
        return;
    }
    client_.reset(new MqttClient(endpoint_));
    connect(client_.get(), &MqttClient::connected, this, [this] { finish(Result::Accepted); });
    connect(client_.get(), &MqttClient::problem, this, [this](MqttClient::Problem p) {
        finish(p == MqttClient::Problem::LoginRefused ? Result::Refused : Result::Unreachable);
    });
    limit_.start();
    client_->start();
}

void MqttConnectionTest::finish(Result r)
{
    if (done_)
        return;
    done_ = true;
    limit_.stop();
    client_.reset(); // stops without waiting for the network thread
    emit finished(r);
}

QString MqttConnectionTest::ResultText(Result r, const MqttValues &values, const Texts &t)
{
    const QString broker = values.host.trimmed() + QLatin1Char(':') + QString::number(values.port);
    switch (r) {
    case Result::Accepted:
        return FormatText(t(912), {broker});
    case Result::Refused:
        return FormatText(t(913), {broker});
    case Result::Unreachable:
        return FormatText(t(914), {broker});
    case Result::NoAnswer:
        break;
    }
    return FormatText(t(915), {broker});
}
