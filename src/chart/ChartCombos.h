#pragma once
#include "ChartState.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <QString>
#include <vector>

class Texts;

// The entries of the tank and time-range lists of the chart window and which
// entry is chosen at opening.

struct ComboEntry {
    QString text;
    int value = 0; // tank number (0 = all tanks) or months
    bool operator==(const ComboEntry &) const = default;
};

// "3: Keller", or "4: SN:12345" for a tank without a name.
QString TankLabel(const DeviceRecord &rec, int n, const Texts &texts);
// TankLabel for every tank with history, then
// "Tank 1-5 (geglättet)" (value 0) when there are two devices or more.
std::vector<ComboEntry> ComboTankEntries(const DeviceTable &table, const Texts &texts);
// Index of the entry chosen at opening: the all-tanks entry when it was the
// last choice (saved 0), else the tank nearest to the main window's current
// tank; without a current tank, the last choice or else all tanks.
int ComboTankSelection(const std::vector<ComboEntry> &entries, int saved, int currentTank);

// Whole years of data, counted in month boundaries from the first data time to now.
int DataYears(qint64 dataFirst, qint64 now);
// Item value of the all-data entry ("Zoom alles") and of the entry that
// stands for any other view.
constexpr int kAllData = 0;
constexpr int kCustomRange = -1;
// Item values of the short ranges: minus their hours.
constexpr int kLastDay = -24;
constexpr int kLastWeek = -168;
// "24 Stunden", "7 Tage", "1 Monat", "3 Monate", then "1 Jahr", "2 Jahre",
// ... up to DataYears, and "Alle Daten".
std::vector<ComboEntry> ComboZeitraumEntries(int years, const Texts &texts);
// Index chosen at opening: nearest to the saved value when it names a
// range, else the all-data entry.
int ComboZeitraumSelection(const std::vector<ComboEntry> &entries, int saved);
// Index of the entry that gives the view that is drawn: a time range whose
// choice gives it (its end may lag "now" by a hundredth of the view), else
// the all-data entry when the view covers the data; -1 when none does.
int MatchingTimeRange(const std::vector<ComboEntry> &entries, const ChartState &state);
// The first time of the view an entry of value months (or minus hours) gives when it ends at last.
qint64 TimeRangeStart(qint64 last, int value);
// The "custom" entry for a view that no entry gives.
ComboEntry CustomRangeEntry(const Texts &texts);

// The time span of a view as an image's heading says it: "1 Dec 2025 –
// 8 Dec 2026", with the times of day when it spans less than two days.
QString ViewSpanText(qint64 first, qint64 last, const QLocale &locale);
// The file name an export proposes: the title without characters a file
// name cannot hold, the view's last day and the extension
// ("3 Keller 2026-12-08.png").
QString ChartFileName(const QString &title, qint64 last, const QString &extension);

// Index of the entry whose value is nearest; the earlier wins a tie; -1 when empty.
int NearestEntry(const std::vector<ComboEntry> &entries, int value);
