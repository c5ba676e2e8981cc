#pragma once
#include "consumption/ConsumptionController.h"

#include <QWidget>

class QComboBox;
class QCPBars;
class QCustomPlot;
class QLabel;
class QTableView;

// The consumption table: the tank list, the table of years by months (cells
// read on demand from the controller's model), under it the bars of the last
// 24 months, the CSV export and OK. Not modal; a view of
// ConsumptionController.
class frmTabelle : public QWidget
{
    Q_OBJECT
public:
    // The window, shown, when some tank has history; otherwise the "no data"
    // box and nullptr.
    static frmTabelle *OpenForm(const DeviceTable &devices, Settings &settings, UiServices &ui,
                                const RunConfig &config, ClockFn clock, QWidget *parent);
    // Computes the chosen entry again (opened once more while open).
    void reload();

private:
    frmTabelle(const DeviceTable &devices, Settings &settings, UiServices &ui, const RunConfig &config,
               ClockFn clock, QWidget *parent);
    void fillTankList(qint64 select);
    void ComboTank_Click();
    void showTable();

    ConsumptionController ctrl_;
    QComboBox *ComboTank;
    QLabel *caption_;
    QTableView *t;
    QCustomPlot *chart_;
    QCPBars *bars_;
};
