#pragma once

class HistoryRecorder;
class TankController;

// The start-up step that loads the tanks of the settings file, the same for
// the program and the exports: every stored device's record, its history
// from its tank file, and the device added (the views show it). All tank
// files are read at once on worker threads while the records are read one by
// one; each record takes its history from there when it asks its history
// hooks, which must lead to history (directly, or through the forecast in
// front of it). Returns the stored current device.
int LoadTanks(TankController &tanks, HistoryRecorder &history);
