// Start-up decisions of the application controller, short of the real process.
#include "RoadTest.h"

#include "app/LogDialogLogic.h"
#include "link/LinkManager.h"
#include "model/TankStateWatch.h"

#include <QFileInfo>

using Startup = RoadTest;

// A fresh installation wants the interface dialog, a central installation
// with its broker set does not; a second instance is
// refused before anything is written, a restart overlaps the old one; a
// stored language id no table has is corrected and written back, one on the
// command line ends the start; the count of tanks is limited.
TEST_F(Startup, FreshInstallationSecondInstanceLanguageIdsAndTheCountLimit)
{
    auto first = make();
    ASSERT_EQ(first->app.start(), AppController::Start::Run);
    EXPECT_TRUE(first->app.interfaceDialogWanted());
    EXPECT_EQ(settings.read(Cfg::GeraeteAnzahl, "none"), "none");
    settings.write(Cfg::LngId, "0"); // a write-back would show in the file
    const QByteArray before = readBytes(iniPath());
    EXPECT_EQ(make()->app.start(), AppController::Start::Ended);
    EXPECT_EQ(ui.texts(), QStringList{LngText(272)});
    EXPECT_EQ(readBytes(iniPath()), before);
    EXPECT_EQ(make({"ENDE"})->app.start(), AppController::Start::Run);
    first.reset();

    // No English help file next to the test program: German.
    for (const auto &[stored, used] : {std::pair{"0", 1}, {"11", 1}, {"3", 3}}) {
        settings.write(Cfg::LngId, stored);
        EXPECT_EQ(make()->app.start(), AppController::Start::Run);
        EXPECT_EQ(settings.read(Cfg::LngId), QString::number(used)) << stored;
        EXPECT_EQ(LngId(), used);
    }
    auto wrong = make({"LNGID=11"});
    EXPECT_EQ(wrong->app.start(), AppController::Start::Ended);
    EXPECT_EQ(ui.texts().last(), "Wrong LngId !?!");
    EXPECT_EQ(wrong->quitCode, 1);
    wrong.reset();

    // "ActiveCom" = 2 counts as off, so no link is chosen yet either (and the simulation opens no
    // port). The count stops at the last section with a serial number.
    writeBytes(iniPath(), "[Common]\r\nActiveCom=2\r\n[COM]\r\nSimulation=1\r\n[Ger\xE4te]\r\nAnzahl=80\r\n"
                          "[Ger\xE4t56]\r\nSN=560\r\n");
    startApp();
    EXPECT_FALSE(run->parts.switches().activeCom());
    EXPECT_TRUE(run->app.interfaceDialogWanted());
    EXPECT_EQ(run->parts.tanks().DeviceCount(), 56);

    // Its tanks come from the broker; switched on without a host it has none.
    for (const auto &[section, wanted] : {std::pair{"[Zentrale]\r\nAktiv=1\r\nHost=127.0.0.1\r\n", false},
                                          {"[Zentrale]\r\nAktiv=1\r\n", true},
                                          {"[Zentrale]\r\nAktiv=0\r\nHost=127.0.0.1\r\n", true}}) {
        writeBytes(iniPath(), section);
        startApp();
        EXPECT_EQ(run->app.interfaceDialogWanted(), wanted) << section;
    }
}

// The switches a dialog changes act at once: the links open and close, the
// next recording goes to the new log folder, without a restart. Later
// activations only read the log switches and the e-mail status again.
TEST_F(Startup, ChangedSwitchesReachTheLinksAndTheRecorderAndLaterActivationsReloadNothing)
{
    writeBytes(iniPath(),
               "[Common]\r\nActiveCom=1\r\nActiveNet=1\r\n[Logfile]\r\nAktiv=1\r\nIntervall in s=600\r\n"
               "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=4711\r\n");
    startApp();
    AppController &app = run->app;
    RunSwitches &switches = run->parts.switches();
    MockLink &serial = *run->mocks.serial, &tcp = *run->mocks.tcp;
    using enum DeviceLink::State;
    ASSERT_EQ(std::pair(serial.state(), tcp.state()), std::pair(Open, Open));
    switches.setActiveNet(false);
    EXPECT_EQ(std::pair(serial.state(), tcp.state()), std::pair(Open, Closed));
    switches.setActiveCom(false);
    switches.setActiveNet(true);
    EXPECT_EQ(std::pair(serial.state(), tcp.state()), std::pair(Closed, Open));

    const QByteArray telegram = Telegram{.sn = 4711, .levelWord = Bcd(1234)}.bytes();
    tcp.feed(telegram);
    EXPECT_EQ(readBytes(dataDir() + "Tank1.csv").count('\n'), 1);
    LogDialogLogic dialog(switches, run->settings, clock);
    dialog.folder = dataDir() + "moved";
    dialog.Ok();
    now = now.addSecs(601);
    tcp.feed(telegram);
    EXPECT_EQ(readBytes(dataDir() + "moved/Tank1.csv").count('\n'), 1);
    EXPECT_EQ(readBytes(dataDir() + "Tank1.csv").count('\n'), 1);

    EXPECT_EQ(ui.panelText(2), LngText(257));
    LinkManager *links = app.links();
    settings.write(Cfg::GeraeteAnzahl, "2");
    settings.write(Cfg::LogfileAktiv, "0");
    settings.write(Cfg::LogIniIntervall, "600");
    settings.write(Cfg::Email::Aktiv, "1");
    app.activate();
    EXPECT_EQ(run->parts.tanks().DeviceCount(), 1); // no reload
    EXPECT_EQ(app.links(), links);                  // no new link
    EXPECT_EQ(std::pair(switches.logFileActive(), switches.logIniInterval()), std::pair(false, 600));
    EXPECT_EQ(ui.panelText(2), LngText(276));
}

// A client finds its server's folder in the local settings file (given
// there as the server's settings file, too); the file lost later ends it.
TEST_F(Startup, ClientPathFromTheLocalFileAndTheServerFileLostWhileRunning)
{
    EXPECT_EQ(make({"CLIENT"})->app.start(), AppController::Start::ClientPathMissing)
        << "no \"Client\"/\"Path\": the path dialog is needed";
    QTemporaryDir share;
    writeBytes(share.path() + "/Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    settings.write(Cfg::ClientPath, share.path() + "/TANKMON.INI");
    startApp({"/client"});
    EXPECT_TRUE(run->program.options.clientMode);
    EXPECT_EQ(run->parts.switches().clientPath(), share.path() + "/");
    QFile::remove(share.path() + "/Tankmon.ini");
    ui.holdBoxes = true;
    run->app.activate();
    run->app.activate(); // the box gives the focus back: no second box
    EXPECT_EQ(ui.openBoxes(), 1);
    EXPECT_TRUE(ui.shown.last().text.startsWith(LngText(297)));
    EXPECT_EQ(run->quitCode, -1);
    ui.answerOpenBox();
    EXPECT_EQ(run->quitCode, 1);
}

TEST_F(Startup, ClientRefreshFollowsTheServerFiles)
{
    QTemporaryDir share;
    const QString server = share.path() + "/";
    writeBytes(server + "Tankmon.ini",
               "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=5\r\nGer\xE4tetyp=9\r\nVolumen=100\r\n");
    auto lines = [](int count) {
        QByteArray b;
        for (int d = 1; d <= count; ++d)
            b += QByteArray::number(d + 100).mid(1) + ".11.2026 00:00:00," + QByteArray::number(100 + d) +
                 ",Liter,5\r\n";
        return b;
    };
    writeBytes(server + "Tank1.csv", lines(10));
    settings.write(Cfg::ClientPath, server);
    now = Clock::Naive(QDate(2026, 12, 1), QTime(8, 0)); // the lines are not ahead of the clock
    startApp({"CLIENT"});
    AppController &app = run->app;
    app.setRestartOptions({"--data-dir", "/x"});
    DeviceRecord &r = run->parts.tanks().device(1);
    ASSERT_EQ(r.History.count(), 10);

    // The server's record, its new line and its low-level threshold are read.
    writeBytes(server + "Tank1.csv", lines(11));
    writeBytes(server + "Tankmon.ini",
               "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=5\r\nGer\xE4tetyp=9\r\nVolumen=80\r\n"
               "[E-Mail]\r\nSchwelle 2=30\r\n");
    app.TimerClientTick();
    EXPECT_EQ(std::pair(r.Volumen, run->parts.states().status(1).lowPercent), std::pair(qint32(80), 30.0));
    ASSERT_EQ(r.History.count(), 11);
    EXPECT_DOUBLE_EQ(r.History.HistoryValues[11], 111);
    EXPECT_TRUE(run->restarted.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(server + "Tank2.csv")); // a client writes nothing there

    // The server registered a device: the client restarts, with our options, "ENDE" first.
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=2\r\n");
    app.TimerClientTick();
    EXPECT_EQ(run->restarted, (QStringList{"--data-dir", "/x", "ENDE", "CLIENT"}));
    EXPECT_EQ(run->quitCode, 0);
}
