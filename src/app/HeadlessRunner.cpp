#include "HeadlessRunner.h"

#include "AppController.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_sigFd[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_sigFd[0], &c, 1);
}
} // namespace

HeadlessRunner::HeadlessRunner(AppController &app) : app_(app) {}

int HeadlessRunner::run()
{
    static HeadlessUi ui;
    SetUi(&ui);
    // Without a window, the language selection has no one to ask: German.
    SetLanguageChooser([] {
        std::printf("[language] no language stored, using German\n");
        return 1;
    });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_sigFd) == 0) {
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        auto *notifier = new QSocketNotifier(g_sigFd[1], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
            char c;
            [[maybe_unused]] const auto n = ::read(g_sigFd[1], &c, 1);
            notifier->setEnabled(false);
            std::printf("[exit] signal received, saving\n");
            std::fflush(stdout);
            app_.unload();
            QCoreApplication::exit(0);
        });
    }

    int exitCode = 0;
    connect(&app_, &AppController::quitRequested, this, [this, &exitCode](int code, bool saveFirst) {
        if (saveFirst)
            app_.unload();
        exitCode = code;
        QCoreApplication::exit(code);
    });
    connect(&app_, &AppController::showInterfaceDialog, this, [] {
        std::printf("[interface] neither the serial nor the TCP link is switched on\n");
    });

    if (!app_.programEntry()) {
        Ui().messageBox(QStringLiteral("No client path is set (section \"Client\", key \"Path\")."),
                        QString(), MsgIcon::Stop, MsgButtons::Ok);
        return 1;
    }
    if (!app_.acquireInstance())
        return 1;
    app_.initialise();
    if (!app_.load())
        return 1;
    if (app_.interfaceDialogWanted())
        emit app_.showInterfaceDialog();
    app_.activate();
    std::printf("[ready] %s\n", qPrintable(AppController::ProgramTitle(false)));
    std::fflush(stdout);
    const int rc = QCoreApplication::exec();
    return rc ? rc : exitCode;
}
