#pragma once

struct CommandLine;

// --export-consumption: the consumption table of a tank or of all tanks, as
// the window computes and exports it (or its long form, --format long),
// written to the --output file as
// ExportOutput writes (a regular file through a temporary file and a rename,
// "-" and streams as they come). Reads the data folder only (the consumption
// protocol excepted, when "LogVerbrauch" is 1). 0 when written; 1 without a
// settings file; 2 for an unknown tank, no history (the "no data" lines on
// stderr), a file of the program or a file that could not be written.
int RunConsumptionExport(const CommandLine &cl);
