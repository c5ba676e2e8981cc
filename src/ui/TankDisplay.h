#pragma once
#include <QMap>
#include <QWidget>
#include <functional>

#include "core/Clock.h"
#include "model/TankState.h"

class TankSnapshots;
class QStackedWidget;
class TankController;
class Texts;
class UiServices;
class ElidedLabel;
class OverviewPage;
class TabRows;
class TankPicture;
class OverviewEntry;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The measurement part of the main window: the detail view of the selected
// tank, the tank selector and the overview tabs. A view only: it shows what
// the controller announces and passes the user's choices back to it.
class TankDisplay : public QWidget
{
    Q_OBJECT
public:
    // The forecasts and states come from the tanks' snapshots; without
    // them the days until empty stay a dash and no state is shown.
    TankDisplay(TankController &tanks, UiServices &ui, const Texts &texts, ClockFn clock,
                QWidget *parent = nullptr, const TankSnapshots *snapshots = nullptr);

    // Text that ends the window caption (the program title).
    void setProgramTitle(std::function<QString()> title);
    // The maker's web address until a device shows its own source address.
    void setUrlCaption(const QString &text);
    // Empties the detail view (start-up, before any device is selected).
    void resetDisplay();
    // Rebuilds overview and selector from the device table.
    void rebuild();
    // Where the program listens (port or serial device), one entry a link:
    // told while no device has sent a telegram yet.
    void setLinkDescription(const QStringList &links);
    // A central installation that lists remote tanks: without a device of
    // its own, the empty detail card (which tells how to connect one) gives
    // the room to the list.
    void setRemoteTanks(bool any);

    // The fleet list as the alternative to the overview tabs, and the switch.
    void setFleetView(QWidget *fleet);
    void showFleet(bool on);
    bool fleetShown() const;

    // ComboSN_Click: the detail view for the current device.
    void ComboSN_Click();
    void ShowDevice(int n);
    void DrawTankLevel(double fraction);

    // The window caption the detail view asks for.
    QString caption() const { return caption_; }
    OverviewEntry *entry(int n) const { return entries_.value(n); }
    TabRows *tabRows() const { return tabRows_; }

signals:
    void captionChanged(const QString &caption);
    void chartRequested();
    void tableRequested();

private:
    // The widgets, named as their object names (tests find them by these).
    QTabWidget *SSTab1; // pages and captions; shown through tabRows()
    QComboBox *ComboSN;
    QComboBox *ComboEinheit;
    QLineEdit *txbxTankbezeichnung;
    QLineEdit *txbxWarnschwelle;   // the tank's own threshold; empty: the common one
    QLabel *lblWarnschwelleFehler; // why a typed threshold was not taken
    // The tank's own loss limits and quiet hours; empty: the common ones, at all hours.
    QLineEdit *txbxVerlustProzent;
    QLineEdit *txbxVerlustStunden;
    QLineEdit *txbxVerlustRuhezeit;
    QLabel *lblVerlustFehler;   // why typed limits were not taken
    ElidedLabel *lblDetailName; // the selected tank's name
    QLabel *lblWaiting;         // fresh installation: what the program waits for
    QLabel *lblVolumen;
    QLabel *LabelTankinhalt;
    QLabel *lblAlarmBigTank;
    QLabel *lblURL;
    QLabel *txbxTanktyp;
    QLabel *txbxTankVolumen;
    QLabel *txbxTankhoehe;
    QLabel *txbxTemperatur;
    QLabel *txbxZeit;
    QLabel *txbxReichweite; // days until empty
    TankPicture *tankPicture;
    QLabel *lblZustand = nullptr;        // the state's words, as a badge
    QLabel *lblZustandHinweis = nullptr; // and what they mean
    QPushButton *cmdGrafik;
    QPushButton *cmdTabelle;

    QWidget *buildDetailCard();
    QWidget *buildConfigTab();
    void fillUnits();
    void addDevice(int n);
    void ensureOverviewTab(int k);
    void selectInCombo(int n);
    void syncTabRows();
    void updateTabMark(int tab);
    // The tank's condition as the views show it.
    TankCondition conditionOf(int n) const;
    void updateTabOrder();
    void selectFromOverview(int n);
    void showWaiting();
    void setCaption(const QString &c);
    QString programTitle() const;
    void openUrl();
    void showUrl(const QString &text, bool source = false);
    void showForecast(int n);
    void showWarnThreshold(int n);
    void takeWarnThreshold();
    void showLossSettings(int n);
    void takeLossSettings();

    TankController &tanks_;
    const TankSnapshots *snapshots_;
    QStackedWidget *views_ = nullptr; // the overview tabs, or the fleet list
    QWidget *detailCard_ = nullptr;
    bool remoteTanks_ = false;
    void showState(int n);
    UiServices &ui_;
    const Texts &texts_; // the run's
    ClockFn clock_;
    std::function<QString()> title_;
    QString caption_;
    QString urlCaption_;
    TabRows *tabRows_ = nullptr;
    QMap<int, OverviewEntry *> entries_;
    QStringList links_;
    QList<OverviewPage *> overviewPages_; // [k - 1] = page of tab k
    bool startTabChosen_ = false;         // the first tanks loaded open on their cards
    int thresholdShownFor_ = 0;           // the device whose threshold the field holds
    int lossShownFor_ = 0;                // the device whose loss limits the fields hold
};
