#pragma once

class AppController;

// SIGTERM and SIGINT end the program as closing the main window does: the
// registry saved, exit status 0. The handler only writes to a socket; the
// event loop does the rest; a thread of its own ends the process 4 s after
// the signal when the event loop could not (exit status 0 all the same,
// without the save). announce: say so on standard output first (the
// headless program's journal line).
void QuitOnSignals(AppController &app, bool announce);
