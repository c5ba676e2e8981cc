#pragma once
#include "DeviceRecord.h"
#include "Hooks.h"

#include <QByteArray>
#include <QObject>

// Owns the device table and runs everything that follows a telegram, without
// any widget: the window and the headless program both drive it. Views
// subscribe to its signals; the signals are delivered synchronously, in the
// order the evaluation sequence needs.
class TankController : public QObject {
    Q_OBJECT
public:
    explicit TankController(QObject *parent = nullptr);

    DeviceTable &table() { return table_; }
    const DeviceTable &table() const { return table_; }
    int DeviceCount() const { return table_.DeviceCount; }
    DeviceRecord &device(int n) { return table_[n]; }

    void setHistoryHooks(HistoryHooks *h);
    void setEmailHooks(EmailHooks *e);

    // Telegram evaluation: the bytes of one candidate telegram and its source
    // ("" for serial and simulation, the peer address for TCP).
    bool EvalTelegramm(const QByteArray &telegram, const QString &source);
    bool ProcessTelegram(const QByteArray &telegram, const QString &source, const QDateTime &received);

    // Registry.
    void LoadDeviceRecord(int n);
    void SaveDeviceRegistry();
    void AddDevice(int n);

    // Current device (the tank selector's choice); writes "Geräte"/"Aktuell"
    // when it changes, except in client mode. Then refreshes the detail view.
    int currentDevice() const { return current_; }
    void ComboSN_Click(int selectedDevice);
    // The user's edits of the current device.
    void setTankName(const QString &text);
    void setUnit(int code);

signals:
    void deviceAdded(int n);          // create overview entry and selector entry
    void deviceChanged(int n);        // ShowDevice(n)
    void detailChanged(int current);  // the detail view of the current device
    void selectDevice(int n);         // select n in the tank selector
    void telegramAccepted();          // reset the reception watchdog
    void restoreWindow();             // un-minimise before the alarm box
    void tableReset();                // devices removed: rebuild views

private:
    DeviceTable table_;
    int current_ = 0;
    bool alarmBoxOpen_ = false;
    HistoryHooks nullHistory_;
    EmailHooks nullEmail_;
    HistoryHooks *history_ = &nullHistory_;
    EmailHooks *email_ = &nullEmail_;
};
