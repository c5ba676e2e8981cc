#pragma once
#include "app/WindowParts.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>

class BrandLogo;
class LifeCycle;
class MenuCommands;
class frmInfo;
class frmTabelle;
class frmHilfe;
class frmLog;
class frmMqtt;
class frmZentrale;
class frmWeb;
class frmCOM;
class frmEmail;
class frmMeldungen;
class FleetModel;
class FleetView;
class StatusIndicator;
class QToolButton;
class frmGrafikHistorie;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class StatusPanel;
class TankDisplay;

// The main window: menus, status bar, branding and the tank display, as a
// view over the run's parts (the tanks, the settings, the fleet's states and
// notifications...), the menu commands and the life cycle. Construction runs
// the initialise and load steps; the first activation runs the start-up.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    frmMain(const WindowParts &parts, MenuCommands &menu, LifeCycle &life, QWidget *parent = nullptr);
    ~frmMain() override;

    // Prints the window as shown, scaled to the printer's page.
    void printWindow(QPrinter &printer);
    TankDisplay *display() const { return display_; }
    StatusPanel *panel(int n) const { return panels_.value(n); }
    FleetView *fleetView() const { return fleet_; }
    // The notifications list (status bar and menu); the window shown.
    frmMeldungen *openNotifications();

public slots:
    // Reception watchdog (the link manager): bar over panel 3.
    void receptionProgress(double elapsed, double limit);
    void hideProgress();

signals:
    // The e-mail settings dialog (menu entry and the e-mail panel).
    void emailSettingsRequested();

protected:
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    QWidget *buildHeader();
    void buildStatusBar();
    void applyLoadSteps();
    void firstActivate();
    void activate();
    void afterActivate();
    void openInterfaceDialog();
    void wireLinks();
    void describeLinks();
    void panelClicked(int panel);
    void mnuDrucken();
    void showHelp(const QString &topic);
    void openLogDialog();
    void openMqttDialog();
    void openWebDialog();
    void openClientPathDialog();
    void showAbout();
    void openTable();
    void openChart();
    // A remote site's tanks in the chart or the consumption table.
    void openRemote(const QString &site, int n, bool table);
    void openEmailDialog(); // one e-mail settings dialog at a time

    const WindowParts parts_;
    MenuCommands &menu_;
    LifeCycle &life_;
    TankDisplay *display_ = nullptr;
    QMap<int, StatusPanel *> panels_;
    QPointer<frmInfo> about_;
    QPointer<frmCOM> com_;
    QPointer<frmGrafikHistorie> chart_; // one chart window at a time
    QPointer<frmTabelle> table_;
    QPointer<frmEmail> email_;
    QPointer<frmHilfe> help_;
    QPointer<frmLog> log_;
    QPointer<frmMqtt> mqtt_;
    QPointer<frmZentrale> zentrale_;
    QPointer<frmWeb> web_;
    BrandLogo *PictureValmor = nullptr;
    BrandLogo *PictureARV = nullptr;
    QLabel *LabelPgmName = nullptr;
    QLabel *LabelInternet = nullptr;

    QMenu *mnuDatei = nullptr;
    QMenu *mnuEinstellen = nullptr;
    QMenu *mnuSprachen = nullptr;
    QMenu *mnuHilfe = nullptr;
    QAction *mnuClientSetup = nullptr;
    QAction *mnuDruckenAction = nullptr;
    QAction *mnuEnde = nullptr;
    QAction *mnuSchnittstelle = nullptr;
    QAction *mnuLog = nullptr;
    QAction *mnuEmail = nullptr;
    QAction *mnuMqtt = nullptr;
    QAction *mnuWeb = nullptr;
    QAction *mnuZentrale = nullptr;
    QAction *mnuTemperaturkorrektur = nullptr;
    QAction *mnuLoeschen = nullptr;
    QAction *mnuKonfigurationLoeschen = nullptr;
    QMap<int, QAction *> mnuSprache; // by LngId
    QAction *mnuHilfeInhalt = nullptr;
    QAction *mnuHilfeSuchen = nullptr;
    QAction *mnuHilfeInfo = nullptr;

    // Fleet view, states and notifications.
    void buildFleet(QWidget *header);
    void buildIndicators();
    void showLinkIndicator();
    void showServiceIndicators();
    void showNotificationCount();
    void showFleetView(bool on);
    FleetModel *fleetModel_ = nullptr;
    FleetView *fleet_ = nullptr;
    QToolButton *cmdKarten = nullptr;
    QToolButton *cmdListe = nullptr;
    StatusIndicator *linkIndicator_ = nullptr;
    StatusIndicator *mqttIndicator_ = nullptr;
    StatusIndicator *notesIndicator_ = nullptr;
    QAction *mnuMeldungen = nullptr;
    QPointer<frmMeldungen> notes_;
    QString panel2Text_;

    bool shownOnce_ = false;
    bool ending_ = false;
    bool linksWired_ = false;
    bool interfaceDialogPending_ = false;
};
