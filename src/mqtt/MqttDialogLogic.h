#pragma once
#include "MqttSettings.h"

#include <QList>
#include <QString>
#include <functional>

class Texts;
class UiServices;
struct DeviceTable;

// The end of OK in a broker dialog (MQTT, the central installation): the
// first fault, a missing host while switched on, else the dialog's own
// (ownFault, "" for none), else a port out of range, is said in a box and
// false returned; true when the values can work.
bool BrokerValuesOk(bool aktiv, const QString &host, int port, const QString &ownFault, UiServices &ui,
                    const Texts &texts);

// What the MQTT settings dialog does, without the widgets: its captions, the
// values it opens with, and OK's check before the values are applied.
class MqttDialogLogic
{
public:
    // The language the dialog speaks (the run's).
    const Texts &texts() const { return texts_; }
    struct Captions {
        QString window, aktiv, host, port, tls, userName, password, topic, discovery, prefix, ok, cancel,
            help;
    };
    static Captions captions(const Texts &texts);

    using Apply = std::function<void(const MqttValues &)>;
    MqttDialogLogic(const MqttValues &stored, UiServices &ui, const Texts &texts, Apply apply);

    MqttValues values; // the dialog mirrors its fields here before Ok

    // The energy sensor's factor of each registered tank ("kWhProEinheit" +
    // n, values.kwhProEinheit[n - 1]): the tank as the fleet names it, and the
    // unit the factor is per ("kWh per L").
    struct EnergyRow {
        QString tank, unit;
    };
    QList<EnergyRow> energyRows;
    // The rows of tanks 1..DeviceCount.
    static QList<EnergyRow> EnergyRows(const DeviceTable &devices, const Texts &t);

    // A value that cannot work is said in a box and false returned (the
    // dialog stays open); else the values are applied.
    bool Ok();

private:
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    Apply apply_;
};
