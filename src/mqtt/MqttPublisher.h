#pragma once
#include "MqttClient.h"
#include "MqttPayloads.h"
#include "MqttSettings.h"

#include "core/TraceLog.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class Settings;
class TankController;
class TankSnapshots;
class UiServices;
class RunSwitches;
class Texts;

// Publishes every tank to the broker of section "MQTT": the retained state
// of a tank (its snapshot) after its telegram has been evaluated (never inside the
// evaluation; a busy link's tanks go out together at most every
// kStatePauseMs, each with its latest state), "online"/"offline" on the
// status topic (the broker sends "offline" as the will when the program dies),
// and, with discovery on, the Home Assistant configs of every tank; a
// removed tank's configs are emptied. After every (re)connection everything
// current is published again. A broker that is down or refuses the login is
// said once on status panel 1 and in the trace, until a connection succeeds.
//
// A tank's state never goes back in time at the broker, not even after the
// program was killed before it saved the registry: before a state newer than
// the stored one goes out, each tank's "MqttNeuerAls" is set to its stored
// "Uhrzeit" (one replace; the next registry save makes them differ again).
// A start that finds them equal leaves the broker's newer state alone until
// the tank's next telegram.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStatePauseMs = 100;

    // Each tank's state is its snapshot's (a new one is what goes out).
    MqttPublisher(TankController &tanks, const TankSnapshots &snapshots, const RunSwitches &switches,
                  Settings &settings, const MqttValues &values, const QString &caFile, UiServices &ui,
                  const Texts &texts, ClockFn clock, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Clean stop: "offline" goes out, then the disconnect. Once.
    void stop();
    // Whether the broker is connected now.
    bool online() const { return online_; }

signals:
    // Connected to the broker, or the problem said (text: as on panel 1).
    void brokerState(bool connected, const QString &text);

private:
    void connectedToBroker();
    void brokerProblem(MqttClient::Problem p);
    void tankChanged(int n);
    void publishPending();
    void publishTank(int n);
    void removeStale();
    void say(const QString &text);
    // What the settings file says about tank n's stored state.
    bool storedStateOutrun(int n) const;
    void readFloors();
    bool mayPublish(int n) const;
    void markStatesNewerThanStored(const QSet<int> &tanks);

    TankController &tanks_;
    const TankSnapshots &snapshots_;
    const RunSwitches &switches_;
    Settings &settings_;
    ClockFn clock_;
    MqttValues values_;
    QString siteName_; // what a central installation shows for this one
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    TraceLog trace_;
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
    // Per tank: the earliest measurement time (to the second) that may still
    // go out; absent: any. An invalid time: any state that has a time.
    QHash<int, QDateTime> floor_;
    // After a failed write of the marks: when to try again.
    QDateTime markRetry_;
};
