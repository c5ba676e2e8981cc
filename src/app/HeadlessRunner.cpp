#include "HeadlessRunner.h"

#include "AppController.h"
#include "CommandLine.h"
#include "ProgramInfo.h"
#include "core/RunConfig.h"
#include "core/Settings.h"
#include "core/UiServices.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The signal handler may only write to a descriptor; the event loop reads it.
int g_sigFd[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_sigFd[0], &c, 1);
}

void endOnSignals(AppController &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_sigFd) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    auto *notifier = new QSocketNotifier(g_sigFd[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, notifier] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_sigFd[1], &c, 1);
        notifier->setEnabled(false);
        std::printf("[exit] signal received, saving\n");
        std::fflush(stdout);
        app.requestQuit(0, true);
    });
}
} // namespace

int RunHeadless(int &argc, char **argv, const CommandLine &cl)
{
    QCoreApplication application(argc, argv);
    RunConfig config = ConfigFromCommandLine(cl);
    Settings settings(config);
    HeadlessUi ui;
    AppController app(config, settings, ui, SystemClock());
    app.setRestartOptions(cl.restartOptions);
    endOnSignals(app);

    switch (app.start()) {
    case AppController::Start::ClientPathMissing:
        app.reportClientPathMissing();
        break;
    case AppController::Start::Ended:
        break;
    case AppController::Start::Run:
        if (app.interfaceDialogWanted())
            std::printf("[interface] neither the serial nor the TCP link is switched on\n");
        app.activate();
        std::printf("[ready] %s\n", qPrintable(ProgramTitle(config, false)));
        std::fflush(stdout);
        break;
    }
    return QCoreApplication::exec();
}
