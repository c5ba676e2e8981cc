#pragma once

struct CommandLine;

// The program with its windows: builds the application object, the widget
// UI services and the main window, and runs the event loop. Returns the exit
// status.
int RunGui(int &argc, char **argv, const CommandLine &cl);
