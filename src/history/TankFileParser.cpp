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

namespace
{
// The date-time of the first field, by the general rule. The usual
// "dd.mm.yyyy hh:mm:ss" with every part in range is computed directly; every
// other text (blanks or signs in a part, roll-over, two-digit years, odd
// lengths) takes the general rule, which gives the same value for the usual
// case too. false: no date.
bool fieldTime(const char *p, qsizetype n, qint64 *secs)
{
    if (n == 19 && p[2] == '.' && p[5] == '.' && p[10] == ' ' && p[13] == ':' && p[16] == ':' &&
        isDigit(p[0]) && isDigit(p[1]) && isDigit(p[3]) && isDigit(p[4]) && isDigit(p[6]) && isDigit(p[7]) &&
        isDigit(p[8]) && isDigit(p[9]) && isDigit(p[11]) && isDigit(p[12]) && isDigit(p[14]) &&
        isDigit(p[15]) && isDigit(p[17]) && isDigit(p[18])) {
        const int day = two(p), month = two(p + 3), year = two(p + 6) * 100 + two(p + 8);
        const int hour = two(p + 11), minute = two(p + 14), second = two(p + 17);
        if (year >= 100 && month >= 1 && month <= 12 && day >= 1 &&
            unsigned(day) <= daysInMonth(year, unsigned(month)) && hour < 24 && minute < 60 && second < 60) {
            *secs = daysFromCivil(year, unsigned(month), unsigned(day)) * kDay + hour * 3600 + minute * 60 +
                    second;
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

TankFileParser::UsualReader readerFor(TankFileParser::Reader r)
{
    static const UsualLinesReader wide = WideUsualLinesReader();
    switch (r) {
    case TankFileParser::Reader::Fastest:
        return wide ? wide : readUsualLines;
    case TankFileParser::Reader::Portable:
        return readUsualLines;
    case TankFileParser::Reader::General:
        break;
    }
    return nullptr;
}

// Lines read by the vectorised reader per call: the arrays grow by this
// much at a time.
constexpr int kBatch = 128;
} // namespace

// A batch of lines folded into the history. Once the history has a few
// entries, the lines are folded into a small buffer that starts with the
// last entry (the only one the fold may change) and the new entries are
// appended from there: the arrays grow by copying, without first filling
// every new cell with zeros (a second pass over hundreds of megabytes when
// a whole folder of tank files is loaded). Before that the arrays are sized
// for every line to become an entry and cut back at the end. Nothing else
// may touch the history meanwhile.
class TankFileParser::Batch
{
public:
    // lines: at most the room left, and at most kBatch.
    Batch(TankFileParser &p, int lines) : p_(p)
    {
        TankHistory &h = p.h_;
        const qint64 n = qint64(h.HistoryTimes.size()) - 1;
        first_ = n;
        const qint64 *T = h.HistoryTimes.data();
        const double *V = h.HistoryValues.data();
        // The fold thins a run only from entry 3 on (two entries before the
        // last): the buffer holds the last entry at that place, so it is
        // used once the history has that many.
        buffered_ = n >= kLast && lines <= kBatch;
        Fold f{};
        f.previous = p.s_.previousTime;
        f.latest = p.s_.latestAccepted;
        f.lastV = V[n];
        f.prevV = n ? V[n - 1] : 0;
        f.lastH = hourOfDay(T[n]);
        f.prevH = n ? hourOfDay(T[n - 1]) : 0;
        if (buffered_) {
            times_[kLast] = T[n];
            values_[kLast] = V[n];
            temps_[kLast] = h.HistoryTemps[size_t(n)];
            f.times = times_;
            f.values = values_;
            f.temps = temps_;
            f.n = kLast;
        } else {
            f.n = n;
            const size_t cells = size_t(n + 1 + lines);
            h.HistoryTimes.resize(cells);
            h.HistoryValues.resize(cells);
            h.HistoryTemps.resize(cells);
            f.times = h.HistoryTimes.data();
            f.values = h.HistoryValues.data();
            f.temps = h.HistoryTemps.data();
        }
        fold = f;
    }
    ~Batch()
    {
        TankHistory &h = p_.h_;
        qint64 added = fold.n - first_;
        if (buffered_) {
            added = fold.n - kLast;
            const size_t n = size_t(first_);
            h.HistoryTimes[n] = times_[kLast];
            h.HistoryValues[n] = values_[kLast];
            h.HistoryTemps[n] = temps_[kLast];
            const auto from = kLast + 1, to = kLast + 1 + added;
            h.HistoryTimes.insert(h.HistoryTimes.end(), times_ + from, times_ + to);
            h.HistoryValues.insert(h.HistoryValues.end(), values_ + from, values_ + to);
            h.HistoryTemps.insert(h.HistoryTemps.end(), temps_ + from, temps_ + to);
        } else {
            h.HistoryTimes.resize(size_t(fold.n + 1));
            h.HistoryValues.resize(size_t(fold.n + 1));
            h.HistoryTemps.resize(size_t(fold.n + 1));
        }
        p_.s_.previousTime = fold.previous;
        p_.s_.latestAccepted = fold.latest;
        p_.room_ -= added;
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    Fold fold;

private:
    static constexpr qint64 kLast = 3; // where the last entry sits in the buffer
    TankFileParser &p_;
    qint64 first_; // the last entry before the batch
    bool buffered_;
    qint64 times_[kLast + 1 + kBatch];
    double values_[kLast + 1 + kBatch];
    qint32 temps_[kLast + 1 + kBatch];
};

TankFileParser::TankFileParser(TankHistory &history, State &state, qint64 nowSecs, Reader reader)
    : h_(history), s_(state), limit_(nowSecs + kDay),
      room_(TankHistory::kMaxEntries + kSlack - history.count()), scan_{limit_}, reader_(readerFor(reader))
{
}

void TankFileParser::dropOldest(qint64 keep)
{
    const qint64 drop = qint64(h_.count()) - keep;
    if (drop > 0) {
        // Entry 0 is the placeholder; the fold looks only at the last entries.
        const auto cut = [drop](auto &v) { v.erase(v.begin() + 1, v.begin() + 1 + drop); };
        cut(h_.HistoryTimes);
        cut(h_.HistoryValues);
        cut(h_.HistoryTemps);
    }
    room_ = TankHistory::kMaxEntries + kSlack - h_.count();
}

TankHistory TankFileParser::Parse(const char *data, qsizetype len, qint64 nowSecs, Reader reader,
                                  State *state)
{
    TankHistory h;
    State own;
    TankFileParser(h, state ? *state : own, nowSecs, reader).feed(data, len);
    return h;
}

// The parts of a line by the general rules; false when the line is skipped
// (*refusedAhead: its date is too far ahead).
static bool parseLine(const char *b, const char *e, qint64 nowSecs, qint64 *time, double *value, qint32 *temp,
                      bool *refusedAhead)
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
        dropOldest(TankHistory::kMaxEntries);
    qint64 t;
    double value;
    qint32 temp;
    bool ahead;
    if (!parseLine(b, e, limit_ - kDay, &t, &value, &temp, &ahead)) {
        if (ahead && t < s_.earliestRefused)
            s_.earliestRefused = t;
        return;
    }
    Batch batch(*this, 1);
    Folding f(batch.fold);
    f.add(t, unsigned(hourOfDay(t)), value, temp);
    f.store(batch.fold);
}

const char *TankFileParser::fastRun(const char *p, const char *end)
{
    bool stopped = false;
    while (!stopped && end - p >= kAhead) {
        if (room_ <= 0)
            dropOldest(TankHistory::kMaxEntries);
        // No more lines than entries the history can still take.
        const int lines = int(std::min<qint64>(kBatch, room_));
        Batch batch(*this, lines);
        p = reader_(p, end, lines, batch.fold, scan_, &stopped);
    }
    return p;
}

qsizetype TankFileParser::feed(const char *data, qsizetype len)
{
    const char *p = data;
    const char *end = data + len;
    while (p < end) {
        if (reader_) {
            p = fastRun(p, end);
            if (p == end)
                continue;
        }
        // One line the vectorised reader did not take, or one of the last few.
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl)
            break;
        line(p, nl > p && nl[-1] == '\r' ? nl - 1 : nl);
        p = nl + 1;
    }
    if (h_.count() > TankHistory::kMaxEntries)
        dropOldest(TankHistory::kMaxEntries);
    return p - data;
}
