#pragma once
#include "DeviceRecord.h"
#include "TankState.h"

#include <QDateTime>
#include <memory>
#include <optional>

// One tank as every view and publisher shows it, composed once per change
// after the tank's evaluation: its record's figures (without the history),
// the values in display units, its state, loss, forecast and meter, and the
// link its last telegram came by. Immutable once composed; readers keep a
// shared pointer and never see it change under them.
struct TankSnapshot {
    int tank = 0;
    QString site;        // the remote site the tank belongs to; empty: this installation's own
    DeviceRecord record; // the figures as evaluated; History stays empty
    QString label;       // "1 Heizöl": the number and the name
    bool tempKorrOn = false;
    std::optional<double> level;   // display units, corrected when switched on; none in a fault
    std::optional<double> percent; // the whole percent the main window shows; none in a fault
    TankStatus status;
    bool loss = false; // a loss event is open
    // When the tank runs empty at its recent use (invalid: no forecast, as
    // in a device fault), and that use per day.
    QDateTime emptyAt;
    double dailyUse = 0;
    std::optional<double> consumed; // the consumption meter, display units
    LinkKind link = LinkKind::None;

    bool fault() const { return record.Volumen < 0; }
    // The days from now until emptyAt, never negative; none without a forecast.
    std::optional<double> daysUntilEmpty(const QDateTime &now) const;
    bool operator==(const TankSnapshot &) const = default;
};
using TankSnapshotPtr = std::shared_ptr<const TankSnapshot>;

// What a snapshot takes besides the record.
struct SnapshotFigures {
    QString label;
    bool tempKorrOn = false;
    TankStatus status;
    bool loss = false;
    QDateTime emptyAt; // invalid: no forecast
    double dailyUse = 0;
    std::optional<double> consumed;
};

// The snapshot of tank n: pure. A device in fault has neither level nor
// forecast.
TankSnapshot ComposeSnapshot(int n, const DeviceRecord &rec, const SnapshotFigures &f);
// The record's figures without its history (for a snapshot, a message).
DeviceRecord FiguresOf(const DeviceRecord &rec);
