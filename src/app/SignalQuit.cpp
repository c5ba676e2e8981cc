#include "SignalQuit.h"

#include "AppController.h"

#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
// The signal handler may only write to a descriptor; the event loop reads it.
int g_sigFd[2] = {-1, -1};
// The same for the watch below, which needs no event loop.
int g_watchFd[2] = {-1, -1};

// How long the event loop has to save and end after the signal.
constexpr auto kEndGrace = std::chrono::milliseconds(4000);

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_sigFd[0], &c, 1);
    [[maybe_unused]] const auto m = ::write(g_watchFd[0], &c, 1);
}

// Whatever a thread may be stuck in (a file that blocks, a peer that never
// answers), a signal ends the process in time: when the event loop has not
// ended it within the grace time, this thread does.
void startEndWatch()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_watchFd) != 0)
        return;
    std::thread([] {
        char c;
        while (::read(g_watchFd[1], &c, 1) < 0) {
        }
        std::this_thread::sleep_for(kEndGrace);
        static const char line[] = "[exit] not ended in time after the signal: ending now\n";
        [[maybe_unused]] const auto n = ::write(STDOUT_FILENO, line, sizeof line - 1);
        ::_exit(0);
    }).detach();
}
} // namespace

void QuitOnSignals(AppController &app, bool announce)
{
    if (g_sigFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sigFd) != 0)
        return;
    if (g_watchFd[0] < 0)
        startEndWatch();
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
