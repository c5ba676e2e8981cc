// The executable: reads the command line, then hands over to the window
// program or the headless one. It lives apart from src/app so that the
// application library never includes a window: only this file sees both.
#include "app/CommandLine.h"
#include "app/ConfigureCommand.h"
#include "app/ConsumptionExportCommand.h"
#include "app/HeadlessRunner.h"
#include "ui/ChartExport.h"
#include "ui/GuiMain.h"

#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = ParseCommandLine(arguments);
    switch (cl.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(qPrintable(cl.text), stdout);
        return ExitOk;
    case CommandLine::Action::Error:
        FixMessageLanguage(cl);
        std::fprintf(stderr, "%s\n", qPrintable(ErrorText(cl)));
        return ExitUsage;
    case CommandLine::Action::ExportChart:
        return RunChartExport(argc, argv, cl);
    case CommandLine::Action::ExportConsumption:
        return RunConsumptionExport(cl);
    case CommandLine::Action::Configure:
        return RunConfigure(argc, argv, cl);
    case CommandLine::Action::Run:
        break;
    }
    return cl.headless ? RunHeadless(argc, argv, cl) : RunGui(argc, argv, cl);
}
