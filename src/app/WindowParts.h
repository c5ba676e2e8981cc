#pragma once
#include "core/Clock.h"

class EmailNotifier;
class EmailSettings;
class NotificationLog;
class RunSwitches;
class ServiceStatus;
class SiteTanks;
class Settings;
class TankController;
class TankSnapshots;
class Texts;
class UiServices;
struct RunConfig;

// What the main window and the windows it opens use of one run, by
// reference; everything named here outlives the windows. Program builds it
// (WindowPartsOf) from the run's parts.
struct WindowParts {
    const RunConfig &config;
    // The dialogs that change a switch (log settings) write here.
    RunSwitches &switches;
    Settings &settings;
    UiServices &ui;
    const ClockFn &clock;
    // The run's language, fixed at start-up.
    const Texts &texts;
    TankController &tanks;
    // Each tank as the views show it: figures, state, loss, forecast, meter.
    TankSnapshots &snapshots;
    // The e-mail settings (the dialog edits them) and the notifications (the
    // dialog's test button).
    EmailSettings &emailSettings;
    EmailNotifier &email;
    // The last word of e-mail and MQTT, what happened.
    ServiceStatus &services;
    NotificationLog &notifications;
    // A central installation's remote sites' tanks (empty elsewhere).
    SiteTanks &sites;
    // Where their tank files are kept.
    const QString &remoteHistoryFolder;
};
