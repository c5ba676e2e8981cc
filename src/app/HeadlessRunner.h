#pragma once

struct CommandLine;

// The program without any window: the same start-up, links, timers,
// recordings and e-mails, every box a line on stdout, ended by SIGTERM or
// SIGINT as closing the main window ends it (registry saved, exit status 0).
// Returns the exit status.
int RunHeadless(int &argc, char **argv, const CommandLine &cl);
