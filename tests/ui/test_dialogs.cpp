// The client-path, client set-up, log settings, language, web and MQTT
// dialogs, the help window, and a walk over every menu entry and button of the
// main window, offscreen.
#include "ui/UiTestSupport.h"

#include "app/ClientSetup.h"
#include "app/ProgramInfo.h"
#include "mqtt/MqttPeers.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmHilfe.h"
#include "ui/FrmLog.h"
#include "ui/FrmLogClient.h"
#include "ui/FrmMqtt.h"
#include "ui/FrmTabelle.h"
#include "ui/FrmWeb.h"
#include "ui/FrmZentrale.h"
#include "ui/StatusPanel.h"
#include "ui/TankDisplay.h"
#include "web/WebPassword.h"
#include "web/WebServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>

namespace
{

using DialogTest = MainWindowTest;

// A wrong folder is said, nothing is stored or created, and the dialog takes
// another; the right one is stored with the language chosen just before, and
// the program restarts itself.
TEST_F(DialogTest, ClientPathDialogCreatesNothingForAWrongFolderAndRestartsForTheRightOne)
{
    const QString server = dataDir() + "server";
    QDir().mkpath(server);
    writeBytes(server + "/TANKMON.INI", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    config.clientMode = true;
    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=0\r\n");
    open(AppController::Start::ClientPathMissing);
    ASSERT_TRUE(app->entryLanguageChosen(10)); // chosen, not stored yet
    QSignalSpy quit(app, &AppController::quitRequested);
    frmLogClient dlg(program->menu, true, {});
    QDir().mkpath(dataDir() + "empty");
    for (const QString &wrong : {dataDir() + "servre/share", dataDir() + "empty", QString("  ")}) {
        dlg.txbxINIPath->setText(wrong);
        QTest::mouseClick(dlg.CmdOk, Qt::LeftButton);
        ASSERT_EQ(ui.shown.size(), 1) << qPrintable(wrong);
        // Said, and the dialog takes another folder.
        EXPECT_TRUE(ui.shown.takeLast().icon == MsgIcon::Stop && dlg.isEnabled() && quit.isEmpty() &&
                    restarts.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(dataDir() + "servre")) << "a mistyped folder was created";
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=0\r\n");

    dlg.txbxINIPath->setText(server); // no trailing "/"
    QTest::mouseClick(dlg.CmdOk, Qt::LeftButton);
    EXPECT_TRUE(ui.shown.isEmpty()) << qPrintable(ui.shown.value(0).text);
    EXPECT_EQ(restarts, QStringList{"ENDE CLIENT"});
    EXPECT_EQ(quit, QList<QVariantList>{{0}});
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=10\r\n[Client]\r\nPath=" + server + "/\r\n");
}

TEST_F(DialogTest, ClientSetupKeepsLanguageAndPathCancelKeepsTheClientNetworkPathsFound)
{
    const QString server = dataDir() + "server/";
    QDir().mkpath(server);
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    writeBytes(iniPath(),
               "[Common]\r\nGrafikPoints=1\r\n[LngPtnr]\r\nLngId=3\r\n[Client]\r\nPath=" + server.toLatin1() +
                   "\r\n[Ger\xE4t1]\r\nSN=5\r\n" + "[Common]\r\nGridColWidth1=80\r\n");
    config.clientMode = true;
    SetLngId(3);
    open();
    // In client mode the client set-up takes the place of the settings.
    EXPECT_TRUE(action("mnuClientSetup")->isVisible());
    EXPECT_FALSE(Part<QMenu>(win.get(), "mnuEinstellen")->menuAction()->isEnabled());
    QSignalSpy quit(app, &AppController::quitRequested);
    action("mnuClientSetup")->trigger();
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=3\r\n[Client]\r\nPath=" + server + "\r\n");
    auto *dlg = win->findChild<frmLogClient *>();
    ASSERT_TRUE(dlg && dlg->isVisible() && dlg->isModal());
    EXPECT_EQ(dlg->txbxINIPath->text(), server);
    QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
    EXPECT_TRUE(!dlg->isVisible() && quit.isEmpty());

    // A Windows network path stored by the serving installation is found where it is mounted.
    const QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n"
                              "//Server/TankMon /mnt/tank\\040mon cifs ro 0 0\n";
    EXPECT_EQ(ClientSetup::MountedFolder("\\\\SERVER\\tankmon\\daten\\", mounts) + "|" +
                  ClientSetup::MountedFolder("\\\\server\\other\\", mounts),
              "/mnt/tank mon/daten/|");
}

TEST_F(DialogTest, LogDialogShowsTheNearestEntriesAndOkWritesInOrder)
{
    // The INI log is on when the file does not say: off here.
    writeBytes(iniPath(), "[Logfile]\r\nAktiv=1\r\nIntervall in s=7200\r\n"
                          "[Log INI-File]\r\nAktiv=0\r\nIntervall in s=0\r\n");
    open();
    // Nothing noted yet: the notifications list says so.
    action("mnuMeldungen")->trigger();
    EXPECT_TRUE(Part<QLabel>(win->findChild<QDialog *>("frmMeldungen"), "lblLeer")->isVisible());
    action("mnuLog")->trigger();
    auto *dlg = win->findChild<frmLog *>();
    ASSERT_TRUE(dlg && dlg->isVisible());
    EXPECT_EQ(QStringLiteral("%1 %2|%3 %4")
                  .arg(dlg->chbxLogFile->isChecked())
                  .arg(dlg->ComboLogFile->currentText())
                  .arg(dlg->chbxLogIni->isChecked())
                  .arg(dlg->ComboLogIni->currentText()),
              "1 1 Stunde|0 1 Minute");

    // Cancel stores nothing.
    const QByteArray before = readBytes(iniPath());
    QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(readBytes(iniPath()), before);

    writeBytes(iniPath(), "[LngPtnr]\r\nLngId=1\r\n");
    action("mnuLog")->trigger();
    dlg = win->findChild<frmLog *>();
    ASSERT_TRUE(dlg);
    dlg->chbxLogIni->setChecked(true);
    dlg->ComboLogIni->setCurrentIndex(2);
    // A folder that cannot be made, or no full path, is refused as --set
    // refuses it: said in the dialog, which stays, and nothing is stored.
    for (const QString wrong : {"/proc/forbidden/", "logs/relative"}) {
        dlg->txbxINIPath->setText(wrong);
        QTest::mouseClick(dlg->CmdOk, Qt::LeftButton);
        EXPECT_TRUE(dlg->isVisible() && dlg->lblFolderProblem->isVisible() &&
                    dlg->lblFolderProblem->text().contains(wrong))
            << qPrintable(dlg->lblFolderProblem->text());
        EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=1\r\n");
    }
    dlg->txbxINIPath->setText(dataDir() + "logs");
    QTest::mouseClick(dlg->CmdOk, Qt::LeftButton);
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=1\r\n"
                           "[Logfile]\r\nAktiv=1\r\nIntervall in s=3600\r\nLast=14.03.2026 10:30:00\r\n"
                           "[Log INI-File]\r\nAktiv=1\r\nIntervall in s=1800\r\nPath=" +
                               dataDir() + "logs/\r\nLast=14.03.2026 10:30:00\r\n");
    EXPECT_TRUE(QDir(dataDir() + "logs").exists()); // (the switches follow: Startup)
}

// A stored log folder out of reach at start is said as a problem, in the
// notifications and the status bar, not shown as an empty history.
TEST_F(DialogTest, LogFolderOutOfReachAtStartIsAProblem)
{
    writeBytes(iniPath(), "[Logfile]\r\nAktiv=1\r\n[Log INI-File]\r\nPath=/proc/forbidden/\r\n"
                          "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\n");
    open();
    app->activate();
    const auto &events = parts->notifications().events();
    const auto said = std::find_if(events.begin(), events.end(), [](const NotificationLog::Event &e) {
        return e.text.contains("/proc/forbidden/");
    });
    ASSERT_NE(said, events.end());
    EXPECT_TRUE(NotificationLog::IsProblem(said->kind));
    EXPECT_EQ(ui.panelText(1), said->text);
    ui.shown.clear();
    EXPECT_FALSE(frmGrafikHistorie::OpenForm(parts->tanks().table(), program->settings, ui, texts,
                                             program->switches, clock));
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown.front().text.contains("/proc/forbidden/")) << qPrintable(ui.shown.front().text);
}

// Deleting tanks through the menu: the current tank stays current where it
// moved to, and the freed slots leave no empty section behind.
TEST_F(DialogTest, DeletingTanksKeepsTheCurrentTankAndLeavesNoEmptySection)
{
    for (auto [first, last, current, after] :
         {std::tuple{"1", "1", 3, 2}, {"1", "1", 1, 1}, {"2", "3", 3, 1}}) {
        SCOPED_TRACE(current);
        writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\nAktuell=" + QByteArray::number(current) +
                                  "\r\n[Ger\xE4t1]\r\nSN=101\r\n[Ger\xE4t2]\r\nSN=102\r\n" +
                                  "[Ger\xE4t3]\r\nSN=103\r\n");
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }));
        ui.inputs = {first, last};
        action("mnuLoeschen")->trigger();
        ASSERT_EQ(restarts.size(), 1);
        EXPECT_EQ(settings.read(Cfg::GeraeteAktuell), QString::number(after));
        EXPECT_FALSE(localFile().contains("[Ger\u00E4t3]")) << qPrintable(localFile());
        restarts.clear();
    }
}

// The caption and the status panels follow; the window prints; the menu's
// windows and the buttons; the help window, from the dialogs' help buttons too.
TEST_F(DialogTest, CaptionPanelsPrintMenuWindowsButtonsAndTheHelp)
{
    ui.setPanelText(2, "vorher"); // before the window exists
    open();
    ui.setPanelText(3, "COM1");
    EXPECT_EQ(win->panel(2)->text() + "|" + win->panel(3)->text(), "vorher|COM1");

    // Each entry opens one non-modal window however often it is chosen; the
    // e-mail panel opens the same e-mail dialog.
    for (const auto &[entry, name] : {std::pair{"mnuHilfeInfo", "frmInfo"},
                                      {"mnuEmail", "frmEmail"},
                                      {"mnuLog", "frmLog"},
                                      {"mnuZentrale", "frmZentrale"},
                                      {"mnuHilfeInhalt", "frmHilfe"}}) {
        action(entry)->trigger();
        action(entry)->trigger();
        const QList<QWidget *> shown = win->findChildren<QWidget *>(name);
        ASSERT_EQ(shown.size(), 1) << name;
        EXPECT_TRUE(shown.first()->isVisible() && !shown.first()->isModal()) << name;
    }
    QTest::mouseClick(win->panel(2), Qt::LeftButton);
    EXPECT_EQ(win->findChildren<QWidget *>("frmEmail").size(), 1);
    // So do the table and chart buttons once there are data; before: the box.
    QPushButton *tableButton = Part<QPushButton>(win->display(), "cmdTabelle");
    QPushButton *chartButton = Part<QPushButton>(win->display(), "cmdGrafik");
    tableButton->click();
    EXPECT_EQ(ui.count("message"), 1) << "no device yet: the box";
    ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }));
    ASSERT_TRUE(parts->tanks().EvalTelegramm(Telegram{.levelWord = 0x0800}.bytes(), QString()));
    EXPECT_EQ(win->windowTitle(), "800 Liter / 12 °C  " + ProgramTitle(config, false));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dataDir() + "main.pdf");
    win->printWindow(printer);
    const QByteArray pdf = readBytes(dataDir() + "main.pdf");
    EXPECT_TRUE(pdf.startsWith("%PDF") && pdf.size() > 2000) << pdf.size();
    // The print menu's dialog opens without a loop of its own (a loop would
    // sit here until the timer shuts it).
    QTimer::singleShot(5000, [] {
        if (QWidget *m = QApplication::activeModalWidget())
            m->close();
    });
    action("mnuDrucken")->trigger();
    QDialog *printDialog = win->findChild<QDialog *>("dlgDrucken");
    ASSERT_TRUE(printDialog && printDialog->isVisible() && printDialog->isModal());
    printDialog->reject();
    EXPECT_TRUE(WaitFor([&] { return !win->findChild<QDialog *>("dlgDrucken"); })) << "gone once closed";
    for (int d = 1; d <= 6; ++d)
        parts->tanks().device(1).History.append(Clock::Naive(QDate(2026, 1, d), QTime(8, 0)), 1000 - d, 12);
    for (QPushButton *button : {tableButton, tableButton, chartButton, chartButton}) {
        EXPECT_TRUE(button->isVisible());
        button->click();
    }
    const auto tables = win->findChildren<frmTabelle *>();
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables.first()->findChild<QTableView *>("t")->model()->index(0, 1).data().toString(), "5");
    EXPECT_EQ(win->findChildren<frmGrafikHistorie *>().size(), 1);
    // The help window at the contents, the search page, a dialog's help
    // button's page, its own German page; an unknown topic shows the contents.
    auto *help = win->findChild<frmHilfe *>();
    auto *page = help->findChild<QTextBrowser *>();
    QStringList topics{help->currentTopic()};
    action("mnuHilfeSuchen")->trigger();
    topics << help->currentTopic();
    for (QPushButton *button :
         {win->findChild<frmLog *>()->cmdHilfe, win->findChild<frmZentrale *>()->cmdHilfe}) {
        QTest::mouseClick(button, Qt::LeftButton);
        topics << help->currentTopic() << page->source().toLocalFile().section('/', -2);
    }
    help->showTopic("no such page");
    topics << help->currentTopic();
    EXPECT_EQ(topics.join(' '), "Index Suchen frmLog de/frmLog.html frmZentrale de/frmZentrale.html Index");
    // A language, also the active one, is stored and the program restarts.
    for (int id : {LngId(), 5}) {
        action(qPrintable(QStringLiteral("mnuSprache%1").arg(id)))->trigger();
        EXPECT_EQ(settings.read(Cfg::LngId), QString::number(id));
        EXPECT_TRUE(restarts.size() == 1 && restarts.first().endsWith("ENDE")) << restarts.size();
        restarts.clear();
        open();
    }
    // Spanish reads the English pages.
    action("mnuHilfeInhalt")->trigger();
    help = win->findChild<frmHilfe *>();
    help->showTopic("Clientbetrieb");
    EXPECT_TRUE(help->findChild<QTextBrowser *>()->source().toLocalFile().endsWith("/en/Clientbetrieb.html"));
}

// The web view's settings dialog (which addresses may run: WebSettings; the
// hash: WebPassword): a refusal stores nothing and keeps the dialog open; OK
// stores only the hash and starts the server at once; an untouched password
// field keeps the stored hash. The MQTT dialog's energy factor per tank, shown
// with the tank's unit; OK stores them (none for a zero) and publishing starts
// afresh with them at once.
TEST_F(DialogTest, WebDialogStoresOnlyTheHashAndMqttDialogTheEnergyFactorPerTank)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port);
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=2\r\n"
                          "[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=9\r\nTankvolumen=5000\r\nEinheit=0\r\n"
                          "Tankbezeichnung=Heiz\xF6l\r\n"
                          "[Ger\xE4t2]\r\nSN=4712\r\nGer\xE4tetyp=9\r\nTankvolumen=50\r\nEinheit=1\r\n"
                          "[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTopic=tankmon/kwh\r\nPort=" +
                              QByteArray::number(broker.port) + "\r\nkWhProEinheit1=10\r\n");
    open();
    app->activate();
    action("mnuWeb")->trigger();
    ASSERT_EQ(Shown<frmWeb>().size(), 1);
    frmWeb *d = Shown<frmWeb>().first();
    d->chbxAktiv->setChecked(true);
    d->txtAdresse->setText(QStringLiteral("0.0.0.0"));
    d->spinPort->setValue(int(FreeTcpPort()));
    d->txtPassword->setText(QStringLiteral("pässword"));
    d->CmdOk->click();
    EXPECT_TRUE(ui.texts().value(0).contains(QStringLiteral("0.0.0.0"))) << qPrintable(ui.texts().join('\n'));
    EXPECT_TRUE(!localFile().contains(QStringLiteral("[Web]")) && d->isVisible());
    d->txtAdresse->setText(QStringLiteral("127.0.0.1"));
    d->CmdOk->click();
    const WebValues stored = ReadWebValues(settings);
    EXPECT_TRUE(!d->isVisible() && stored.aktiv &&
                VerifyWebPassword(stored.password, QStringLiteral("pässword")));
    EXPECT_FALSE(readBytes(iniPath()).contains("p\xE4ssword") || readBytes(iniPath()).contains("pässword"));
    ASSERT_NE(parts->web(), nullptr);
    EXPECT_EQ(parts->web()->port(), stored.port);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    action("mnuWeb")->trigger();
    Shown<frmWeb>().first()->CmdOk->click();
    EXPECT_EQ(ReadWebValues(settings).password, stored.password);

    action("mnuMqtt")->trigger();
    ASSERT_EQ(Shown<frmMqtt>().size(), 1);
    frmMqtt *m = Shown<frmMqtt>().first();
    QStringList shown;
    for (int i : {0, 1}) {
        m->ComboKWhTank->setCurrentIndex(i);
        shown << QStringLiteral("%1: %2 %3")
                     .arg(m->ComboKWhTank->currentText())
                     .arg(m->spinKWh->value())
                     .arg(m->lblKWhEinheit->text());
    }
    EXPECT_EQ(shown, QStringList({"Heizöl: 10 kWh je L", "Tank 2: 0 kWh je m³"}));
    m->spinKWh->setValue(9.5);
    m->ComboKWhTank->setCurrentIndex(0);
    m->spinKWh->setValue(0);
    m->CmdOk->click();
    EXPECT_TRUE(!m->isVisible() && !localFile().contains("kWhProEinheit1") &&
                localFile().contains("kWhProEinheit2=9.5"))
        << qPrintable(localFile());
    EXPECT_TRUE(sub.waitFor("homeassistant/sensor/tankmon_4712/energy/config", [](const QByteArray &p) {
        return QJsonDocument::fromJson(p).object().value("device_class") == "energy";
    }));
}

} // namespace
