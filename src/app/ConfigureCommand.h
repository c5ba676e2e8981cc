#pragma once

struct CommandLine;

// --get, --set, --set-password: the settings of a data folder without a
// window, for a headless installation. Takes the folder's instance lock (a
// running instance would write its own values over the change), never starts
// a link. Every --set is checked first and all are written in one replace;
// passwords are stored through the e-mail and MQTT settings, as the dialogs
// store them. 0 when done; 1 while an instance runs on the folder, without a
// data folder (--get) or when the file could not be written; 2 for an
// unknown setting, a wrong value or no password on standard input.
int RunConfigure(int &argc, char **argv, const CommandLine &cl);
