#include "TankFileParser.h"
#include "UsualLines.h"

#include "core/Cp1252.h"
#include "core/DateText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define USUAL_LINES_WIDE 0
#include "UsualLines.inc"

namespace {
// Lines read before they are folded: the reading and the fold each keep
// their few variables in registers.
constexpr int kBatch = 128;

// The date-time of the first field, by the general rule. The usual
// "dd.mm.yyyy hh:mm:ss" with every part in range is computed directly; every
// other text (blanks or signs in a part, roll-over, two-digit years, odd
// lengths) takes the general rule, which gives the same value for the usual
// case too. false: no date.
bool fieldTime(const char *p, qsizetype n, qint64 *secs)
{
    if (n == 19 && p[2] == '.' && p[5] == '.' && p[10] == ' ' && p[13] == ':' && p[16] == ':' &&
        isDigit(p[0]) && isDigit(p[1]) && isDigit(p[3]) && isDigit(p[4]) && isDigit(p[6]) &&
        isDigit(p[7]) && isDigit(p[8]) && isDigit(p[9]) && isDigit(p[11]) && isDigit(p[12]) &&
        isDigit(p[14]) && isDigit(p[15]) && isDigit(p[17]) && isDigit(p[18])) {
        const int day = two(p), month = two(p + 3), year = two(p + 6) * 100 + two(p + 8);
        const int hour = two(p + 11), minute = two(p + 14), second = two(p + 17);
        if (year >= 100 && month >= 1 && month <= 12 && day >= 1 &&
            unsigned(day) <= daysInMonth(year, unsigned(month)) && hour < 24 && minute < 60 &&
            second < 60) {
            *secs = daysFromCivil(year, unsigned(month), unsigned(day)) * kDay + hour * 3600 +
                    minute * 60 + second;
            return true;
        }
    }
    const QDateTime t = DateTimeTextValue(Cp1252::decode(p, n));
    if (!t.isValid())
        return false;
    *secs = t.toSecsSinceEpoch();
    return true;
}

// The number at the start of [p, e): blanks skipped, optional sign, digits
// with one "."; reading stops at the first character that cannot continue
// it; no digits give 0. Correctly rounded, as any decimal reader would.
double leadingNumber(const char *p, const char *e)
{
    while (p < e && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < e && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char *start = p;
    quint64 mantissa = 0;
    int decimals = 0;
    bool dot = false, digits = false, exact = true;
    for (; p < e; ++p) {
        const unsigned d = unsigned(*p - '0');
        if (d < 10) {
            digits = true;
            if (mantissa < (quint64(1) << 53) / 10)
                mantissa = mantissa * 10 + d;
            else
                exact = false;
            decimals += dot;
        } else if (*p == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    double v;
    if (exact && decimals <= 22) {
        // Both operands exact, so the one rounding of the division is the
        // correct rounding of the decimal number.
        v = double(mantissa) / kPow10[decimals];
    } else {
        v = 0;
        std::from_chars(start, p, v, std::chars_format::fixed);
    }
    return negative ? -v : v;
}

qint32 wholeDegrees(double v)
{
    const double r = std::nearbyint(v); // halves to the even neighbour
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return -2147483647 - 1;
    return qint32(r);
}

UsualLinesReader bestReader()
{
    static const UsualLinesReader wide = WideUsualLinesReader();
    return wide ? wide : readUsualLines;
}
} // namespace

// The fold of a few lines with what it looks at held in locals: the last
// two entries' levels and hours, the previous time, the room left. The
// arrays are sized for every line to become an entry and cut back to what
// was taken at the end, so entries are written in place without growing a
// vector each time. Nothing else may touch the history meanwhile.
struct TankFileParser::Folder {
    TankFileParser &parser;
    std::vector<qint64> &T;
    std::vector<double> &V;
    std::vector<qint32> &P;
    size_t n; // the last entry
    qint64 previous, latest, room;
    double lastV, prevV;
    int lastH, prevH;
    qint64 *times;
    double *values;
    qint32 *temps;

    // lines: how many lines at most will be added.
    Folder(TankFileParser &p, int lines)
        : parser(p), T(p.h_->HistoryTimes), V(p.h_->HistoryValues), P(p.h_->HistoryTemps), n(T.size() - 1),
          previous(p.s_->previousTime), latest(p.s_->latestAccepted), room(p.room_), lastV(V[n]),
          prevV(n ? V[n - 1] : 0), lastH(hourOfDay(T[n])), prevH(n ? hourOfDay(T[n - 1]) : 0)
    {
        const size_t cells = n + 1 + size_t(std::clamp<qint64>(room, 0, lines));
        T.resize(cells);
        V.resize(cells);
        P.resize(cells);
        times = T.data();
        values = V.data();
        temps = P.data();
    }
    // Writes the state back. No destructor: a read of a mapped file may
    // leave these frames by a jump (see TankHistoryLoader).
    void done()
    {
        T.resize(n + 1);
        V.resize(n + 1);
        P.resize(n + 1);
        parser.s_->previousTime = previous;
        parser.s_->latestAccepted = latest;
        parser.room_ = room;
    }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // Folds the line of time t (hour of day hr).
    Q_ALWAYS_INLINE void add(qint64 t, int hr, double value, qint32 temp)
    {
        if (t > latest)
            latest = t;
        // A run of equal levels within one hour of the day keeps its first
        // and its latest entry: the line takes the place of the latest one
        // (at an equal time it would have to beat the entry before, which
        // it equals).
        if (n > 2 && value == lastV && value == prevV && hr == lastH && hr == prevH) {
            if (t == previous)
                return;
        } else if (t != previous) {
            ++n;
            --room;
            prevV = lastV;
            prevH = lastH;
        } else if (!(value > lastV)) { // equal times: the greatest level wins
            return;
        }
        times[n] = t;
        values[n] = value;
        temps[n] = temp;
        lastV = value;
        lastH = hr;
        previous = t;
    }
};

TankFileParser::TankFileParser(TankHistory &history, State &state, qint64 nowSecs)
    : h_(&history), s_(&state), limit_(nowSecs + kDay), room_(TankHistory::kMaxEntries - history.count()),
      scan_{limit_}, reader_(bestReader())
{
}

TankFileParser::TankFileParser(std::vector<Record> &records, qint64 nowSecs)
    : s_(&recordState_), records_(&records), limit_(nowSecs + kDay),
      room_(std::numeric_limits<qint64>::max()), scan_{limit_}, reader_(bestReader())
{
}

void TankFileParser::setWideScan(bool on) { reader_ = on ? bestReader() : readUsualLines; }

inline void TankFileParser::accept(qint64 t, double value, qint32 temp)
{
    const int hr = hourOfDay(t);
    if (records_) {
        records_->push_back({t, value, temp, qint16(hr), false});
    } else {
        Folder f(*this, 1);
        f.add(t, hr, value, temp);
        f.done();
    }
}

inline void TankFileParser::refuse(qint64 t)
{
    if (records_)
        records_->push_back({t, 0, 0, 0, true});
    else if (t < s_->earliestRefused)
        s_->earliestRefused = t;
}

void TankFileParser::replay(const std::vector<Record> &records)
{
    for (size_t i = 0; i < records.size() && room_ > 0;) {
        const size_t chunk = std::min(records.size() - i, size_t(kBatch));
        Folder f(*this, int(chunk));
        // The lines after a full history are never read.
        for (const size_t stop = i + chunk; i < stop && f.room > 0; ++i) {
            const Record &r = records[i];
            if (r.refusedAhead) {
                if (r.time < s_->earliestRefused)
                    s_->earliestRefused = r.time;
            } else {
                f.add(r.time, r.hour, r.value, r.temp);
            }
        }
        f.done();
    }
}

bool TankFileParser::parseLine(const char *b, const char *e, qint64 nowSecs, qint64 *time,
                               double *value, qint32 *temp, bool *refusedAhead)
{
    *refusedAhead = false;
    const char *c1 = static_cast<const char *>(std::memchr(b, ',', size_t(e - b)));
    // The first comma must be at character 13 or later.
    if (!c1 || c1 - b < 12)
        return false;
    qint64 t;
    if (!fieldTime(b, c1 - b, &t))
        return false;
    if (t > nowSecs + kDay) {
        *time = t;
        *refusedAhead = true;
        return false;
    }
    *time = t;
    *value = leadingNumber(c1 + 1, e);

    // Commas 2, 3 and 4.
    const char *c[3] = {nullptr, nullptr, nullptr};
    int found = 0;
    for (const char *p = c1 + 1; p < e && found < 3; ++p)
        if (*p == ',')
            c[found++] = p;
    const char *tempAt = c[1];
    // "US Gal" is written as "US,Gal": its temperature is one field further.
    if (c[1] && c[1] - c[0] == 3 && c[0][1] == 'U' && c[0][2] == 'S') {
        const char *f4end = c[2] ? c[2] : e;
        if (f4end - c[1] == 4 && c[1][1] == 'G' && c[1][2] == 'a' && c[1][3] == 'l')
            tempAt = c[2];
    }
    *temp = tempAt ? wholeDegrees(leadingNumber(tempAt + 1, e)) : kNoTemp;
    return true;
}

void TankFileParser::line(const char *b, const char *e)
{
    if (room_ <= 0)
        return;
    // Read from a copy: the string objects of the general rules never meet
    // the caller's bytes, which may be a mapped file that shrinks.
    const size_t n = size_t(e - b);
    if (copy_.size() < n)
        copy_.resize(std::max(n, size_t(256)));
    std::memcpy(copy_.data(), b, n);
    b = copy_.data();
    e = b + n;
    qint64 t;
    double value;
    qint32 temp;
    bool ahead;
    if (!parseLine(b, e, limit_ - kDay, &t, &value, &temp, &ahead)) {
        if (ahead)
            refuse(t);
        return;
    }
    accept(t, value, temp);
}

// The usual lines in batches, read then folded; the rest one by one.
const char *TankFileParser::fastRun(const char *p, const char *end)
{
    Record batch[kBatch];
    bool stopped = false;
    while (!stopped && room_ > 0) {
        const int k = reader_(p, end, batch, kBatch, &stopped, scan_);
        if (records_) {
            records_->insert(records_->end(), batch, batch + k);
        } else {
            // Lines after the history is full are read but never folded:
            // the caller skips them all.
            Folder f(*this, k);
            for (int i = 0; i < k && f.room > 0; ++i)
                f.add(batch[i].time, batch[i].hour, batch[i].value, batch[i].temp);
            f.done();
        }
        if (k == 0)
            break;
    }
    return p;
}

qsizetype TankFileParser::feed(const char *data, qsizetype len)
{
    const char *p = data;
    const char *end = data + len;
    while (p < end) {
        if (room_ <= 0) {
            // Full: every further line is skipped unread.
            const char *last = static_cast<const char *>(memrchr(p, '\n', size_t(end - p)));
            return last ? last + 1 - data : p - data;
        }
        if (fast_) {
            p = fastRun(p, end);
            if (p == end || room_ <= 0)
                continue;
        }
        // One line the fast reading did not take, or one of the last few.
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl)
            break;
        line(p, nl > p && nl[-1] == '\r' ? nl - 1 : nl);
        p = nl + 1;
    }
    return p - data;
}
