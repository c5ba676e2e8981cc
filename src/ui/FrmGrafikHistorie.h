#pragma once
#include "chart/ChartCombos.h"
#include "chart/ChartData.h"
#include "chart/ChartNavigation.h"
#include "core/Clock.h"
#include "lang/Lng.h"

#include <QPointer>
#include <QWidget>

class ChartPlot;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QRubberBand;
class QScrollBar;
class QToolButton;
class Settings;
class UiServices;
class RunSwitches;

// The history chart window: one tank or all tanks over time, each unit on
// its own axis, with the time-range list (which always names what is drawn),
// zoom buttons, wheel zoom, scroll bar, rubber-band zoom, the read-out of the
// nearest measurement, a legend beside the plot that hides or highlights a
// tank, and PNG/PDF export. It opens on the main window's tank (or on all
// tanks when that was the last choice) with the last time range. The chart
// state and every computation live in src/chart; this is its view.
class frmGrafikHistorie : public QWidget
{
    Q_OBJECT
public:
    // The window for the tanks' histories, shown; or, when no tank has any,
    // the "no data" message and nothing (nullptr).
    // With a site: that remote site's tanks, opened on tank (the choices
    // made there are not stored for the own tanks' chart).
    static frmGrafikHistorie *OpenForm(const DeviceTable &table, Settings &settings, UiServices &ui,
                                       const Texts &texts, const RunSwitches &switches, ClockFn clock,
                                       QWidget *parent = nullptr, const QString &site = QString(),
                                       int tank = 0);

    frmGrafikHistorie(const DeviceTable &table, Settings &settings, UiServices &ui, const Texts &texts,
                      const RunSwitches &switches, ClockFn clock, QWidget *parent = nullptr,
                      const QString &site = QString(), int tank = 0);

    const ChartState &chartState() const { return state_; }
    // What the plot shows now.
    const ChartPicture &picture() const { return picture_; }

protected:
    void mouseMoveEvent(QMouseEvent *e) override;

private:
    void buildControls();
    void Form_Load();
    ChartOptions options() const;
    qint64 now() const;
    void RebuildChart();
    void applyScrollBar(const ScrollFigures &s);
    void syncTimeRange();
    void fillLegend();
    void ComboTank_Click();
    void legendChanged(QListWidgetItem *item);
    void legendClicked(QListWidgetItem *item);

    void checkClicked(QCheckBox *box);
    void ComboZeitraum_Click(int index);
    void HScroll_Change(int position);
    void HScroll_Preview(int position);
    void chartMouseDown(QMouseEvent *e);
    void chartMouseMove(QMouseEvent *e);
    void chartMouseUp(QMouseEvent *e);
    void chartWheel(QWheelEvent *e);
    void showReadout(QPoint pos);
    QMenu *exportMenu();
    void exportTo(const QString &fileName);

    const DeviceTable &table_;
    Settings &settings_;
    UiServices &ui_;
    const Texts texts_; // the run's
    const RunSwitches &switches_;
    ClockFn clock_;
    const QString site_; // "" for the own tanks
    const int siteTank_;
    ChartState state_;
    DrawnSpan drawn_; // what the graphs hold, grown while the scroll bar is dragged
    ChartPicture picture_;
    quint64 hidden_ = 0; // tanks the legend leaves out
    std::vector<ComboEntry> ranges_;
    QLocale locale_;

    QLabel *LabelTank = nullptr;
    QComboBox *ComboTank = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *ComboZeitraum = nullptr;
    QCheckBox *CheckMesspunkte = nullptr;
    QCheckBox *CheckMonatswerte = nullptr;
    QCheckBox *CheckProzent = nullptr;
    QToolButton *cmdZoomPlus = nullptr;
    QToolButton *cmdZoomMinus = nullptr;
    QPushButton *cmdZoomAlles = nullptr;
    QPushButton *CmdOk = nullptr;
    QPushButton *cmdExport = nullptr;
    QListWidget *lstLegende = nullptr;
    QLabel *txtMesswert = nullptr;
    QScrollBar *HScroll = nullptr;
    ChartPlot *Chart2D = nullptr;
    QRubberBand *band_ = nullptr;
};
