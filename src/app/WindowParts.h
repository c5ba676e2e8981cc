#pragma once
#include "core/Clock.h"

class EmailNotifier;
class EmailSettings;
class ForecastProvider;
class NotificationLog;
class RunSwitches;
class ServiceStatus;
class Settings;
class TankController;
class TankStateWatch;
class Texts;
class UiServices;
struct RunConfig;

// What the main window and the windows it opens use of one run, by
// reference; everything named here outlives the windows. Program builds it
// (WindowPartsOf) beside the controller that owns most of it.
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
    // Each tank's days until empty, kept current as the histories grow.
    ForecastProvider &forecasts;
    // The e-mail settings (the dialog edits them) and the notifications (the
    // dialog's test button).
    EmailSettings &emailSettings;
    EmailNotifier &email;
    // The fleet view: every tank's state, the last word of e-mail and MQTT,
    // what happened.
    TankStateWatch &states;
    ServiceStatus &services;
    NotificationLog &notifications;
};
