#pragma once
#include "core/Clock.h"

#include <QObject>
#include <QTimer>

class EmailNotifier;
class EmailSettings;
class Settings;
struct DeviceTable;
struct RunConfig;

// The e-mail about a tank that has gone silent: once a minute every tank is
// checked; one that has sent no accepted telegram for more than
// "StilleStunden" hours gets one message (ReasonSilent), and one more
// (ReasonReturned) once its telegrams come back. The last accepted telegram is
// the tank's measurement time, which the registry keeps across restarts; the
// per-tank "StilleGemeldet" key of section "E-Mail" keeps whether the silence
// has been reported, so a restart neither repeats nor forgets a message.
// Nothing is checked in client mode; the messages of one check queue behind
// those on their way.
class SilenceAlarm : public QObject
{
    Q_OBJECT
public:
    SilenceAlarm(const DeviceTable &devices, EmailSettings &values, Settings &settings,
                 const RunConfig &config, ClockFn clock, EmailNotifier &notifier, QObject *parent = nullptr);

    // Starts the one-minute timer (server mode only).
    void start();
    // One check of every tank, as the timer runs it.
    void CheckSilence();

private:
    const DeviceTable &devices_;
    EmailSettings &values_;
    Settings &settings_;
    const RunConfig &config_;
    ClockFn clock_;
    EmailNotifier &notifier_;
    QTimer timer_;
};
