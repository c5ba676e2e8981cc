#pragma once
#include <QStringList>

// The program with its windows: builds the application object, the widget
// UI services and the main window, and runs the event loop.
int RunGui(int &argc, char **argv, const QStringList &words, const QStringList &options);
