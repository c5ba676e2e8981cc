#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

// The in-memory history of one tank: three parallel arrays, index 0 a
// placeholder that is never shown, entries 1..count().
struct TankHistory {
    static constexpr int kMaxEntries = 500000;
    std::vector<qint64> HistoryTimes{0};  // naive local time, seconds since 1970-01-01
    std::vector<double> HistoryValues{0}; // level in display units
    std::vector<qint32> HistoryTemps{0};  // whole degrees C, -9999 = none

    int count() const { return int(HistoryTimes.size()) - 1; }
    void reset();
    // Appends; a full history lets its oldest entry go, so the present is
    // always shown (the tank file keeps every entry). False when it did.
    bool append(const QDateTime &t, double value, qint32 temp);
    QDateTime time(int i) const;
    static qint64 toSecs(const QDateTime &t);
    static QDateTime fromSecs(qint64 s);
};

constexpr qint16 kNoTemperature = -9999;

struct DeviceRecord {
    qint32 SN = 0;           // serial number 0..65535
    qint32 Geraetetyp = 0;   // device type 2..255, 0 while unknown
    qint16 Temperatur = 0;   // degrees C, -9999 = none
    qint32 Volumen = 0;      // measured value as sent; negative = device error code
    qint32 Einheit = 0;      // unit code
    qint16 Tanktyp = 0;      // tank shape 0..15
    qint16 DezPunkt = 0;     // scale code 0..7
    qint32 Tankvolumen = 0;  // capacity, unscaled units of Volumen
    qint32 Tankhoehe = 0;    // height in mm
    QDateTime Uhrzeit;       // last evaluated telegram; invalid = no date
    QString Tankbezeichnung; // the user's tank name
    bool Alarm = false;
    QString ClientIP; // "" for serial, the peer address for TCP
    TankHistory History;
    double TempKorr = 1; // per mille per degree C
};

constexpr int kMaxDevices = 56;

// Devices 1..56; DeviceCount says how many are in use.
struct DeviceTable {
    std::array<DeviceRecord, kMaxDevices + 1> records; // [0] unused
    int DeviceCount = 0;
    DeviceRecord &operator[](int n) { return records[size_t(n)]; }
    const DeviceRecord &operator[](int n) const { return records[size_t(n)]; }
};
