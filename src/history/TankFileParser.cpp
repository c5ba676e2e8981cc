#include "TankFileParser.h"

#include "core/Cp1252.h"
#include "core/DateText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr qint64 kDay = 86400;
constexpr int kNoTemp = -9999;

Q_ALWAYS_INLINE bool isDigit(char c) { return unsigned(c - '0') < 10u; }
Q_ALWAYS_INLINE int two(const char *p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// Days from 1970-01-01 to a proleptic Gregorian date.
Q_ALWAYS_INLINE qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

Q_ALWAYS_INLINE unsigned daysInMonth(int y, unsigned m)
{
    static const unsigned char k[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)))
        return 29;
    return k[m - 1];
}

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

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

Q_ALWAYS_INLINE int hourOfDay(qint64 secs) { return int(((secs % kDay) + kDay) % kDay / 3600); }

Q_ALWAYS_INLINE quint64 load64(const char *p)
{
    quint64 v;
    std::memcpy(&v, p, 8);
    return v;
}

// Every byte selected by mask is an ASCII digit.
Q_ALWAYS_INLINE bool digitsAt(quint64 x, quint64 mask)
{
    constexpr quint64 high = 0xF0F0F0F0F0F0F0F0ull, three = 0x3030303030303030ull;
    constexpr quint64 six = 0x0606060606060606ull;
    return (x & high & mask) == (three & mask) && ((x + six) & high & mask) == (three & mask);
}

// How many ASCII digits the 8 bytes start with (0..8).
Q_ALWAYS_INLINE int digitRun(quint64 x)
{
    constexpr quint64 high = 0xF0F0F0F0F0F0F0F0ull, three = 0x3030303030303030ull;
    const quint64 bad = ((x & high) ^ three) | (((x + 0x0606060606060606ull) & high) ^ three);
    // High bit of each byte that is not a digit.
    const quint64 nonDigit = (bad | ((bad & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full)) & 0x8080808080808080ull;
    return nonDigit ? __builtin_ctzll(nonDigit) / 8 : 8;
}

// The value of the first n (1..8) digits of x, without a loop.
Q_ALWAYS_INLINE quint64 digitsValue(quint64 x, int n)
{
    x = (x << (8 * (8 - n))) & 0x0F0F0F0F0F0F0F0Full;
    x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFull;
    x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFull;
    return (x * 10000 + (x >> 32)) & 0xFFFFFFFFull;
}

// Bits i where p[i] is ',' and where it is '\n', for the 48 bytes from p
// (the usual line is shorter).
Q_ALWAYS_INLINE void masks48(const char *p, quint64 *commas, quint64 *ends)
{
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(','), lf = _mm_set1_epi8('\n');
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 32));
    const auto bits = [](__m128i v, __m128i c) { return quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c)))); };
    *commas = bits(v0, comma) | bits(v1, comma) << 16 | bits(v2, comma) << 32;
    *ends = bits(v0, lf) | bits(v1, lf) << 16 | bits(v2, lf) << 32;
#else
    quint64 c = 0, n = 0;
    for (int i = 0; i < 48; ++i) {
        c |= quint64(p[i] == ',') << i;
        n |= quint64(p[i] == '\n') << i;
    }
    *commas = c;
    *ends = n;
#endif
}

// Mask of the low n bytes (n 1..8).
Q_ALWAYS_INLINE quint64 lowBytes(qsizetype n) { return n >= 8 ? ~quint64(0) : (quint64(1) << (8 * n)) - 1; }

// The value of the first n (1..8) digits of x; x's digits checked before.
Q_ALWAYS_INLINE quint64 numberOf(quint64 x, qsizetype n)
{
    if (n <= 4) {
        quint32 y = quint32(x << (8 * (4 - n))) & 0x0F0F0F0Fu;
        y = (y * 10 + (y >> 8)) & 0x00FF00FFu;
        return (y * 100 + (y >> 16)) & 0xFFFFu;
    }
    return digitsValue(x, int(n));
}
} // namespace

// The usual line "dd.mm.yyyy hh:mm:ss,<digits[.digits]>,<unit>[,<whole degrees>]"
// [p, e) (without its line end) with every date part in range and the date
// not ahead of the limit, read without any string object. Gives exactly what
// the general reading gives for such a line; anything else returns false and
// is read by the general rules. Reads up to 8 bytes past e. commas: the
// comma bits of the bytes from p.
bool TankFileParser::fastLine(const char *p, const char *e, quint64 commas)
{
    const qsizetype len = e - p;
    if (len < 22)
        return false;
    // Commas of the line after the first one, which must be at 19.
    commas = (commas & ((quint64(1) << len) - 1)) >> 20;
    if (!commas)
        return false;
    const int c2 = 20 + __builtin_ctzll(commas);
    commas &= commas - 1;
    const int c3 = commas ? 20 + __builtin_ctzll(commas) : -1;

    // Bytes 0..7 "dd.mm.yy", 8..15 "yy hh:mm", 12..19 "h:mm:ss,".
    const quint64 a = load64(p), b = load64(p + 8), c = load64(p + 12);
    constexpr quint64 aDigits = 0xFFFF00FFFF00FFFFull, aSep = 0x0000FF0000FF0000ull;
    constexpr quint64 aSepText = 0x00002E00002E0000ull; // '.' at 2 and 5
    constexpr quint64 bDigits = 0xFFFF00FFFF00FFFFull, bSep = 0x0000FF0000FF0000ull;
    constexpr quint64 bSepText = 0x00003A0000200000ull; // ' ' at 10, ':' at 13
    constexpr quint64 cDigits = 0x00FFFF00FFFF00FFull, cSep = 0xFF0000FF00000000ull;
    constexpr quint64 cSepText = 0x2C00003A00000000ull; // ':' at 16, ',' at 19
    if ((a & aSep) != aSepText || (b & bSep) != bSepText || (c & cSep) != cSepText ||
        !digitsAt(a, aDigits) || !digitsAt(b, bDigits) || !digitsAt(c, cDigits))
        return false;
    // Two-digit numbers at every byte at once: byte i of pairs(x) is
    // 10 * digit i + digit i + 1 (separators keep it below 256).
    const auto pairs = [](quint64 x) {
        x &= 0x0F0F0F0F0F0F0F0Full;
        return x * 10 + (x >> 8);
    };
    const auto byte = [](quint64 x, int i) { return int((x >> (8 * i)) & 0xFF); };
    const quint64 pa = pairs(a), pb = pairs(b), pc = pairs(c);
    // Consecutive lines mostly share their date: its day number is computed
    // once for a run of lines.
    const quint64 dateKey = b & 0xFFFF;
    qint64 days;
    if (a == cacheA_ && dateKey == cacheB_) {
        days = cacheDays_;
    } else {
        const int day = byte(pa, 0), month = byte(pa, 3), year = byte(pa, 6) * 100 + byte(pb, 0);
        if (year < 100 || month < 1 || month > 12 || day < 1 || unsigned(day) > daysInMonth(year, unsigned(month)))
            return false;
        days = daysFromCivil(year, unsigned(month), unsigned(day));
        cacheA_ = a;
        cacheB_ = dateKey;
        cacheDays_ = days;
    }
    const int hour = byte(pb, 3), minute = byte(pb, 6), second = byte(pc, 5);
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    const qint64 t = days * kDay + hour * 3600 + minute * 60 + second;
    if (t > limit_)
        return false;

    // Level [20, c2): digits, or digits "." digits.
    const qsizetype width = c2 - 20;
    if (width < 1 || width > 8)
        return false;
    const quint64 x = load64(p + 20);
    quint64 mantissa;
    int decimals = 0;
    if (digitsAt(x, lowBytes(width))) {
        mantissa = numberOf(x, width);
    } else {
        const int dot = digitRun(x);
        decimals = int(width) - dot - 1;
        if (dot == 0 || p[20 + dot] != '.')
            return false;
        mantissa = numberOf(x, dot);
        if (decimals) {
            const quint64 f = load64(p + 21 + dot);
            if (!digitsAt(f, lowBytes(decimals)))
                return false;
            mantissa = mantissa * quint64(kPow10[decimals]) + numberOf(f, decimals);
        }
    }
    const double value = decimals ? double(mantissa) / kPow10[decimals] : double(mantissa);

    // Temperature (c3, e): whole degrees, or none without a third comma.
    qint32 temp = kNoTemp;
    if (c3 >= 0) {
        if (c3 - c2 == 3 && p[c2 + 1] == 'U' && p[c2 + 2] == 'S')
            return false; // "US,Gal": general rules
        const char *q = p + c3 + 1;
        const bool negative = *q == '-';
        q += negative;
        const qsizetype n = e - q;
        if (n < 1 || n > 7)
            return false;
        const quint64 d = load64(q);
        if (!digitsAt(d, lowBytes(n)))
            return false;
        const qint32 degrees = qint32(numberOf(d, n));
        temp = negative ? -degrees : degrees;
    }
    accept(t, value, temp);
    return true;
}

TankFileParser::TankFileParser(TankHistory &history, State &state, qint64 nowSecs)
    : h_(&history), s_(&state), limit_(nowSecs + kDay), room_(TankHistory::kMaxEntries - history.count())
{
}

TankFileParser::TankFileParser(std::vector<Record> &records, qint64 nowSecs)
    : s_(&recordState_), records_(&records), limit_(nowSecs + kDay),
      room_(std::numeric_limits<qint64>::max())
{
}

inline void TankFileParser::accept(qint64 t, double value, qint32 temp)
{
    if (records_) {
        records_->push_back({t, value, temp, false});
        return;
    }
    if (t > s_->latestAccepted)
        s_->latestAccepted = t;
    fold(t, value, temp);
}

inline void TankFileParser::refuse(qint64 t)
{
    if (records_)
        records_->push_back({t, 0, 0, true});
    else if (t < s_->earliestRefused)
        s_->earliestRefused = t;
}

void TankFileParser::replay(const std::vector<Record> &records)
{
    for (const Record &r : records) {
        if (room_ <= 0)
            return; // the lines after a full history are never read
        if (r.refusedAhead)
            refuse(r.time);
        else
            accept(r.time, r.value, r.temp);
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

void TankFileParser::fold(qint64 t, double value, qint32 temp)
{
    auto &T = h_->HistoryTimes;
    auto &V = h_->HistoryValues;
    auto &P = h_->HistoryTemps;
    const size_t n = T.size() - 1;
    size_t k = n;
    // A run of equal levels within one hour of the day keeps its first and
    // its latest entry: the new line takes the place of the last one.
    if (k > 2 && V[k - 1] == value && V[k] == value) {
        const int hr = hourOfDay(t);
        if (hourOfDay(T[k - 1]) == hr && hourOfDay(T[k]) == hr)
            --k;
    }
    if (t != s_->previousTime)
        ++k;
    else if (!(value > V[k]))
        return; // equal times: the greatest level wins
    if (k > n) {
        T.push_back(t);
        V.push_back(value);
        P.push_back(temp);
        --room_;
    } else {
        T[k] = t;
        V[k] = value;
        P[k] = temp;
    }
    s_->previousTime = t;
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
        const char *nl;
        if (fast_ && end - p >= 48) {
            // One look at the next 48 bytes finds the line end and the commas.
            quint64 commas, ends;
            masks48(p, &commas, &ends);
            if (ends) {
                nl = p + __builtin_ctzll(ends);
                const char *e = nl > p && nl[-1] == '\r' ? nl - 1 : nl;
                // The fast reading looks up to 8 bytes past the line.
                if (end - e < 8 || !fastLine(p, e, commas))
                    line(p, e);
                p = nl + 1;
                continue;
            }
        }
        nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl)
            break;
        line(p, nl > p && nl[-1] == '\r' ? nl - 1 : nl);
        p = nl + 1;
    }
    return p - data;
}
