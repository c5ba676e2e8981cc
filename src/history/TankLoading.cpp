#include "TankLoading.h"

#include "HistoryRecorder.h"

#include "model/TankController.h"

int LoadTanks(TankController &tanks, HistoryRecorder &history)
{
    history.PreloadTankHistories(tanks.registry().StoredDeviceCount());
    const int wanted = tanks.LoadRegistry();
    // What no record took is dropped; nothing reads on behind the caller's back.
    history.loader().FinishPreload();
    return wanted;
}
