#pragma once
#include <QObject>

class AppController;

// The program without any window: the same start-up, links, timers,
// recordings and e-mails, ended by SIGTERM or SIGINT as closing the main
// window ends it (registry saved, exit status 0).
class HeadlessRunner : public QObject {
    Q_OBJECT
public:
    explicit HeadlessRunner(AppController &app);
    // Runs until the program ends; returns the exit status.
    int run();

private:
    AppController &app_;
};
