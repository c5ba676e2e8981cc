// Serial framing: whatever the line delivers, in whatever pieces, the same
// blocks are evaluated as when it arrives at once, each 19 bytes from STX.
#include "link/Framing.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
// A pure stand-in for the evaluation: accepts blocks that end in ETX.
bool accept(const QByteArray &b)
{
    return b.back() == 0x03;
}

std::vector<QByteArray> scan(const QByteArray &input, const std::vector<int> &pieces)
{
    std::vector<QByteArray> seen;
    const auto eval = [&](const QByteArray &b) {
        if (b.size() != kTelegramLength || b[0] != kStx)
            std::abort();
        seen.push_back(b);
        return accept(b);
    };
    QByteArray rest;
    qsizetype at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        const qsizetype n = pieces.empty() ? input.size() : 1 + pieces[i % pieces.size()];
        rest = ScanTelegrams(rest + input.mid(at, n), eval);
        if (rest.size() >= kTelegramLength || (!rest.isEmpty() && rest[0] != kStx))
            std::abort();
        at += n;
    }
    return seen;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first bytes choose the piece sizes, the rest is the line.
    const size_t nPieces = data[0] % 8;
    if (size < 1 + nPieces)
        return 0;
    std::vector<int> pieces(data + 1, data + 1 + nPieces);
    for (int &p : pieces)
        p %= 40;
    const QByteArray input(reinterpret_cast<const char *>(data + 1 + nPieces), qsizetype(size - 1 - nPieces));
    if (scan(input, pieces) != scan(input, {}))
        std::abort();
    return 0;
}
