#pragma once
#include <QString>

struct RunConfig;

// Company folder + " " + program name, + text 44 in client mode (the main
// window's caption, box titles, the about box). With name: the program name
// (the program name label), "Tankmon – Client version" in client mode.
QString ProgramTitle(const RunConfig &config, bool withName);
// "V3.02", or "V3.02.01" when there is a revision.
QString VersionText(int major, int minor, int revision);
// This build's version as the about box shows it.
QString ProgramVersionText();
// What --version prints: the title with this build's version and, beside
// it, the package version it is released as, then the copyright holder and
// the licence.
QString VersionBanner(const RunConfig &config);
