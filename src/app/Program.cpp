#include "Program.h"

#include "CommandLine.h"

Program::Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware,
                 AppController::ProcessStarter starter)
    : ProgramCore(options),
      app(switches, settings, ui, std::move(clock), std::move(hardware), std::move(starter)),
      menu(app, app.tanks(), switches, settings, app.emailSettings(), app.email(), ui, app.texts(),
           app.clock()),
      windowParts(WindowPartsOf(app))
{
}

WindowParts WindowPartsOf(AppController &app)
{
    return WindowParts{app.config(),        app.switches(), app.settings(), app.ui(),
                       app.clock(),         app.texts(),    app.tanks(),    app.snapshots(),
                       app.emailSettings(), app.email(),    app.services(), app.notifications()};
}

std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui)
{
    auto program = std::make_unique<Program>(ConfigFromCommandLine(cl), ui, SystemClock());
    program->app.setRestartOptions(cl.restartOptions);
    return program;
}
