#pragma once
#include "DeviceRegistry.h"
#include "Hooks.h"

#include "core/Clock.h"
#include "core/RunSwitches.h"
#include "core/TraceLog.h"

#include <QByteArray>
#include <QObject>

class Settings;
class UiServices;
class Texts;

// Runs everything that follows a telegram and keeps the current device,
// without any widget; the registered devices and their stored form are its
// `DeviceRegistry`: the window and the headless program both drive it. Views
// subscribe to its signals; the signals are delivered synchronously, in the
// order the evaluation sequence needs.
//
// An evaluation runs to its end without waiting: the boxes it raises (alarm,
// table full) are announced and it carries on, so telegrams of every link
// are evaluated one after the other while a box is open.
class TankController : public QObject
{
    Q_OBJECT
public:
    TankController(const RunSwitches &switches, Settings &settings, UiServices &ui, const Texts &texts,
                   ClockFn clock, QObject *parent = nullptr);

    DeviceRegistry &registry() { return registry_; }
    const DeviceRegistry &registry() const { return registry_; }
    DeviceTable &table() { return registry_.table(); }
    const DeviceTable &table() const { return registry_.table(); }
    int DeviceCount() const { return registry_.DeviceCount(); }
    DeviceRecord &device(int n) { return registry_.device(n); }
    const DeviceRecord &device(int n) const { return registry_.device(n); }
    // "1 Heizöl": the number and the tank's name, the number alone without a
    // name or outside 1..DeviceCount.
    QString label(int n) const;

    void setHistoryHooks(HistoryHooks *h);
    void setEmailHooks(EmailHooks *e);

    // Telegram evaluation: the bytes of one candidate telegram, its source
    // ("" for serial and simulation, the peer address for TCP) and the link
    // it came by. Writes the trace line, then evaluates at the current time.
    // False = rejected.
    //
    // One accepted telegram runs one fixed order: the device record (and
    // deviceChanged for the record's views), the history hooks (history,
    // forecast and meter), telegramAccepted, then the e-mail hooks: loss,
    // state and the tank's snapshot, then the notification rules; the alarm
    // indication last.
    bool EvalTelegramm(const QByteArray &telegram, const QString &source, LinkKind link = LinkKind::None);
    bool ProcessTelegram(const QByteArray &telegram, const QString &source, const QDateTime &received,
                         LinkKind link = LinkKind::None);
    // The device whose telegram is being evaluated now, 0 outside an
    // evaluation: what follows a record change within one is judged once, at
    // the sequence's own step.
    int evaluating() const { return evaluating_; }

    // Start-up: every stored device loaded and added (AddDevice). Returns
    // the stored current device.
    int LoadRegistry();
    // DeviceCount = n, then the views add the device (deviceAdded) and show it.
    void AddDevice(int n);

    // Current device (the tank selector's choice); writes "Geräte"/"Aktuell"
    // when it changes, except in client mode. Then refreshes the detail view.
    // Numbers outside 1..DeviceCount mean "nothing selected" and do nothing.
    int currentDevice() const { return current_; }
    void ComboSN_Click(int selectedDevice);
    // The user's edits of the current device (written at once unless client mode).
    void setTankName(const QString &text);
    void setUnit(int code);
    // The current device's own warning threshold as typed; "" hands it back
    // to the common one. False (nothing written) for anything but a
    // percentage above 0 up to 100.
    bool setWarnThreshold(const QString &typed);
    // The current device's own loss limits and quiet hours as typed (empty:
    // the common value, or at all hours). False (nothing written) when any
    // of them is not one (TankLossEntry).
    bool setLossSettings(const TankLossSettings &typed);
    // Coefficient of the temperature correction for device n.
    void setTempKorr(int n, double k);
    // Shows device n's overview entry again (after a change made elsewhere).
    void refreshDevice(int n) { emit deviceChanged(n); }
    // Selects device n in the tank selector and shows it (start-up).
    void selectAndShow(int n);

    const RunSwitches &switches() const { return switches_; }
    const RunConfig &config() const { return switches_.options(); }

    // Removes devices first..last from the registry (the devices behind move
    // forward) and rebuilds the views. False (nothing changed) for an invalid
    // range. After the registry's stopForGood further telegrams are dropped.
    bool RemoveDevices(int first, int last);

signals:
    void deviceAdded(int n);              // create overview entry and selector entry
    void deviceChanged(int n);            // ShowDevice(n)
    void detailChanged(int current);      // the detail view of the current device
    void selectDevice(int n);             // select n in the tank selector (the controller
                                          // runs ComboSN_Click itself)
    void telegramAccepted(LinkKind link); // reset the reception watchdog; count by link
    void restoreWindow();                 // un-minimise before the alarm box
    void tableReset();                    // devices removed: rebuild views
    // n's own warning threshold was stored anew (just before its deviceChanged).
    void warnThresholdChanged(int n);
    // n's own loss limits or quiet hours were stored anew.
    void lossSettingsChanged(int n);

private:
    int findDevice(int sn, int type) const;
    void showAlarm(int n, bool alarmChanged);

    int current_ = 0;
    int evaluating_ = 0;
    const RunSwitches &switches_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    TraceLog trace_;
    DeviceRegistry registry_;
    // One alarm box, one "table full" box at a time: a device that keeps
    // sending must not stack up boxes while the first is still open.
    bool alarmBoxOpen_ = false;
    bool fullBoxOpen_ = false;
    HistoryHooks nullHistory_;
    EmailHooks nullEmail_;
    HistoryHooks *history_ = &nullHistory_;
    EmailHooks *email_ = &nullEmail_;
};
