#pragma once
#include "CentralSettings.h"

#include "core/Clock.h"
#include "model/TankSnapshot.h"
#include "mqtt/MqttClient.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

class SiteTanks;

// The central installation's source of tanks: one subscription on the
// broker to every site under the filter ("<site>/status" and
// "<site>/tank<n>/state"), each message turned into the site's status or a
// remote tank's snapshot in the SiteTanks store. Retained messages (what the
// broker replays on a (re)subscription) are the known state; only a live
// message is a change worth telling (tankChanged, siteChanged). A tank whose
// last reading is older than the silence hours becomes silent here, as the
// site's own program would judge it while it was online.
class Centre : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSilenceCheckMs = 60000;

    Centre(SiteTanks &store, const CentralValues &v, const QString &caFile, int silenceHours, ClockFn clock,
           QObject *parent = nullptr);
    ~Centre() override;

    void start();
    // Said goodbye to the broker; the client ends on its own thread.
    void stop();
    bool connected() const { return connected_; }
    // What the broker passed on, in order (the client's burst; a test may feed it).
    void take(const std::vector<MqttInbound> &messages);
    // Every tank judged for silence now (the minute's check).
    void checkSilence();

signals:
    // A remote tank changed its condition by a live message or the silence
    // check; before is null for a tank not seen before.
    void tankChanged(const TankSnapshotPtr &before, const TankSnapshotPtr &after);
    // A site went offline (its last will) or came back, live.
    void siteChanged(int site, bool online);
    // The broker was reached or lost; text says which and why.
    void brokerState(bool connected, const QString &text);
    // A remote tank's snapshot changed, retained or live (the history).
    void tankUpdated(const TankSnapshotPtr &snapshot);

private:
    void put(int site, TankSnapshotPtr s, bool live);

    SiteTanks &store_;
    CentralValues values_;
    int silenceHours_;
    ClockFn clock_;
    std::unique_ptr<MqttClient, MqttClient::Later> client_;
    bool connected_ = false;
    QTimer silenceTimer_;
};
