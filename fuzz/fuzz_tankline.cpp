// Tank-file lines: the vectorised readers (widest and portable) give exactly
// the history of the general rules, read whole or continued after a cut.
#include "history/TankFileParser.h"

#include "core/Clock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
using Reader = TankFileParser::Reader;

bool same(const TankHistory &a, const TankHistory &b)
{
    const auto bytes = [](const auto &v) { return v.size() * sizeof(v[0]); };
    return a.HistoryTimes == b.HistoryTimes && a.HistoryTemps == b.HistoryTemps &&
           a.HistoryValues.size() == b.HistoryValues.size() &&
           std::memcmp(a.HistoryValues.data(), b.HistoryValues.data(), bytes(a.HistoryValues)) == 0;
}

// The file read in two calls, the second one continuing at what the first took.
TankHistory inTwo(const char *d, qsizetype len, qsizetype cut, qint64 now, Reader r)
{
    TankHistory h;
    TankFileParser::State st;
    const qsizetype took = TankFileParser(h, st, now, r).feed(d, cut);
    TankFileParser(h, st, now, r).feed(d + took, len - took);
    return h;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *d = reinterpret_cast<const char *>(data + 1);
    const qsizetype len = qsizetype(size - 1);
    const qsizetype cut = len ? data[0] * len / 255 : 0;
    static const qint64 now = TankHistory::toSecs(Clock::Naive(QDate(2026, 12, 5), QTime(12, 0)));

    const TankHistory general = TankFileParser::Parse(d, len, now, Reader::General);
    for (const Reader r : {Reader::Fastest, Reader::Portable}) {
        if (!same(TankFileParser::Parse(d, len, now, r), general))
            std::abort();
        if (!same(inTwo(d, len, cut, now, r), general))
            std::abort();
    }
    return 0;
}
