#pragma once
#include "model/DeviceRecord.h"

#include <QtGlobal>
#include <limits>
#include <vector>

// Folds the lines of a tank file into a tank history by the loading rules:
// date-time text before the first comma, the level after it, the temperature
// after the third comma (after the fourth for "US,Gal" lines), runs of equal
// levels within one hour of the day thinned to their first and latest entry,
// the greatest level kept for equal times, at most 500000 entries.
//
// Works on the file's bytes: the common well-formed line is read without any
// string objects, anything else goes through the general date-time rule. The
// state carries over between calls, so a file that has grown is continued
// where the last call stopped with the same result as reading it whole.
class TankFileParser {
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

    // A line read but not yet folded: a big file's second part is read on
    // another thread into these, then folded in order after the first part.
    struct Record {
        qint64 time;
        double value;
        qint32 temp;
        qint16 hour;       // of the day
        bool refusedAhead; // only the time is set
    };

    // What the reading of usual lines carries from one line to the next.
    struct ScanState {
        qint64 limit;               // the latest time taken
        quint64 date = 0, year = 0; // date bytes of the last day computed
        qint64 days = 0;            // its day number
    };
    // Reads usual lines into records (see UsualLines.h).
    using UsualReader = int (*)(const char *&from, const char *end, Record *out, int max, bool *stopped,
                                ScanState &scan);

    // nowSecs: the clock in the history's seconds; lines later than a day
    // after it are skipped.
    TankFileParser(TankHistory &history, State &state, qint64 nowSecs);
    // Reads into records instead of a history (never full).
    TankFileParser(std::vector<Record> &records, qint64 nowSecs);

    // Folds records read by another parser, as if their lines came now.
    void replay(const std::vector<Record> &records);

    // Takes the complete lines (ended by LF, a CR before it dropped) of data
    // and returns how many bytes they span; a torn last line is left over.
    // While it reads data, no object that needs destroying lives in its
    // frames: a fault in data (a mapped file that shrank) may leave them by
    // siglongjmp, after which the parser and its history are thrown away.
    qsizetype feed(const char *data, qsizetype len);

    // One line without its line end.
    void line(const char *b, const char *e);

    // Tests: read every line by the general rules only.
    void setFastPath(bool on) { fast_ = on; }
    // Tests: read usual lines with the build for any processor.
    void setWideScan(bool on);

private:
    struct Folder;
    // The parts of a line by the general rules; false when the line is
    // skipped before the fold (refusedAhead: its date is too far ahead).
    static bool parseLine(const char *b, const char *e, qint64 nowSecs, qint64 *time, double *value,
                          qint32 *temp, bool *refusedAhead);
    // Takes usual lines from p on while enough bytes follow; stops at the
    // first line it does not take or a full history, returns where.
    const char *fastRun(const char *p, const char *end);
    void accept(qint64 t, double value, qint32 temp);
    void refuse(qint64 t);

    TankHistory *h_ = nullptr;
    State *s_ = nullptr;
    std::vector<Record> *records_ = nullptr;
    State recordState_; // unused while reading records
    qint64 limit_;
    qint64 room_; // entries the history can still take
    bool fast_ = true;
    ScanState scan_;
    std::vector<char> copy_; // the line read by the general rules
    UsualReader reader_;
};
