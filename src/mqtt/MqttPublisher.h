#pragma once
#include "MqttClient.h"
#include "MqttSettings.h"

#include "core/TraceLog.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

class TankController;
class UiServices;
struct RunConfig;

// Publishes every tank to the broker of section "MQTT": the retained state
// of a tank after its telegram has been evaluated (never inside the
// evaluation; a busy link's tanks go out together at most every
// kStatePauseMs, each with its latest state), "online"/"offline" on the
// status topic (the broker sends "offline" as the will when the program dies),
// and, with discovery on, the Home Assistant configs of every tank; a
// removed tank's configs are emptied. After every (re)connection everything
// current is published again. A broker that is down or refuses the login is
// said once on status panel 1 and in the trace, until a connection succeeds.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int kStatePauseMs = 100;
    // Days until tank n is empty, nullopt when there is no forecast.
    using DaysFn = std::function<std::optional<double>(int n)>;

    MqttPublisher(TankController &tanks, const RunConfig &config, const MqttValues &values, const QString &caFile,
                  UiServices &ui, ClockFn clock, DaysFn days = {}, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Clean stop: "offline" goes out, then the disconnect. Once.
    void stop();

private:
    void connectedToBroker();
    void brokerProblem(MqttClient::Problem p);
    void tankChanged(int n);
    void publishPending();
    void publishTank(int n);
    void removeStale();
    void say(const QString &text);

    TankController &tanks_;
    const RunConfig &config_;
    MqttValues values_;
    UiServices &ui_;
    TraceLog trace_;
    DaysFn days_;
    std::unique_ptr<MqttClient, MqttClient::Later> client_;
    bool online_ = false;
    bool problemSaid_ = false;
    QSet<int> pending_;
    QTimer publishTimer_;
    QElapsedTimer lastPublished_;
    // What each tank's discovery configs were made from on this connection
    // (unchanged ones are not sent again).
    QHash<int, QString> configSource_;
    // Serial numbers and tank numbers that have been out this run, so what
    // a removal leaves behind is emptied.
    QSet<qint32> knownSerials_;
    int knownTanks_ = 0;
};
