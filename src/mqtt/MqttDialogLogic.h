#pragma once
#include "MqttSettings.h"

#include <QString>
#include <functional>

class UiServices;
class Texts;

// What the MQTT settings dialog does, without the widgets: its captions, the
// values it opens with, and OK's check before the values are applied.
class MqttDialogLogic
{
public:
    struct Captions {
        QString window, aktiv, host, port, tls, userName, password, topic, discovery, prefix, ok, cancel,
            help;
    };
    static Captions captions(const Texts &texts);

    using Apply = std::function<void(const MqttValues &)>;
    MqttDialogLogic(const MqttValues &stored, UiServices &ui, const Texts &texts, Apply apply);

    MqttValues values; // the dialog mirrors its fields here before Ok

    // A value that cannot work is said in a box and false returned (the
    // dialog stays open); else the values are applied.
    bool Ok();

private:
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    Apply apply_;
};
