#include "FrmMain.h"

#include "BrandLogo.h"
#include "DisplayRules.h"
#include "FrmCom.h"
#include "FrmEmail.h"
#include "FrmGrafikHistorie.h"
#include "FrmHilfe.h"
#include "FrmInfo.h"
#include "FrmLog.h"
#include "FrmLogClient.h"
#include "FrmMqtt.h"
#include "FrmTabelle.h"
#include "KeyboardAccess.h"
#include "StatusPanel.h"
#include "TankDisplay.h"
#include "UiLook.h"
#include "WindowPrint.h"
#include "app/AppController.h"
#include "app/LogDialogLogic.h"
#include "app/ProgramInfo.h"
#include "consumption/Forecast.h"
#include "core/RunConfig.h"
#include "core/UiServices.h"
#include "email/EmailDialogLogic.h"
#include "email/EmailNotifier.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"
#include "link/ComDialogLogic.h"
#include "link/LinkManager.h"
#include "link/TcpLink.h"
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
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace
{
// The maker's web address shown under its logo (the partner's is text 274).
const char *const kMakerWebAddress = "www.valmor.example";
} // namespace

frmMain::frmMain(AppController &app, QWidget *parent) : QMainWindow(parent), app_(app)
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
    v->addWidget(buildHeader());
    display_ = new TankDisplay(app_.tanks(), app_.ui(), app_.clock(), central, &app_.forecasts());
    display_->setProgramTitle([this] { return ProgramTitle(app_.config(), false); });
    v->addWidget(display_, 1);
    setCentralWidget(central);
    buildMenus();
    buildStatusBar();
    // Roomy where the screen allows; everything also fits 800 x 600.
    QSize size(1180, 760);
    if (QScreen *s = screen())
        size = size.boundedTo(s->availableGeometry().size());
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

    mnuDatei = bar->addMenu(LngText(314));
    mnuDatei->setObjectName(QStringLiteral("mnuDatei"));
    mnuClientSetup = action(mnuDatei, "mnuClientSetup", LngText(245) + QStringLiteral(" …"));
    mnuDruckenAction = action(mnuDatei, "mnuDrucken", LngText(315));
    mnuDruckenAction->setShortcut(QKeySequence::Print);
    mnuDatei->addSeparator();
    mnuEnde = action(mnuDatei, "mnuEnde", LngText(316));
    mnuEnde->setShortcut(QKeySequence::Quit);

    mnuEinstellen = bar->addMenu(LngText(317));
    mnuEinstellen->setObjectName(QStringLiteral("mnuEinstellen"));
    mnuSchnittstelle = action(mnuEinstellen, "mnuSchnittstelle", LngText(318));
    mnuLog = action(mnuEinstellen, "mnuLog", LngText(319));
    mnuEmail = action(mnuEinstellen, "mnuEmail", LngText(320));
    mnuMqtt = action(mnuEinstellen, "mnuMqtt", LngText(420));
    mnuEinstellen->addSeparator();
    mnuTemperaturkorrektur = action(mnuEinstellen, "mnuTemperaturkorrektur", LngText(336));
    mnuTemperaturkorrektur->setCheckable(true);
    mnuEinstellen->addSeparator();
    mnuLoeschen = action(mnuEinstellen, "mnuLoeschen", LngText(330));
    mnuKonfigurationLoeschen = action(mnuEinstellen, "mnuKonfigurationLoeschen", LngText(337));

    mnuSprachen = bar->addMenu(LngText(321));
    mnuSprachen->setObjectName(QStringLiteral("mnuSprachen"));
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (const LanguageEntry &lang : LanguageList()) {
        QAction *a = mnuSprachen->addAction(lang.name);
        a->setObjectName(QStringLiteral("mnuSprache%1").arg(lang.id));
        a->setCheckable(true);
        a->setChecked(lang.id == LngId());
        group->addAction(a);
        mnuSprache.insert(lang.id, a);
        const int id = lang.id;
        connect(a, &QAction::triggered, this, [this, id] {
            // Keep the tick on the running language until the restart.
            for (auto it = mnuSprache.cbegin(); it != mnuSprache.cend(); ++it)
                it.value()->setChecked(it.key() == LngId());
            if (isVisible())
                app_.chooseLanguage(id);
        });
    }

    mnuHilfe = bar->addMenu(LngText(322));
    mnuHilfe->setObjectName(QStringLiteral("mnuHilfe"));
    mnuHilfeInhalt = action(mnuHilfe, "mnuHilfeInhalt", LngText(323));
    mnuHilfeInhalt->setShortcut(QKeySequence::HelpContents);
    mnuHilfeSuchen = action(mnuHilfe, "mnuHilfeSuchen", LngText(324));
    mnuHilfe->addSeparator();
    mnuHilfeInfo = action(mnuHilfe, "mnuHilfeInfo", LngText(325));

    connect(mnuDruckenAction, &QAction::triggered, this, &frmMain::mnuDrucken);
    connect(mnuEnde, &QAction::triggered, this, &QWidget::close);
    connect(mnuClientSetup, &QAction::triggered, this, [this] { app_.clientSetup(); });
    connect(mnuSchnittstelle, &QAction::triggered, this, &frmMain::openInterfaceDialog);
    connect(mnuLog, &QAction::triggered, this, &frmMain::openLogDialog);
    connect(mnuMqtt, &QAction::triggered, this, &frmMain::openMqttDialog);
    connect(mnuEmail, &QAction::triggered, this, &frmMain::emailSettingsRequested);
    connect(this, &frmMain::emailSettingsRequested, this, &frmMain::openEmailDialog);
    connect(mnuTemperaturkorrektur, &QAction::triggered, this, [this] {
        // The tick follows the switch, not the click (the question may be declined).
        mnuTemperaturkorrektur->setChecked(app_.switches().flagTempKorr());
        app_.toggleTemperatureCorrection();
    });
    connect(mnuLoeschen, &QAction::triggered, this, [this] { app_.deleteTanks(); });
    connect(mnuKonfigurationLoeschen, &QAction::triggered, this, [this] { app_.deleteConfiguration(); });
    connect(mnuHilfeInhalt, &QAction::triggered, this, [this] { showHelp(QLatin1String(HelpTopic::Index)); });
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
        p->setText(app_.ui().panelText(n));
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
    connect(&app_.ui(), &UiServices::panelTextChanged, this, [this](int n, const QString &text) {
        if (StatusPanel *p = panels_.value(n))
            p->setText(text);
        // The links announce themselves on panel 1.
        if (n == 1)
            describeLinks();
    });
}

void frmMain::applyLoadSteps()
{
    const bool client = app_.config().clientMode;
    mnuEinstellen->setEnabled(!client);
    mnuEinstellen->menuAction()->setEnabled(!client);
    mnuClientSetup->setVisible(client);

    // Small screens get the whole of it.
    if (QScreen *s = screen(); s && s->geometry().width() == 800)
        setWindowState(windowState() | Qt::WindowMaximized);

    // Branding: the partner's logo and address, or the maker's.
    const bool partner = app_.config().partnerBranding;
    PictureARV->setVisible(partner);
    PictureValmor->setVisible(!partner);
    if (partner)
        LabelInternet->setText(LngText(274));
    setWindowIcon(QIcon((partner ? PictureARV : PictureValmor)->pixmap(64)));

    setWindowTitle(ProgramTitle(app_.config(), false));
    display_->setUrlCaption(LabelInternet->text());
    display_->resetDisplay();
    display_->ComboSN_Click(); // nothing while no tank is selected
    LabelPgmName->setText(ProgramTitle(app_.config(), true));
    connect(display_, &TankDisplay::captionChanged, this, &QWidget::setWindowTitle);
    connect(display_, &TankDisplay::chartRequested, this, [this] {
        if (chart_) {
            chart_->raise();
            chart_->activateWindow();
            return;
        }
        chart_ = frmGrafikHistorie::OpenForm(app_.tanks().table(), app_.settings(), app_.ui(),
                                             app_.switches(), app_.clock(), this);
    });
    connect(display_, &TankDisplay::tableRequested, this, &frmMain::openTable);

    connect(&app_.tanks(), &TankController::restoreWindow, this, [this] {
        if (isMinimized())
            showNormal();
        raise();
    });
    connect(&app_, &AppController::showInterfaceDialog, this, &frmMain::openInterfaceDialog);
    connect(&app_, &AppController::showClientPathDialog, this, &frmMain::openClientPathDialog);
    connect(&app_, &AppController::tempCorrectionChanged, this,
            [this](bool on) { mnuTemperaturkorrektur->setChecked(on); });
    connect(&app_, &AppController::quitRequested, this, [this] { ending_ = true; });
    connect(&app_, &AppController::linksCreated, this, &frmMain::wireLinks);

    if (!client && app_.interfaceDialogWanted())
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
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && app_.firstActivateDone())
        activate();
}

void frmMain::firstActivate()
{
    if (app_.firstActivateDone())
        return;
    activate();
}

void frmMain::activate()
{
    if (ending_)
        return;
    app_.activate();
    if (!ending_)
        afterActivate();
}

void frmMain::afterActivate()
{
    mnuTemperaturkorrektur->setChecked(app_.switches().flagTempKorr());
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
    panels_[3]->progressBar()->setToolTip(DisplayRules::ReceptionProgressTip(elapsed, limit));
}

void frmMain::describeLinks()
{
    QStringList links;
    if (LinkManager *l = app_.links()) {
        if (l->serialOpen())
            links << l->currentDevice();
        if (l->listeningPort() != 0)
            links << QStringLiteral("TCP/IP Port ") + QString::number(l->listeningPort());
    }
    display_->setLinkDescription(links);
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
    if (app_.config().clientMode)
        return;
    // The links come to life at the first activation; a wish made at load
    // (no link switched on) waits for them.
    if (!app_.links()) {
        interfaceDialogPending_ = true;
        return;
    }
    interfaceDialogPending_ = false;
    frmCOM::ShowDialog(com_, app_.interfaceDialog(), this);
}

void frmMain::wireLinks()
{
    if (linksWired_ || !app_.links())
        return;
    linksWired_ = true;
    connect(app_.links(), &LinkManager::receptionProgress, this, &frmMain::receptionProgress);
    connect(app_.links(), &LinkManager::progressHidden, this, &frmMain::hideProgress);
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
    if (app_.config().clientMode)
        return;
    frmLog::ShowDialog(
        log_, std::make_unique<LogDialogLogic>(app_.switches(), app_.settings(), app_.clock()),
        [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::openMqttDialog()
{
    if (app_.config().clientMode)
        return;
    frmMqtt::ShowDialog(
        mqtt_,
        std::make_unique<MqttDialogLogic>(ReadMqttValues(app_.settings()), app_.ui(),
                                          [this](const MqttValues &v) { app_.applyMqttSettings(v); }),
        [this](const QString &topic) { showHelp(topic); }, this);
}

void frmMain::openClientPathDialog()
{
    auto *dlg = new frmLogClient(
        app_, false, [this](const QString &topic) { showHelp(topic); }, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->open();
}

void frmMain::openEmailDialog()
{
    EmailNotifier &mail = app_.email();
    TestMailFns testMail{[&mail] { return mail.busy(); },
                         [&mail](int tank, const EmailValues &shown) { mail.SendTestEmail(tank, shown); }};
    frmEmail *dlg =
        frmEmail::ShowDialog(email_,
                             std::make_unique<EmailDialogLogic>(app_.emailSettings(), std::move(testMail),
                                                                app_.ui(), app_.tanks().table()),
                             this);
    if (dlg)
        connect(dlg, &frmEmail::helpRequested, this, &frmMain::showHelp, Qt::UniqueConnection);
}

void frmMain::showAbout()
{
    // Not modal; one about box at a time.
    if (!about_) {
        about_ = new frmInfo(app_.config(), app_.ui(), this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
    about_->raise();
}

void frmMain::openTable()
{
    // One table window; asked again, it shows the tanks as they are now.
    if (table_) {
        table_->reload(app_.tanks().currentDevice());
        table_->raise();
        table_->activateWindow();
        return;
    }
    table_ = frmTabelle::OpenForm(app_.tanks().table(), app_.settings(), app_.ui(), app_.config(),
                                  app_.clock(), app_.tanks().currentDevice(), this);
}

void frmMain::closeEvent(QCloseEvent *e)
{
    // Closing the main window ends the program, whatever else is open:
    // registry saved first.
    e->accept();
    if (!ending_)
        app_.requestQuit(0, true);
}
