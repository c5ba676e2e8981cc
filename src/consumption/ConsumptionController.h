#pragma once
#include "Consumption.h"
#include "ConsumptionModel.h"
#include "ConsumptionSelection.h"
#include "core/Clock.h"

#include <QObject>

class Settings;
class UiServices;
struct RunConfig;

// The consumption window's logic: whether there is anything to show, the
// tank list, the table of the chosen entry (the model the view reads), the
// column widths, the 24 months of the bar chart and the CSV export. The
// window only shows it.
class ConsumptionController : public QObject
{
    Q_OBJECT
public:
    ConsumptionController(const DeviceTable &devices, Settings &settings, UiServices &ui,
                          const RunConfig &config, ClockFn clock, QObject *parent = nullptr);

    // The opening test: false, after the "no data" box (not waited for),
    // when no device has history points.
    static bool OpenForm(const DeviceTable &devices, UiServices &ui);
    QList<ConsumptionEntry> entries() const { return ConsumptionEntries(devices_); }
    // The number the tank list selects first (the nearest entry wins).
    qint64 initialSelection() const;

    // ComboTank click: computes the table of a device number or 0 (all).
    void select(int number);
    ConsumptionModel &model() { return model_; }
    QString caption() const { return caption_; }
    QString unit() const { return unit_.unit; }
    static constexpr int kChartMonths = 24;
    QList<MonthAmount> chartMonths() const;

    int columnWidth(int column) const; // column 0..13
    void setColumnWidth(int column, int width);

    // cmdExportCSV click: asks for the path and writes the table shown.
    void exportCsv(const QString &entryText);

signals:
    void tableChanged();

private:
    const DeviceTable &devices_;
    Settings &settings_;
    UiServices &ui_;
    const RunConfig &config_;
    ClockFn clock_;
    ConsumptionModel model_;
    ConsumptionUnit unit_;
    QString caption_;
};

// The refuelling settings as the settings file holds them now.
ConsumptionSettings ConsumptionSettingsFrom(const Settings &settings);

// A run's request as the program makes it: the three settings read now, the
// clock's year, the protocol in the data folder.
ConsumptionRequest ConsumptionRequestFor(const Settings &settings, const RunConfig &config,
                                         const QDateTime &now, int selection);
// ".csv" appended unless the name already ends in it, in any letter case.
QString WithCsvExtension(const QString &path);
