#pragma once
#include "model/DeviceRecord.h"

#include <QtGlobal>
#include <limits>
#include <vector>

// Folds the lines of a tank file into a tank history by the loading rules:
// date-time text before the first comma, the level after it, the temperature
// after the third comma (after the fourth for "US,Gal" lines), runs of equal
// levels within one hour of the day thinned to their first and latest entry,
// the greatest level kept for equal times, at most 500000 entries: the
// newest ones (older entries give way to newer ones, the file keeps them).
//
// Works on the file's bytes: the common well-formed line is read by a
// vectorised reader without any string objects, anything else by the general
// rules (which give the same result for the common line too). The state
// carries over between calls, so a file that has grown is continued where
// the last call stopped with the same result as reading it whole.
class TankFileParser
{
public:
    struct State {
        qint64 previousTime = kZeroTime;
        // What depends on the clock: a later load sees a different "now + one
        // day" limit, so the caller reloads whole when one of these crosses it.
        qint64 latestAccepted = std::numeric_limits<qint64>::min();
        qint64 earliestRefused = std::numeric_limits<qint64>::max(); // refused as ahead
    };
    // 30.12.1899 00:00:00 in the history's seconds.
    static constexpr qint64 kZeroTime = -2209161600;

    // Which reader takes the common lines.
    enum class Reader {
        Fastest,  // the widest vectors the processor has
        Portable, // the build for any processor
        General,  // none: every line by the general rules
    };

    // nowSecs: the clock in the history's seconds; lines later than a day
    // after it are skipped.
    TankFileParser(TankHistory &history, State &state, qint64 nowSecs, Reader reader = Reader::Fastest);

    // Takes the complete lines (ended by LF, a CR before it dropped) of data
    // and returns how many bytes they span; a torn last line is left over.
    qsizetype feed(const char *data, qsizetype len);

    // Entries a full history may take beyond the cap while a block of lines
    // is folded, so that the oldest give way many at a time; each feed ends
    // at the cap.
    static constexpr qint64 kSlack = 32768;

    // The history the complete lines of a buffer give (tests, fuzzing).
    static TankHistory Parse(const char *data, qsizetype len, qint64 nowSecs, Reader reader,
                             State *state = nullptr);

    // The fold of lines into the history with what it looks at held in one
    // place: the last two entries' levels and hours, the previous time.
    // Filled by the parser for a batch of lines, then written back.
    struct Fold {
        qint64 *times;
        double *values;
        qint32 *temps;
        qint64 n; // the last entry
        qint64 previous, latest;
        double lastV, prevV;
        int lastH, prevH;
    };
    // What the reading of common lines carries from one line to the next.
    struct ScanState {
        qint64 limit;               // the latest time taken
        quint64 date = 0, year = 0; // date bytes of the last day computed
        qint64 days = 0;            // its day number
    };
    // Reads and folds common lines, each of which may become an entry (see
    // UsualLines.h).
    using UsualReader = const char *(*)(const char *from, const char *end, int max, Fold &fold,
                                        ScanState &scan, bool *stopped);

private:
    class Batch;
    // One line without its line end, by the general rules.
    void line(const char *b, const char *e);
    // Takes common lines from p on while enough bytes follow; stops at the
    // first line it does not take or a full history, returns where.
    const char *fastRun(const char *p, const char *end);
    // Lets the oldest entries give way when the history is full: at most
    // keep entries stay. room_ follows.
    void dropOldest(qint64 keep);

    TankHistory &h_;
    State &s_;
    qint64 limit_;
    qint64 room_; // entries the history can still take
    ScanState scan_;
    UsualReader reader_; // nullptr: general rules only
};
