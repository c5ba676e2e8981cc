#pragma once
// The program's objects as the start-up builds them, over mock links, on the
// test's own data folder.
#include "support/Fixtures.h"
#include "support/MockLink.h"

#include "app/AppController.h"

class RoadTest : public UiTest
{
protected:
    void TearDown() override { app.reset(); }
    // A start as the program makes it (the previous instance gone first).
    void startApp()
    {
        app.reset();
        mocks = {};
        LinkHardware hardware;
        hardware.links = mocks.factory();
        app = std::make_unique<AppController>(switches, settings, ui, clock, hardware,
                                              [](const QStringList &) {});
        ASSERT_EQ(app->start(), AppController::Start::Run);
        app->activate();
    }

    MockLinks mocks;
    std::unique_ptr<AppController> app;
};
