#include "FrmMain.h"

#include "BrandLogo.h"
#include "DisplayRules.h"
#include "FleetView.h"
#include "FrmCom.h"
#include "FrmEmail.h"
#include "FrmGrafikHistorie.h"
#include "FrmHilfe.h"
#include "FrmInfo.h"
#include "FrmLog.h"
#include "FrmLogClient.h"
#include "FrmMeldungen.h"
#include "FrmMqtt.h"
#include "FrmTabelle.h"
#include "FrmWeb.h"
#include "FrmZentrale.h"
#include "KeyboardAccess.h"
#include "StatusIndicator.h"
#include "StatusPanel.h"
#include "TankDisplay.h"
#include "UiLook.h"
#include "WindowPrint.h"
#include "app/LifeCycle.h"
#include "app/LogDialogLogic.h"
#include "app/MenuCommands.h"
#include "app/ProgramInfo.h"
#include "central/CentralDialogLogic.h"
#include "central/RemoteHistory.h"
#include "consumption/Forecast.h"
#include "core/Catalogue.h"
#include "core/RunConfig.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "email/EmailDialogLogic.h"
#include "email/EmailNotifier.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"
#include "link/ComDialogLogic.h"
#include "link/LinkManager.h"
#include "model/FleetModel.h"
#include "model/ServiceStatus.h"
#include "model/SiteTanks.h"
#include "model/TankController.h"
#include "mqtt/MqttDialogLogic.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace
{
// The maker's web address shown under its logo (the partner's is text 274).
const char *const kMakerWebAddress = "www.valmor.example";
} // namespace

frmMain::frmMain(const WindowParts &parts, MenuCommands &menu, LifeCycle &life, QWidget *parent)
    : QMainWindow(parent), parts_(parts), menu_(menu), life_(life)
{
    setObjectName(QStringLiteral("frmMain"));
    if (auto *qapp = qobject_cast<QApplication *>(QCoreApplication::instance()))
        UiLook::ApplyApplicationLook(*qapp);

    // Load, step 1: every control with its caption.
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(16, 8, 16, 10);
    v->setSpacing(8);
    QWidget *header = buildHeader();
    v->addWidget(header);
    display_ =
        new TankDisplay(parts_.tanks, parts_.ui, parts_.texts, parts_.clock, central, &parts_.snapshots);
    display_->setProgramTitle([this] { return ProgramTitle(parts_.config, false); });
    v->addWidget(display_, 1);
    buildFleet(header);
    setCentralWidget(central);
    buildMenus();
    buildStatusBar();
    buildIndicators();
    // Roomy where the screen allows; everything also fits 800 x 600.
    QSize size(1180, 760);
    // Below this the detail card's texts and the tank picture would run into
    // each other; a smaller screen still gets the whole window.
    QSize least(720, 520);
    if (QScreen *s = screen()) {
        size = size.boundedTo(s->availableGeometry().size());
        least = least.boundedTo(s->availableGeometry().size());
    }
    setMinimumSize(least);
    resize(size);
    // Step 2, the single-instance check, was the controller's start().
    applyLoadSteps();
    AssignAccessKeys(this);
}

frmMain::~frmMain() = default;

QWidget *frmMain::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("Header"));
    PictureValmor = new BrandLogo(QStringLiteral("V"), UiLook::Accent(), header);
    PictureValmor->setObjectName(QStringLiteral("PictureValmor"));
    PictureARV = new BrandLogo(QStringLiteral("ARV"), QColor(0x2e, 0x7d, 0x32), header);
    PictureARV->setObjectName(QStringLiteral("PictureARV"));
    LabelPgmName = new QLabel(header);
    LabelPgmName->setObjectName(QStringLiteral("LabelPgmName"));
    QFont f = LabelPgmName->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setWeight(QFont::DemiBold);
    LabelPgmName->setFont(f);
    LabelInternet = new QLabel(QString::fromLatin1(kMakerWebAddress), header);
    LabelInternet->setObjectName(QStringLiteral("LabelInternet"));
    UiLook::SetTextColour(LabelInternet, QColor(0x5f, 0x6b, 0x78));

    auto *names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(LabelPgmName);
    names->addWidget(LabelInternet);
    auto *h = new QHBoxLayout(header);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(12);
    h->addWidget(PictureValmor);
    h->addWidget(PictureARV);
    h->addLayout(names);
    h->addStretch(1);
    return header;
}

void frmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto action = [this](QMenu *menu, const char *name, const QString &text) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        return a;
    };

    mnuDatei = bar->addMenu(parts_.texts(314));
    mnuDatei->setObjectName(QStringLiteral("mnuDatei"));
    mnuClientSetup = action(mnuDatei, "mnuClientSetup", parts_.texts(245) + QStringLiteral(" …"));
    mnuMeldungen = action(mnuDatei, "mnuMeldungen", parts_.texts(871));
    connect(mnuMeldungen, &QAction::triggered, this, &frmMain::openNotifications);
    mnuDruckenAction = action(mnuDatei, "mnuDrucken", parts_.texts(315));
    mnuDruckenAction->setShortcut(QKeySequence::Print);
    mnuDatei->addSeparator();
    mnuEnde = action(mnuDatei, "mnuEnde", parts_.texts(316));
    mnuEnde->setShortcut(QKeySequence::Quit);

    mnuEinstellen = bar->addMenu(parts_.texts(317));
    mnuEinstellen->setObjectName(QStringLiteral("mnuEinstellen"));
    mnuSchnittstelle = action(mnuEinstellen, "mnuSchnittstelle", parts_.texts(318));
    mnuLog = action(mnuEinstellen, "mnuLog", parts_.texts(319));
    mnuEmail = action(mnuEinstellen, "mnuEmail", parts_.texts(320));
    mnuMqtt = action(mnuEinstellen, "mnuMqtt", parts_.texts(420));
    mnuWeb = action(mnuEinstellen, "mnuWeb", parts_.texts(1000));
    mnuZentrale = action(mnuEinstellen, "mnuZentrale", parts_.texts(1412));
    mnuEinstellen->addSeparator();
    mnuTemperaturkorrektur = action(mnuEinstellen, "mnuTemperaturkorrektur", parts_.texts(336));
    mnuTemperaturkorrektur->setCheckable(true);
    mnuEinstellen->addSeparator();
    mnuLoeschen = action(mnuEinstellen, "mnuLoeschen", parts_.texts(330));
    mnuKonfigurationLoeschen = action(mnuEinstellen, "mnuKonfigurationLoeschen", parts_.texts(337));

    mnuSprachen = bar->addMenu(parts_.texts(321));
    mnuSprachen->setObjectName(QStringLiteral("mnuSprachen"));
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (const LanguageEntry &lang : LanguageList()) {
        QAction *a = mnuSprachen->addAction(lang.name);
        a->setObjectName(QStringLiteral("mnuSprache%1").arg(lang.id));
        a->setCheckable(true);
        a->setChecked(lang.id == parts_.texts.lngId());
        group->addAction(a);
        mnuSprache.insert(lang.id, a);
        const int id = lang.id;
        connect(a, &QAction::triggered, this, [this, id] {
            // Keep the tick on the running language until the restart.
            for (auto it = mnuSprache.cbegin(); it != mnuSprache.cend(); ++it)
                it.value()->setChecked(it.key() == parts_.texts.lngId());
            if (isVisible())
                menu_.chooseLanguage(id);
        });
    }

    mnuHilfe = bar->addMenu(parts_.texts(322));
    mnuHilfe->setObjectName(QStringLiteral("mnuHilfe"));
    mnuHilfeInhalt = action(mnuHilfe, "mnuHilfeInhalt", parts_.texts(323));
    mnuHilfeInhalt->setShortcut(QKeySequence::HelpContents);
    // F1 in any window of the program; it opens that window's page.
    mnuHilfeInhalt->setShortcutContext(Qt::ApplicationShortcut);
    mnuHilfeSuchen = action(mnuHilfe, "mnuHilfeSuchen", parts_.texts(324));
    mnuHilfe->addSeparator();
    mnuHilfeInfo = action(mnuHilfe, "mnuHilfeInfo", parts_.texts(325));

    connect(mnuDruckenAction, &QAction::triggered, this, &frmMain::mnuDrucken);
    connect(mnuEnde, &QAction::triggered, this, &QWidget::close);
    connect(mnuClientSetup, &QAction::triggered, this, [this] { menu_.clientSetup(); });
    connect(mnuSchnittstelle, &QAction::triggered, this, &frmMain::openInterfaceDialog);
    connect(mnuLog, &QAction::triggered, this, &frmMain::openLogDialog);
    connect(mnuMqtt, &QAction::triggered, this, &frmMain::openMqttDialog);
    connect(mnuWeb, &QAction::triggered, this, &frmMain::openWebDialog);
    connect(mnuZentrale, &QAction::triggered, this, [this] {
        if (!parts_.config.clientMode)
            frmZentrale::ShowDialog(
                zentrale_, menu_.centralDialog(), [this](const QString &topic) { showHelp(topic); }, this);
    });
    connect(mnuEmail, &QAction::triggered, this, &frmMain::emailSettingsRequested);
    connect(this, &frmMain::emailSettingsRequested, this, &frmMain::openEmailDialog);
    connect(mnuTemperaturkorrektur, &QAction::triggered, this, [this] {
        // The tick follows the switch, not the click (the question may be declined).
        mnuTemperaturkorrektur->setChecked(parts_.switches.flagTempKorr());
        menu_.toggleTemperatureCorrection();
    });
    connect(mnuLoeschen, &QAction::triggered, this, [this] { menu_.deleteTanks(); });
    connect(mnuKonfigurationLoeschen, &QAction::triggered, this, [this] { menu_.deleteConfiguration(); });
    connect(mnuHilfeInhalt, &QAction::triggered, this, [this] {
        // The page of the window in front; the contents for the main window and the help itself.
        const QWidget *front = QApplication::activeWindow();
        const QString name = front && front != this ? front->objectName() : QString();
        QString topic = QLatin1String(HelpTopic::Index);
        for (const char *t : HelpTopic::All)
            if (name == QLatin1String(t))
                topic = name;
        showHelp(topic);
    });
    connect(mnuHilfeSuchen, &QAction::triggered, this,
            [this] { showHelp(QLatin1String(HelpTopic::Search)); });
    connect(mnuHilfeInfo, &QAction::triggered, this, &frmMain::showAbout);
}

void frmMain::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    for (int n = 1; n <= 3; ++n) {
        auto *p = new StatusPanel(n, bar);
        p->setText(parts_.ui.panelText(n));
        panels_.insert(n, p);
        connect(p, &StatusPanel::clicked, this, &frmMain::panelClicked);
    }
    bar->setStyleSheet(QStringLiteral("QStatusBar { border-top: 1px solid #d5dbe3; }"
                                      "QStatusBar::item { border: none; }"));
    auto separator = [bar] {
        auto *line = new QFrame(bar);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        line->setStyleSheet(QStringLiteral("color: #cfd6de;"));
        return line;
    };
    panels_[1]->setMinimumWidth(200);
    panels_[2]->setMinimumWidth(170);
    panels_[3]->setMinimumWidth(220);
    bar->addWidget(panels_[1], 1);
    bar->addPermanentWidget(separator());
    bar->addPermanentWidget(panels_[2]);
    bar->addPermanentWidget(separator());
    bar->addPermanentWidget(panels_[3]);
    connect(&parts_.ui, &UiServices::panelTextChanged, this, [this](int n, const QString &text) {
        if (n == 2) {
            // The e-mail panel also tells the last result.
            panel2Text_ = text;
            showServiceIndicators();
        } else if (StatusPanel *p = panels_.value(n)) {
            p->setText(text);
        }
        // The links announce themselves on panel 1.
        if (n == 1)
            describeLinks();
    });
}

void frmMain::applyLoadSteps()
{
    const bool client = parts_.config.clientMode;
    mnuEinstellen->setEnabled(!client);
    mnuEinstellen->menuAction()->setEnabled(!client);
    mnuClientSetup->setVisible(client);

    // Small screens get the whole of it.
    if (QScreen *s = screen(); s && s->geometry().width() == 800)
        setWindowState(windowState() | Qt::WindowMaximized);

    // Branding: the partner's logo and address, or the maker's.
    const bool partner = parts_.config.partnerBranding;
    PictureARV->setVisible(partner);
    PictureValmor->setVisible(!partner);
    if (partner)
        LabelInternet->setText(parts_.texts(274));
    setWindowIcon(QIcon((partner ? PictureARV : PictureValmor)->pixmap(64)));

    setWindowTitle(ProgramTitle(parts_.config, false));
    display_->setUrlCaption(LabelInternet->text());
    display_->resetDisplay();
    display_->ComboSN_Click(); // nothing while no tank is selected
    LabelPgmName->setText(ProgramTitle(parts_.config, true));
    connect(display_, &TankDisplay::captionChanged, this, &QWidget::setWindowTitle);
    connect(display_, &TankDisplay::chartRequested, this, &frmMain::openChart);
    connect(display_, &TankDisplay::tableRequested, this, &frmMain::openTable);

    connect(&parts_.tanks, &TankController::restoreWindow, this, [this] {
        if (isMinimized())
            showNormal();
        raise();
    });
    connect(&menu_, &MenuCommands::showClientPathDialog, this, &frmMain::openClientPathDialog);
    connect(&menu_, &MenuCommands::tempCorrectionChanged, this,
            [this](bool on) { mnuTemperaturkorrektur->setChecked(on); });
    connect(&life_, &LifeCycle::quitRequested, this, [this] { ending_ = true; });
    connect(&life_, &LifeCycle::linksCreated, this, &frmMain::wireLinks);

    if (!client && life_.interfaceDialogWanted())
        QTimer::singleShot(0, this, &frmMain::openInterfaceDialog);
}

void frmMain::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        // The first activation loads the tanks and opens the link; run it
        // once the window is on screen, whether or not a window manager
        // hands it the focus.
        QTimer::singleShot(0, this, &frmMain::firstActivate);
    }
}

void frmMain::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && life_.firstActivateDone())
        activate();
}

void frmMain::firstActivate()
{
    if (life_.firstActivateDone())
        return;
    activate();
}

void frmMain::activate()
{
    if (ending_)
        return;
    life_.activate();
    if (!ending_)
        afterActivate();
}

void frmMain::afterActivate()
{
    mnuTemperaturkorrektur->setChecked(parts_.switches.flagTempKorr());
    wireLinks();
    describeLinks();
    // Dialogs stay in front of the main window.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && w->isWindow() && !w->inherits("QMenu"))
            w->raise();
    }
}

void frmMain::receptionProgress(double elapsed, double limit)
{
    panels_[3]->showProgress(elapsed, limit);
    panels_[3]->progressBar()->setTextVisible(true);
    panels_[3]->progressBar()->setFormat(parts_.texts(868));
    panels_[3]->progressBar()->setToolTip(DisplayRules::ReceptionProgressTip(parts_.texts, elapsed, limit));
}

void frmMain::describeLinks()
{
    QStringList links;
    if (LinkManager *l = life_.links()) {
        if (l->serialOpen())
            links << l->currentDevice();
        if (l->listeningPort() != 0)
            links << QStringLiteral("TCP/IP Port ") + QString::number(l->listeningPort());
    }
    display_->setLinkDescription(links);
    if (linkIndicator_)
        showLinkIndicator();
}

void frmMain::hideProgress()
{
    panels_[3]->hideProgress();
}

void frmMain::panelClicked(int panel)
{
    if (panel == 2)
        emit emailSettingsRequested();
    else if (panel == 3)
        openInterfaceDialog();
}

void frmMain::openInterfaceDialog()
{
    if (parts_.config.clientMode)
        return;
    // The links come to life at the first activation; a wish made at load
    // (no link switched on) waits for them.
    if (!life_.links()) {
        interfaceDialogPending_ = true;
        return;
    }
    interfaceDialogPending_ = false;
    frmCOM::ShowDialog(
        com_, menu_.interfaceDialog(), [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::wireLinks()
{
    if (linksWired_ || !life_.links())
        return;
    linksWired_ = true;
    connect(life_.links(), &LinkManager::receptionProgress, this, &frmMain::receptionProgress);
    connect(life_.links(), &LinkManager::progressHidden, this, &frmMain::hideProgress);
    connect(life_.links(), &LinkManager::indicatorChanged, this, &frmMain::showLinkIndicator);
    connect(&parts_.sites, &SiteTanks::changed, this, &frmMain::showLinkIndicator);
    if (linkIndicator_)
        showLinkIndicator();
    if (interfaceDialogPending_)
        openInterfaceDialog();
}

void frmMain::printWindow(QPrinter &printer)
{
    PrintWidget(*this, printer);
}

void frmMain::mnuDrucken()
{
    // The dialog is window-modal without a loop of its own; the printer lives
    // as long as the connection that prints on it, which the dialog holds.
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageOrientation(width() > height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    auto *dlg = new QPrintDialog(printer.get(), this);
    dlg->setObjectName(QStringLiteral("dlgDrucken"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, printer] { printWindow(*printer); });
    dlg->open();
}

void frmMain::showHelp(const QString &topic)
{
    frmHilfe::Open(help_, topic, this);
}

void frmMain::openLogDialog()
{
    if (parts_.config.clientMode)
        return;
    frmLog::ShowDialog(
        log_, menu_.logDialog(), [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::openMqttDialog()
{
    if (parts_.config.clientMode)
        return;
    frmMqtt::ShowDialog(
        mqtt_, menu_.mqttDialog(), [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::openWebDialog()
{
    if (parts_.config.clientMode)
        return;
    frmWeb::ShowDialog(
        web_, menu_.webValues(), parts_.ui, parts_.texts,
        [this](const WebValues &v) { menu_.applyWebSettings(v); },
        [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::openClientPathDialog()
{
    auto *dlg = new frmLogClient(
        menu_, false, [this](const QString &topic) { showHelp(topic); }, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->open();
}

void frmMain::openEmailDialog()
{
    frmEmail *dlg = frmEmail::ShowDialog(email_, menu_.emailDialog(), this);
    if (dlg)
        connect(dlg, &frmEmail::helpRequested, this, &frmMain::showHelp, Qt::UniqueConnection);
}

void frmMain::showAbout()
{
    // Not modal; one about box at a time.
    if (!about_) {
        about_ = new frmInfo(parts_.config, parts_.ui, parts_.texts, this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
    about_->raise();
}

void frmMain::openTable()
{
    // One table window; asked again, it shows the tanks as they are now.
    if (table_) {
        table_->reload(parts_.tanks.currentDevice());
        table_->raise();
        table_->activateWindow();
        return;
    }
    table_ = frmTabelle::OpenForm(parts_.tanks.table(), parts_.settings, parts_.ui, parts_.texts,
                                  parts_.config, parts_.clock, parts_.tanks.currentDevice(), this);
}

void frmMain::openChart()
{
    if (chart_) {
        chart_->raise();
        chart_->activateWindow();
        return;
    }
    chart_ = frmGrafikHistorie::OpenForm(parts_.tanks.table(), parts_.settings, parts_.ui, parts_.texts,
                                         parts_.switches, parts_.clock, this);
}

void frmMain::openRemote(const QString &site, int n, bool tableWanted)
{
    // A remote tank's history is read from its site's folder when it is
    // shown, and kept only while its window is open.
    const QList<int> found = parts_.sites.sitesNamed(site);
    if (found.isEmpty() || parts_.remoteHistoryFolder.isEmpty())
        return;
    const std::shared_ptr<DeviceTable> table = RemoteHistory::LoadSite(
        parts_.remoteHistoryFolder, parts_.sites, found.first(), parts_.clock().toSecsSinceEpoch());
    const QString name = parts_.sites.siteAt(found.first()).name;
    QWidget *w = nullptr;
    if (tableWanted) {
        w = frmTabelle::OpenForm(*table, parts_.settings, parts_.ui, parts_.texts, parts_.config,
                                 parts_.clock, n, this);
        if (w)
            w->setWindowTitle(w->windowTitle() + QStringLiteral(" \u2013 ") + name);
    } else {
        w = frmGrafikHistorie::OpenForm(*table, parts_.settings, parts_.ui, parts_.texts, parts_.switches,
                                        parts_.clock, this, name, n);
    }
    if (w)
        connect(w, &QObject::destroyed, w, [table] {});
}

void frmMain::closeEvent(QCloseEvent *e)
{
    // Closing the main window ends the program, whatever else is open:
    // registry saved first.
    e->accept();
    if (!ending_)
        life_.requestQuit(0, true);
}

// ---------------------------------------------------------------------------
// Fleet view, states and notifications

void frmMain::buildFleet(QWidget *header)
{
    fleetModel_ = new FleetModel(parts_.tanks, parts_.snapshots, parts_.clock, parts_.texts, this);
    // A central installation shows its sites' tanks there too, from their first one on.
    if (parts_.sites.rows().empty())
        connect(&parts_.sites, &SiteTanks::changed, fleetModel_, [this] {
            if (!fleetModel_->hasSites())
                fleetModel_->setSites(&parts_.sites);
        });
    else
        fleetModel_->setSites(&parts_.sites);
    fleet_ = new FleetView(*fleetModel_, parts_.texts, display_);
    display_->setFleetView(fleet_);
    connect(fleet_, &FleetView::deviceActivated, this, [this](int n) { parts_.tanks.ComboSN_Click(n); });
    connect(fleet_, &FleetView::chartWanted, this, [this](const QString &site, int n) {
        if (!site.isEmpty())
            return openRemote(site, n, false);
        parts_.tanks.ComboSN_Click(n);
        openChart();
    });
    connect(fleet_, &FleetView::tableWanted, this, [this](const QString &site, int n) {
        if (!site.isEmpty())
            return openRemote(site, n, true);
        parts_.tanks.ComboSN_Click(n);
        openTable();
    });

    // The switch between the cards and the list, at the header's end.
    auto make = [this, header](const char *name, int textId) {
        auto *b = new QToolButton(header);
        b->setObjectName(QLatin1String(name));
        b->setText(parts_.texts(textId));
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setFocusPolicy(Qt::NoFocus); // reached by its access letter, outside the tab chain
        return b;
    };
    cmdKarten = make("cmdKarten", 830);
    cmdListe = make("cmdListe", 831);
    if (auto *h = qobject_cast<QHBoxLayout *>(header->layout())) {
        h->addWidget(cmdKarten);
        h->addWidget(cmdListe);
    }
    connect(cmdKarten, &QToolButton::clicked, this, [this] { showFleetView(false); });
    connect(cmdListe, &QToolButton::clicked, this, [this] { showFleetView(true); });
    const bool list = parts_.settings.readIsOne(Cfg::Flottenansicht);
    display_->showFleet(list);
    (list ? cmdListe : cmdKarten)->setChecked(true);

    // A central installation without devices of its own opens on its sites'
    // tanks once the first arrive (not stored: the user's choice stays).
    const auto remoteTanks = [this] {
        if (parts_.sites.rows().empty())
            return false;
        display_->setRemoteTanks(true);
        if (parts_.tanks.DeviceCount() == 0 && !display_->fleetShown()) {
            display_->showFleet(true);
            cmdListe->setChecked(true);
        }
        return true;
    };
    if (!remoteTanks()) {
        auto *first = new QObject(this);
        connect(&parts_.sites, &SiteTanks::changed, first, [remoteTanks, first] {
            if (remoteTanks())
                first->deleteLater();
        });
    }
}

void frmMain::showFleetView(bool on)
{
    if (display_->fleetShown() == on)
        return;
    display_->showFleet(on);
    (on ? cmdListe : cmdKarten)->setChecked(true);
    parts_.settings.write(Cfg::Flottenansicht, on ? QStringLiteral("1") : QStringLiteral("0"));
    if (on)
        fleet_->table()->setFocus();
}

void frmMain::buildIndicators()
{
    QStatusBar *bar = statusBar();
    linkIndicator_ = new StatusIndicator("lblLinkIndicator", bar);
    mqttIndicator_ = new StatusIndicator("lblMqttIndicator", bar);
    notesIndicator_ = new StatusIndicator("lblMeldungenIndicator", bar);
    // A narrow window shortens the link's text; MQTT and the count stay whole.
    mqttIndicator_->setShortenable(false);
    notesIndicator_->setShortenable(false);
    bar->addPermanentWidget(linkIndicator_);
    bar->addPermanentWidget(mqttIndicator_);
    bar->addPermanentWidget(notesIndicator_);
    panel2Text_ = panels_[2]->text();
    // Narrow windows: the indicators keep their room, panel 3 (the bar) gives way.
    panels_[1]->setMinimumWidth(120);
    panels_[2]->setMinimumWidth(100);
    panels_[3]->setMinimumWidth(90);

    connect(linkIndicator_, &StatusIndicator::clicked, this, [this] {
        if (parts_.config.clientMode)
            openNotifications();
        else
            openInterfaceDialog();
    });
    connect(mqttIndicator_, &StatusIndicator::clicked, this, &frmMain::openMqttDialog);
    connect(notesIndicator_, &StatusIndicator::clicked, this, &frmMain::openNotifications);
    connect(&parts_.services, &ServiceStatus::changed, this, &frmMain::showServiceIndicators);
    connect(&parts_.notifications, &NotificationLog::changed, this, &frmMain::showNotificationCount);
    connect(&parts_.tanks, &TankController::telegramAccepted, this, &frmMain::showLinkIndicator);
    // The age of the last telegram moves on by itself.
    auto *tick = new QTimer(this);
    tick->setInterval(15 * 1000);
    connect(tick, &QTimer::timeout, this, &frmMain::showLinkIndicator);
    tick->start();
    showLinkIndicator();
    showServiceIndicators();
    showNotificationCount();
}

void frmMain::showLinkIndicator()
{
    const Texts &t = parts_.texts;
    if (LinkManager *l = life_.links()) {
        const LinkIndicator shown = l->indicator();
        // A central installation without devices of its own misses no link:
        // its tanks come from the broker.
        const bool sitesOnly = parts_.tanks.DeviceCount() == 0 && !parts_.sites.rows().empty();
        linkIndicator_->show(shown.text, shown.tip + QLatin1Char('\n') + t(858), shown.warn && !sitesOnly);
        return;
    }
    // Without links (client mode, or before the first activation): the
    // newest telegram of any tank.
    QDateTime last;
    const TankController &tanks = parts_.tanks;
    for (int n = 1; n <= tanks.DeviceCount(); ++n)
        if (tanks.device(n).Uhrzeit.isValid() && (!last.isValid() || tanks.device(n).Uhrzeit > last))
            last = tanks.device(n).Uhrzeit;
    QString text = parts_.config.clientMode ? QString() : t(856);
    QString tip = text;
    if (last.isValid()) {
        const QString age = FormatText(t(857), {AgoText(last, parts_.clock(), t)});
        text += (text.isEmpty() ? QString() : QStringLiteral(" · ")) + age;
        tip += QLatin1Char('\n') + age + QStringLiteral(" (") +
               t.locale().toString(last, QLocale::ShortFormat) + QLatin1Char(')');
    }
    tip += QLatin1Char('\n') + (parts_.config.clientMode ? t(867) : t(858));
    linkIndicator_->show(text, tip.trimmed(), !parts_.config.clientMode);
}

void frmMain::showServiceIndicators()
{
    const Texts t = parts_.texts;
    const ServiceStatus &s = parts_.services;
    // Panel 2: the e-mail switch as ever, then the last result.
    QString mail = panel2Text_;
    QString mailTip;
    if (s.mail() == ServiceStatus::Mail::Sent) {
        mailTip = FormatText(t(859), {AgoText(s.mailTime(), parts_.clock(), t)});
    } else if (s.mail() == ServiceStatus::Mail::Failed) {
        mail += QStringLiteral(" · ") + t(860);
        mailTip = t(860) + QLatin1Char('\n') + s.mailText();
    }
    panels_[2]->setText(mail);
    panels_[2]->setToolTip((mailTip.isEmpty() ? QString() : mailTip + QLatin1Char('\n')) + t(861));
    panels_[2]->setStyleSheet(s.mail() == ServiceStatus::Mail::Failed
                                  ? QStringLiteral("QLabel { color: #b71c1c; font-weight: 600; }")
                                  : QString());

    // Without MQTT switched on there is nothing to tell.
    mqttIndicator_->setVisible(s.mqtt() != ServiceStatus::Mqtt::Off);
    switch (s.mqtt()) {
    case ServiceStatus::Mqtt::Off:
        mqttIndicator_->show(t(862), t(866), false);
        break;
    case ServiceStatus::Mqtt::Connecting:
        mqttIndicator_->show(t(865), t(866), false);
        break;
    case ServiceStatus::Mqtt::Connected:
        mqttIndicator_->show(t(863), s.mqttText() + QLatin1Char('\n') + t(866), false);
        break;
    case ServiceStatus::Mqtt::Problem:
        mqttIndicator_->show(t(864), s.mqttText() + QLatin1Char('\n') + t(866), true);
        break;
    }
}

void frmMain::showNotificationCount()
{
    const int open = parts_.notifications.unacknowledged();
    const Texts t = parts_.texts;
    notesIndicator_->show(
        open > 0 ? t(832) + QStringLiteral(": ") + FormatText(t(839), {QString::number(open)}) : t(832),
        (open > 0 ? FormatText(t(839), {QString::number(open)}) : t(840)) + QLatin1Char('\n') + t(867),
        open > 0);
}

frmMeldungen *frmMain::openNotifications()
{
    return frmMeldungen::Open(notes_, parts_.notifications, parts_.tanks, parts_.texts, this);
}
