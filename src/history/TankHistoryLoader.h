#pragma once
#include "TankFileParser.h"

#include "core/Clock.h"
#include "model/DeviceRecord.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>

class RunSwitches;

// Loads tank histories from the tank files and keeps them current.
//
// A full load reads the whole file; only regular files are read, anything
// else (a FIFO, a device, a folder) counts as no file. Refresh (the client's
// minute tick) reads only what was appended since the last load when the
// file has only grown, and the whole file when it shrank, was replaced or
// rewritten, so the result is always the one a full load would give now. At start-up the files of all
// tanks can be read on worker threads in parallel (StartPreload), each into
// its own history; the device registry then takes them one by one.
class TankHistoryLoader
{
public:
    enum class Refreshed { Unchanged, Appended, Reloaded };

    // Files are read from config's tank folder; "now" bounds the dates read.
    TankHistoryLoader(const RunSwitches &switches, ClockFn clock);
    ~TankHistoryLoader(); // waits for a running preload
    TankHistoryLoader(const TankHistoryLoader &) = delete;
    TankHistoryLoader &operator=(const TankHistoryLoader &) = delete;

    // Reads the tank file of device n whole into h (h is reset first). A
    // missing or unreadable file leaves h empty, without a message.
    void Load(int n, TankHistory &h);
    // Reads the tank file at path whole into h as Load does: for tank files
    // kept outside the tank folder (a central installation's sites).
    static void LoadFile(const QString &path, qint64 nowSecs, TankHistory &h);
    // Makes h what Load would give now, reading as little as possible.
    Refreshed Refresh(int n, TankHistory &h);

    // Starts reading the files of devices 1..count on worker threads.
    void StartPreload(int count);
    // Device n's history: the preloaded one when there is one (waiting for
    // it, then refreshed), else a full Load.
    void LoadOrTake(int n, TankHistory &h);
    // Waits for the preload and drops what was not taken.
    void FinishPreload();

    // How many worker threads StartPreload uses for count files (at most 8).
    static int PreloadThreads(int count);

    struct FileState;
    class ReadBuffer;

private:
    struct Preload;
    const RunSwitches &switches_;
    ClockFn clock_;
    std::array<std::unique_ptr<FileState>, kMaxDevices + 1> states_;
    std::unique_ptr<ReadBuffer> buffer_; // for Load and Refresh
    std::unique_ptr<Preload> preload_;
};
