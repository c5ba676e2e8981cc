#pragma once

struct CommandLine;

// --export-consumption: the consumption table of a tank or of all tanks, as
// the window computes and exports it (or its long form, --format long), written to the --output file through a
// temporary file and a rename. Reads the data folder only (the consumption
// protocol excepted, when "LogVerbrauch" is 1). 0 when written; 2 for an
// unknown tank, no history (the "no data" lines on stderr) or a file that
// could not be written.
int RunConsumptionExport(const CommandLine &cl);
