#include "SignalQuit.h"

#include "AppController.h"

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The signal handler may only write to a descriptor; the event loop reads it.
int g_sigFd[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_sigFd[0], &c, 1);
}
} // namespace

void QuitOnSignals(AppController &app, bool announce)
{
    if (g_sigFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sigFd) != 0)
        return;
    struct sigaction sa {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    auto *notifier = new QSocketNotifier(g_sigFd[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, notifier, announce] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_sigFd[1], &c, 1);
        notifier->setEnabled(false);
        if (announce) {
            std::printf("[exit] signal received, saving\n");
            std::fflush(stdout);
        }
        app.requestQuit(0, true);
    });
}
