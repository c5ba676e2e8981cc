#include "Program.h"

#include "CommandLine.h"

Program::Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware,
                 AppController::ProcessStarter starter)
    : ProgramCore(options), parts(switches, settings, ui, std::move(clock)),
      app(parts, std::move(hardware), std::move(starter)),
      menu(app, parts.tanks(), switches, settings, parts.emailSettings(), parts.email(), ui, parts.texts(),
           parts.clock()),
      windowParts(WindowPartsOf(parts))
{
}

WindowParts WindowPartsOf(RunParts &parts)
{
    return WindowParts{parts.config(),        parts.switches(),
                       parts.settings(),      parts.ui(),
                       parts.clock(),         parts.texts(),
                       parts.tanks(),         parts.snapshots(),
                       parts.emailSettings(), parts.email(),
                       parts.services(),      parts.notifications(),
                       parts.sites(),         parts.remoteHistoryFolder()};
}

std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui)
{
    auto program = std::make_unique<Program>(ConfigFromCommandLine(cl), ui, SystemClock());
    program->app.setRestartOptions(cl.restartOptions);
    return program;
}
