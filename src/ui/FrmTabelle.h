#pragma once
#include "consumption/ConsumptionController.h"

#include <QWidget>

class QComboBox;
class QCPMarginGroup;
class QCustomPlot;
class QLabel;
class QScrollArea;
class QTableView;

// The consumption table: the tank list, the table of years by months (cells
// read on demand from the controller's model), under it the bars of the last
// 24 months (one panel per unit), the CSV export through a file chooser and
// OK. Not modal; opens within the screen; a view of ConsumptionController.
class frmTabelle : public QWidget
{
    Q_OBJECT
public:
    // The window, shown on the main window's selected tank (the nearest
    // entry), when some tank has history; otherwise the "no data" box and nullptr.
    static frmTabelle *OpenForm(const DeviceTable &devices, Settings &settings, UiServices &ui,
                                const Texts &texts, const RunConfig &config, ClockFn clock, int selectedTank,
                                QWidget *parent);
    // Opened once more while open: the tank list as it is now, on the
    // selected tank.
    void reload(int selectedTank);

private:
    frmTabelle(const DeviceTable &devices, Settings &settings, UiServices &ui, const Texts &texts,
               const RunConfig &config, ClockFn clock, QWidget *parent);
    void fillTankList(qint64 select);
    void ComboTank_Click();
    void showTable();
    void drawBars();
    void applyColumnWidths();
    void cmdExportCSV_Click();

    const Texts texts_; // the run's language
    ConsumptionController ctrl_;
    QComboBox *ComboTank;
    QLabel *caption_;
    QTableView *t;
    QMetaObject::Connection widthsSaved_;
    QCustomPlot *chart_;
    QScrollArea *bars_;       // the panels, scrolling when there are many units
    QCPMarginGroup *margins_; // the panels' axes in line
    static constexpr int kPanelHeight = 130;
};
