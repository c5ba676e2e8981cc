// The client-path, client set-up, log settings and language dialogs, the help
// entries, and a walk over every menu entry of the main window, offscreen.
#include "ui/UiTestSupport.h"

#include "app/ClientSetup.h"
#include "app/LogDialogLogic.h"
#include "help/HelpTopics.h"
#include "lang/AccessKeys.h"
#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmHilfe.h"
#include "ui/FrmLog.h"
#include "ui/FrmLogClient.h"
#include "ui/FrmSelectLng.h"
#include "ui/FrmTabelle.h"
#include "ui/StatusPanel.h"

namespace {

class DialogTest : public MainWindowTest {
protected:
    QString localFile() const { return QString::fromLatin1(readBytes(iniPath())); }
};

TEST_F(DialogTest, ClientPathDialogStoresOnlyAFolderWithTheSettingsFileAndEndsEitherWay)
{
    for (auto [serverFileThere, icon, exitCode] :
         {std::tuple{false, MsgIcon::Stop, 1}, {true, MsgIcon::Information, 0}}) {
        SCOPED_TRACE(serverFileThere);
        const QString server = dataDir() + "server" + QString::number(serverFileThere);
        QDir().mkpath(server);
        if (serverFileThere)
            writeBytes(server + "/TANKMON.INI", "[Ger\xE4te]\r\nAnzahl=0\r\n");
        config.clientMode = true;
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=1\r\n");
        open(AppController::Start::ClientPathMissing);
        QSignalSpy quit(app.get(), &AppController::quitRequested);
        frmLogClient dlg(*app, true, {});
        dlg.txbxINIPath->setText(server); // no trailing "/"
        ui.holdBoxes = true;
        QTest::mouseClick(dlg.CmdOk, Qt::LeftButton);
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown.last().text.endsWith("\r\n" + server + "/Tankmon.ini"));
        EXPECT_EQ(ui.shown.last().icon, icon);
        EXPECT_EQ(quit.count(), 0); // the program ends once the box is closed
        ui.answerOpenBox();
        ASSERT_EQ(quit.count(), 1);
        EXPECT_EQ(quit.first().first().toInt(), exitCode);
        EXPECT_EQ(localFile().contains("[Client]\r\nPath=" + server + "/\r\n"), serverFileThere) << localFile().toStdString();
        ui.shown.clear();
    }
}

TEST_F(DialogTest, ClientSetupKeepsLanguageAndPathCancelKeepsTheClientNetworkPathsFound)
{
    const QString server = dataDir() + "server/";
    QDir().mkpath(server);
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    writeBytes(iniPath(), "[Common]\r\nGrafikPoints=1\r\n[LngPtnr]\r\nLngId=3\r\n[Client]\r\nPath=" +
                              server.toLatin1() + "\r\n[Ger\xE4t1]\r\nSN=5\r\n[Common]\r\nGridColWidth1=80\r\n");
    config.clientMode = true;
    SetLngId(3);
    open();
    QSignalSpy quit(app.get(), &AppController::quitRequested);
    action("mnuClientSetup")->trigger();
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=3\r\n[Client]\r\nPath=" + server + "\r\n");
    auto *dlg = win->findChild<frmLogClient *>();
    ASSERT_TRUE(dlg && dlg->isVisible() && dlg->isModal());
    EXPECT_EQ(dlg->txbxINIPath->text(), server);
    QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(quit.count(), 0);

    // A Windows network path stored by the serving installation is found where it is mounted.
    const QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n"
                              "//Server/TankMon /mnt/tank\\040mon cifs ro 0 0\n";
    const std::pair<const char *, const char *> cases[] = {
        {"\\\\server\\tankmon\\", "/mnt/tank mon/"},
        {"\\\\SERVER\\tankmon\\daten\\", "/mnt/tank mon/daten/"},
        {"\\\\server\\other\\", ""},
        {"C:\\Tankmon\\", ""},
    };
    for (const auto &[stored, local] : cases)
        EXPECT_EQ(ClientSetup::MountedFolder(stored, mounts), local) << stored;
}

TEST_F(DialogTest, LogDialogShowsTheNearestEntriesAndOkWritesInOrder)
{
    config.logFileActive = true;
    config.logFileInterval = 7200;
    config.logIniInterval = 0;
    open();
    action("mnuLog")->trigger();
    auto *dlg = win->findChild<frmLog *>();
    ASSERT_TRUE(dlg && dlg->isVisible());
    EXPECT_EQ(dlg->ComboLogFile->currentText(), "1 Stunde");
    EXPECT_EQ(dlg->ComboLogIni->currentText(), "1 Minute");
    EXPECT_TRUE(dlg->chbxLogFile->isChecked() && !dlg->chbxLogIni->isChecked());

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
    dlg->txbxINIPath->setText(dataDir() + "logs");
    QTest::mouseClick(dlg->CmdOk, Qt::LeftButton);
    EXPECT_EQ(localFile(), "[LngPtnr]\r\nLngId=1\r\n"
                           "[Logfile]\r\nAktiv=1\r\nIntervall in s=3600\r\nLast=14.03.2026 10:30:00\r\n"
                           "[Log INI-File]\r\nAktiv=1\r\nIntervall in s=1800\r\nPath=" +
                               dataDir() + "logs/\r\nLast=14.03.2026 10:30:00\r\n");
    EXPECT_TRUE(QDir(dataDir() + "logs").exists());
    EXPECT_EQ(config.logIniInterval, 1800);
    EXPECT_EQ(config.logFolder, dataDir() + "logs/");
}

TEST_F(DialogTest, LanguageSelectionNeedsACurrentEntry)
{
    frmSelectLng dlg;
    dlg.show();
    QSignalSpy chosen(&dlg, &frmSelectLng::chosen);
    // Below the last entry: nothing is current.
    QWidget *view = dlg.lst->viewport();
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(5, view->height() - 2));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(chosen.count(), 0);
    const QRect italian = dlg.lst->visualItemRect(dlg.lst->item(1));
    QTest::mouseClick(view, Qt::LeftButton, {}, italian.center());
    QTest::mouseDClick(view, Qt::LeftButton, {}, italian.center());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first().first().toInt(), 3);
    EXPECT_FALSE(dlg.isVisible());
}

// Deleting tanks through the menu: the current tank stays current where it
// moved to, and the freed slots leave no empty section behind.
TEST_F(DialogTest, DeletingTanksKeepsTheCurrentTankAndLeavesNoEmptySection)
{
    for (auto [first, last, current, after] : {std::tuple{"1", "1", 3, 2}, {"1", "1", 1, 1}, {"2", "3", 3, 1}}) {
        SCOPED_TRACE(current);
        writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=3\r\nAktuell=" + QByteArray::number(current) +
                                  "\r\n[Ger\xE4t1]\r\nSN=101\r\n[Ger\xE4t2]\r\nSN=102\r\n[Ger\xE4t3]\r\nSN=103\r\n");
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

// A connection counts: receivers() is protected, reached through a derived class.
struct Receivers : QAction {
    static int of(const QAction *a)
    {
        int (QObject::*fn)(const char *) const = &Receivers::receivers;
        return (a->*fn)(SIGNAL(triggered(bool)));
    }
};

TEST_F(DialogTest, EveryMenuEntryOfTheMainWindowDoesSomething)
{
    open();
    QMenu probeMenu;
    const int idle = Receivers::of(probeMenu.addAction(QStringLiteral("idle")));
    int walked = 0;
    for (QAction *a : win->findChildren<QAction *>()) {
        if (a->isSeparator() || a->menu() || a->objectName().isEmpty())
            continue;
        ++walked;
        // A menu and an action group listen to their actions themselves.
        EXPECT_GT(Receivers::of(a), idle + (a->actionGroup() ? 1 : 0)) << a->objectName().toStdString();
    }
    EXPECT_GE(walked, 22);

    // Each entry opens one non-modal window however often it is chosen; the
    // e-mail panel opens the same e-mail dialog.
    const std::pair<const char *, const char *> windows[] = {
        {"mnuHilfeInfo", "frmInfo"}, {"mnuEmail", "frmEmail"}, {"mnuLog", "frmLog"}, {"mnuHilfeInhalt", "frmHilfe"},
    };
    for (const auto &[entry, name] : windows) {
        action(entry)->trigger();
        action(entry)->trigger();
        const QList<QWidget *> shown = win->findChildren<QWidget *>(name);
        ASSERT_EQ(shown.size(), 1) << name;
        EXPECT_TRUE(shown.first()->isVisible() && !shown.first()->isModal()) << name;
    }
    QTest::mouseClick(win->panel(2), Qt::LeftButton);
    EXPECT_EQ(win->findChildren<QWidget *>("frmEmail").size(), 1);
    // The help window at the contents, the search page, a dialog's help button's page.
    auto *help = win->findChild<frmHilfe *>();
    EXPECT_EQ(help->currentTopic(), HelpTopic::Index);
    action("mnuHilfeSuchen")->trigger();
    EXPECT_EQ(help->currentTopic(), HelpTopic::Search);
    QTest::mouseClick(win->findChild<frmLog *>()->cmdHilfe, Qt::LeftButton);
    EXPECT_EQ(help->currentTopic(), HelpTopic::frmLog);
    EXPECT_EQ(win->findChildren<frmHilfe *>().size(), 1);

    // A language, also the active one, is stored and the program restarts.
    for (int id : {LngId(), 5}) {
        action(qPrintable(QStringLiteral("mnuSprache%1").arg(id)))->trigger();
        EXPECT_EQ(settings.read(Cfg::LngId), QString::number(id));
        ASSERT_EQ(restarts.size(), 1);
        EXPECT_TRUE(restarts.first().endsWith("ENDE"));
        restarts.clear();
        open();
    }
}

// Alt and a letter: each caption a user acts on has a letter of its own
// within its window (a menu: within the menu), and every field is reached
// through its label's letter (a field with its caption inside needs none).
void ExpectAccessLetters(QWidget *window)
{
    SCOPED_TRACE(window->objectName().toStdString());
    QSet<QChar> keys;
    QSet<QWidget *> reached;
    const auto expectKey = [&keys, &reached](const QString &text, QWidget *to = nullptr) {
        if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }))
            return; // "…", "+"
        const QChar k = AccessKey(text);
        EXPECT_FALSE(k.isNull() || keys.contains(k)) << qPrintable(text);
        keys.insert(k);
        reached << to;
    };
    QList<QAction *> actions = window->actions();
    QList<QWidget *> fields;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        auto *l = qobject_cast<QLabel *>(w);
        auto *e = qobject_cast<QLineEdit *>(w);
        if (w->window() != window || qobject_cast<QComboBox *>(w->parent()) || qobject_cast<QAbstractSpinBox *>(w->parent()))
            continue;
        if (auto *bar = qobject_cast<QMenuBar *>(w)) {
            actions << bar->actions();
            for (QAction *m : bar->actions())
                ExpectAccessLetters(m->menu());
        }
        else if (b && !(b->group() && b->group()->exclusive()))
            b->text().isEmpty() && b->isCheckable() ? void(fields << b) : expectKey(b->text(), b);
        else if (l && l->buddy())
            expectKey(l->text(), l->buddy());
        else if ((e && e->placeholderText().isEmpty()) || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w))
            fields << w;
    }
    for (QAction *a : actions)
        if (!a->isSeparator())
            expectKey(a->text());
    // A field switched by a check box is the next Tab stop after it; two
    // fields share the label of the first.
    const QStringList secondOfTwo{"txbxEmpfaengerAdr1", "ComboAbstand2"};
    for (QWidget *f : fields) {
        QWidget *before = f->previousInFocusChain();
        while (before != f && !(before->focusPolicy() & Qt::TabFocus))
            before = before->previousInFocusChain();
        const bool afterBox = reached.contains(before) && qobject_cast<QAbstractButton *>(before);
        EXPECT_TRUE(reached.contains(f) || afterBox || secondOfTwo.contains(f->objectName())) << f->objectName().toStdString();
    }
}

// TANKMON_SHOT_DIR=folder keeps a picture of each window in each language.
TEST_F(DialogTest, EveryWindowHasAccessLettersOfItsOwnInEveryLanguage)
{
    DeviceTable table;
    table.DeviceCount = 1;
    for (int day = 60; day > 0; day -= 3)
        table[1].History.append(now.addDays(-day), 100 * day, 10);
    for (int lng = 1; lng <= 10; ++lng) {
        SCOPED_TRACE(lng);
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=" + QByteArray::number(lng) + "\r\n[COM]\r\nSimulation=1\r\n");
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }));
        // Every dialog of the settings and help menus; deleting and switching left out.
        for (QMenu *m : {win->findChild<QMenu *>("mnuEinstellen"), win->findChild<QMenu *>("mnuHilfe")})
            for (QAction *a : m->actions())
                if (!a->isCheckable() && !a->objectName().contains("Loeschen"))
                    a->trigger();
        (new frmSelectLng(win.get()))->show();
        (new frmLogClient(*app, false, {}, win.get()))->show();
        ASSERT_TRUE(frmTabelle::OpenForm(table, settings, ui, config, clock, win.get()));
        auto *chart = frmGrafikHistorie::OpenForm(table, settings, ui, config, clock, win.get());
        ASSERT_TRUE(chart);
        emit chart->findChild<ChartPlot *>()->customContextMenuRequested({5, 5});
        const QString shots = qEnvironmentVariable("TANKMON_SHOT_DIR");
        EXPECT_GE(Shown<QWidget>().size(), 11);
        for (QWidget *w : Shown<QWidget>()) {
            ExpectAccessLetters(w);
            if (!shots.isEmpty())
                w->grab().save(QStringLiteral("%1/%2_%3.png").arg(shots, w->objectName()).arg(lng));
        }
        close();
    }
}

} // namespace
