#pragma once
// The program's objects as the start-up builds them, over mock links, on the
// test's own data folder.
#include "support/Fixtures.h"
#include "support/MockLink.h"

#include "app/Program.h"

// One program run as the start-up builds it from its command line (words), on
// the test's data folder, with mock links; restarts and the end are recorded.
struct Instance {
    Instance(const QString &dataFolder, UiServices &ui, ClockFn clock, const QStringList &words)
        : program(Options(dataFolder, words), ui, std::move(clock), hardware(),
                  [this](const QStringList &args) { restarted = args; })
    {
        QObject::connect(&app, &AppController::quitRequested, [this](int code) { quitCode = code; });
    }
    LinkHardware hardware()
    {
        LinkHardware h;
        h.links = mocks.factory();
        return h;
    }
    static RunConfig Options(const QString &dataFolder, const QStringList &words)
    {
        RunConfig o;
        o.words = words;
        o.clientMode = o.hasWord(QStringLiteral("CLIENT"));
        o.dataFolder = dataFolder;
        return o;
    }
    MockLinks mocks;
    QStringList restarted; // the arguments of the restart's new process
    int quitCode = -1;
    Program program;
    AppController &app = program.app;
    RunParts &parts = program.parts;
    Settings &settings = program.settings;
};

class RoadTest : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        SetLngId(0); // the language comes from the settings, as at a real start
    }
    std::unique_ptr<Instance> make(const QStringList &words = {})
    {
        return std::make_unique<Instance>(dataDir(), ui, clock, words);
    }
    // Program entry to the first activation, as start-up runs it (the
    // previous instance gone first).
    void startApp(const QStringList &words = {})
    {
        run.reset();
        run = make(words);
        ASSERT_EQ(run->app.start(), AppController::Start::Run);
        run->app.activate();
    }

    std::unique_ptr<Instance> run;
};
