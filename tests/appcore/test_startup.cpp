// Start-up decisions of the application controller, short of the real process.
#include "support/Fixtures.h"

#include "app/AppController.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "link/LinkManager.h"

#include <QFile>
#include <QFileInfo>

class Startup : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        SetLngId(0); // the language comes from the settings, as at a real start
    }
    void TearDown() override
    {
        SetLngId(0);
        UiTest::TearDown();
    }
    // Program entry to the first activation, as start-up runs it.
    void start(AppController &app, const QStringList &words = {})
    {
        app.setCommandLine(words);
        ASSERT_TRUE(app.programEntry());
        ASSERT_TRUE(app.acquireInstance());
        app.initialise();
        ASSERT_TRUE(app.load());
        app.activate();
    }
};

TEST_F(Startup, InvalidLanguageIdIsCorrectedAndWrittenBack)
{
    for (const char *stored : {"0", "11"}) {
        WriteIniValue("LngPtnr", "LngId", stored);
        AppController app;
        app.setCommandLine({});
        app.initialise();
        // No English help file next to the test program: German.
        EXPECT_EQ(ReadIniValue("LngPtnr", "LngId"), "1") << stored;
    }
    WriteIniValue("LngPtnr", "LngId", 3);
    AppController app;
    app.initialise();
    EXPECT_EQ(ReadIniValue("LngPtnr", "LngId"), "3");
}

TEST_F(Startup, DeviceCountIsLimitedTo56)
{
    WriteIniValue("Geräte", "Anzahl", 80);
    WriteIniValue("Common", "ActiveNet", 1);
    WriteIniValue("COM", "ClientPort", 0); // port 0 means 8000; may be taken, that is fine
    WriteIniValue("COM", "Simulation", 1); // no port opened
    AppController app;
    start(app);
    EXPECT_EQ(app.tanks().DeviceCount(), 56);
}

TEST_F(Startup, FreshInstallationWantsTheInterfaceDialog)
{
    {
        AppController fresh;
        fresh.setCommandLine({});
        ASSERT_TRUE(fresh.programEntry());
        fresh.initialise();
        ASSERT_TRUE(fresh.load());
        EXPECT_TRUE(fresh.interfaceDialogWanted());
        EXPECT_EQ(ReadIniValue("Geräte", "Anzahl", "none"), "none");
    }

    // "ActiveCom" = 2 counts as off, so no link is chosen yet either.
    WriteIniValue("Common", "ActiveCom", 2);
    WriteIniValue("COM", "Simulation", 1);
    AppController app;
    start(app);
    EXPECT_FALSE(State().activeCom);
    EXPECT_TRUE(app.interfaceDialogWanted());
}

TEST_F(Startup, LaterActivationsOnlyRereadLogSwitchesAndEmailStatus)
{
    WriteIniValue("Common", "ActiveNet", 1);
    WriteIniValue("COM", "Simulation", 1);
    WriteIniValue("Geräte", "Anzahl", 1);
    WriteIniValue("Gerät1", "SN", 4711);
    AppController app;
    start(app);
    ASSERT_EQ(app.tanks().DeviceCount(), 1);
    EXPECT_EQ(Ui().panelText(2), LngText(257));
    LinkManager *links = app.links();
    ASSERT_NE(links, nullptr);

    WriteIniValue("Geräte", "Anzahl", 2);
    WriteIniValue("Logfile", "Aktiv", 0);
    WriteIniValue("Log INI-File", "Intervall in s", 600);
    WriteIniValue("E-Mail", "Aktiv", 1);
    app.activate();
    EXPECT_EQ(app.tanks().DeviceCount(), 1); // no reload
    EXPECT_EQ(app.links(), links);           // no new link
    EXPECT_FALSE(State().logFileActive);
    EXPECT_EQ(State().logIniInterval, 600);
    EXPECT_EQ(Ui().panelText(2), LngText(276));
}

TEST_F(Startup, RestartPassesEndeThenClient)
{
    QStringList started;
    std::pair<int, bool> quit{-1, false};
    {
        AppController app;
        app.setCommandLine({"CLIENT"});
        app.setRestartOptions({"--data-dir", "/x"});
        app.setProcessStarter([&](const QStringList &a) { started = a; });
        QObject::connect(&app, &AppController::quitRequested, [&](int c, bool save) { quit = {c, save}; });
        WriteIniValue("Client", "Path", dataDir());
        ASSERT_TRUE(app.programEntry());
        app.RestartProgram();
        EXPECT_EQ(quit, std::make_pair(0, true)) << "ends normally, registry saved";
    }
    EXPECT_EQ(started, (QStringList{"--data-dir", "/x", "ENDE", "CLIENT"}));
}

TEST_F(Startup, ClientModeCaptionAndPathFromTheLocalFile)
{
    AppController plain;
    plain.setCommandLine({});
    EXPECT_TRUE(plain.programEntry());
    EXPECT_FALSE(State().clientMode);
    plain.setCommandLine({"CLIENT"});
    EXPECT_FALSE(plain.programEntry()) << "no \"Client\"/\"Path\": the path dialog would be needed";

    QTemporaryDir share;
    writeBytes(share.path() + "/Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    WriteIniValue("Client", "Path", share.path() + "/TANKMON.INI");
    AppController app;
    app.setCommandLine({"/client"});
    ASSERT_TRUE(app.programEntry());
    EXPECT_TRUE(State().clientMode);
    EXPECT_EQ(State().clientPath, share.path() + "/");
    SetLngId(1);
    EXPECT_EQ(AppController::ProgramTitle(false), "VALMOR Tankmon   Client-Version");
    EXPECT_EQ(AppController::ProgramTitle(true), "Tankview");
    State().clientMode = false;
    EXPECT_EQ(AppController::ProgramTitle(false), "VALMOR Tankmon");
    EXPECT_EQ(AppController::ProgramTitle(true), "Tankmon");
}

TEST_F(Startup, ClientLosesTheServerFileAndEnds)
{
    QTemporaryDir share;
    writeBytes(share.path() + "/Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=0\r\n");
    WriteIniValue("Client", "Path", share.path());
    AppController app;
    int code = -1;
    QObject::connect(&app, &AppController::quitRequested, [&](int c, bool) { code = c; });
    start(app, {"CLIENT"});
    EXPECT_EQ(code, -1);
    QFile::remove(share.path() + "/Tankmon.ini");
    app.activate();
    EXPECT_EQ(code, 1);
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_TRUE(ui.shown.last().text.startsWith(LngText(297)));
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Stop);
}

TEST_F(Startup, UnloadSavesTheRegistry)
{
    WriteIniValue("COM", "Simulation", 1);
    WriteIniValue("Common", "ActiveNet", 1);
    AppController app;
    start(app);
    ASSERT_TRUE(app.tanks().EvalTelegramm(Telegram{.type = 9, .sn = 4660}.bytes(), QString()));
    app.tanks().device(1).Volumen = 999;
    app.unload();
    IniStore::DropCache();
    EXPECT_EQ(ReadIniValue("Gerät1", "SN"), "4660");
    EXPECT_EQ(ReadIniValue("Gerät1", "Volumen"), "999");
}

TEST_F(Startup, SecondInstanceIsRefused)
{
    AppController first;
    first.setCommandLine({});
    ASSERT_TRUE(first.acquireInstance());
    AppController second;
    second.setCommandLine({});
    EXPECT_FALSE(second.acquireInstance());
    EXPECT_EQ(ui.texts(), QStringList{LngText(272)});
    EXPECT_EQ(ui.shown.last().title, LngText(273));
    AppController restarted;
    restarted.setCommandLine({"ENDE"});
    EXPECT_TRUE(restarted.acquireInstance()); // a restart overlaps the old instance
}

TEST_F(Startup, ClientRefreshFollowsTheServerFiles)
{
    QTemporaryDir share;
    const QString server = share.path() + "/";
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=5\r\nGer\xE4tetyp=9\r\nVolumen=100\r\n");
    auto lines = [](int count, int changed) {
        QByteArray b;
        for (int d = 1; d <= count; ++d)
            b += QStringLiteral("%1.11.2026 00:00:00,%2,Liter,5\r\n")
                     .arg(d, 2, 10, QChar('0'))
                     .arg(d == changed ? 999 : 100 + d)
                     .toLatin1();
        return b;
    };
    writeBytes(server + "Tank1.csv", lines(10, 0));
    WriteIniValue("Client", "Path", server);
    AppController app;
    QStringList restarted;
    app.setProcessStarter([&](const QStringList &a) { restarted = a; });
    start(app, {"CLIENT"});
    DeviceRecord &r = app.tanks().device(1);
    ASSERT_EQ(r.History.count(), 10);

    // Only what was appended is read: a line in the middle changed behind
    // our back (same length, same file) is not read again.
    writeBytes(server + "Tank1.csv", lines(11, 5));
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=1\r\n[Ger\xE4t1]\r\nSN=5\r\nGer\xE4tetyp=9\r\nVolumen=80\r\n");
    app.TimerClientTick();
    EXPECT_EQ(r.Volumen, 80);
    ASSERT_EQ(r.History.count(), 11);
    EXPECT_DOUBLE_EQ(r.History.HistoryValues[11], 111);
    EXPECT_DOUBLE_EQ(r.History.HistoryValues[5], 105);
    EXPECT_TRUE(restarted.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(server + "Tank2.csv")); // a client writes nothing there

    // The server registered a device: the client restarts.
    writeBytes(server + "Tankmon.ini", "[Ger\xE4te]\r\nAnzahl=2\r\n");
    app.TimerClientTick();
    EXPECT_EQ(restarted, (QStringList{"ENDE", "CLIENT"}));
}
