#pragma once
#include "Consumption.h"
#include "ConsumptionCsv.h"
#include "ConsumptionModel.h"
#include "ConsumptionSelection.h"
#include "core/Clock.h"

#include <QObject>

class Settings;
class UiServices;
class Texts;
struct RunConfig;

// The consumption window's logic: whether there is anything to show, the
// tank list, the table of the chosen entry (the model the view reads), the
// column widths, the last 24 months of the bar chart and the CSV export. The
// window only shows it.
class ConsumptionController : public QObject
{
    Q_OBJECT
public:
    ConsumptionController(const DeviceTable &devices, Settings &settings, UiServices &ui, const Texts &texts,
                          const RunConfig &config, ClockFn clock, QObject *parent = nullptr);

    // The opening test: false, after the "no data" box (not waited for),
    // when no device has history points.
    static bool OpenForm(const DeviceTable &devices, UiServices &ui, const Texts &texts);
    QList<ConsumptionEntry> entries() const { return ConsumptionEntries(devices_, texts_); }
    // The number the tank list selects first: the tank selected in the main
    // window (the nearest entry wins).
    static qint64 initialSelection(int selectedTank) { return selectedTank; }

    // ComboTank click: computes the table of a device number or 0 (all).
    void select(int number);
    ConsumptionModel &model() { return model_; }
    QString caption() const { return caption_; }
    static constexpr int kChartMonths = 24;
    // The bars of each unit shown: the same months for all, the last 24 up to
    // now but none before the first history point.
    struct ChartBars {
        QString unit;
        QList<MonthAmount> months;
    };
    QList<ChartBars> chartBars() const;

    int columnWidth(int column) const;     // column 0..13
    bool hasColumnWidth(int column) const; // the user sized it (a width is stored)
    void setColumnWidth(int column, int width);

    // cmdExportCSV click: the file the chooser offers first, in the folder of
    // the last export or else the user's documents folder
    // ("Tankmon-consumption-2026-12-07.csv").
    QString defaultExportPath() const;
    // The chooser's answer: writes the chosen entry's table (or its long
    // form) to path (".csv" appended when missing), remembers the path and
    // says how it went.
    void exportCsv(const QString &path, ConsumptionCsvFormat format, int number, const QString &entryText);

signals:
    void tableChanged();

private:
    const DeviceTable &devices_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    const RunConfig &config_;
    ClockFn clock_;
    ConsumptionModel model_;
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
