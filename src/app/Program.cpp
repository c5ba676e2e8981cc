#include "Program.h"

#include "CommandLine.h"

Program::Program(const RunConfig &options, UiServices &ui, ClockFn clock, LinkHardware hardware,
                 AppController::ProcessStarter starter)
    : ProgramCore(options),
      app(switches, settings, ui, std::move(clock), std::move(hardware), std::move(starter))
{
}

std::unique_ptr<Program> BuildProgram(const CommandLine &cl, UiServices &ui)
{
    auto program = std::make_unique<Program>(ConfigFromCommandLine(cl), ui, SystemClock());
    program->app.setRestartOptions(cl.restartOptions);
    return program;
}
