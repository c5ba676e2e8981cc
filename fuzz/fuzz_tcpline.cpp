// TCP hex lines: the lines of a stream are the same in whatever pieces it
// arrives; any line decodes to half its length (an odd last digit alone
// makes one more character), hex text decodes to the bytes it spells in either
// letter case, and the decoding of a line does not depend on what follows it.
#include "link/Framing.h"
#include "link/TcpLineReader.h"

#include <QList>

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace
{
// The lines (and "too long" marks) of a stream fed in pieces of step bytes.
QList<QByteArray> linesOf(const QByteArray &stream, qsizetype step)
{
    TcpLineReader r;
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < stream.size(); at += step) {
        r.append(stream.mid(at, step));
        QByteArray line;
        for (;;) {
            const TcpLineReader::Next n = r.next(&line);
            if (n == TcpLineReader::Next::NeedMore)
                break;
            lines << (n == TcpLineReader::Next::Line ? line : QByteArray("<too long>"));
            if (n == TcpLineReader::Next::TooLong)
                return lines; // the link cuts the peer
        }
        if (r.partialLength() > TcpLineReader::kMaxLineLength ||
            r.held() > step + TcpLineReader::kMaxLineLength)
            std::abort();
    }
    return lines;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray in(reinterpret_cast<const char *>(data), qsizetype(size));
    if (size > 0) {
        const QList<QByteArray> whole = linesOf(in, in.size());
        if (linesOf(in, 1 + data[0] % 64) != whole)
            std::abort();
    }
    const QByteArray out = DecodeHexLine(in);
    if (out.size() != (in.size() + 1) / 2)
        std::abort();
    // Bytes written as hex by a gateway come back unchanged.
    if (DecodeHexLine(in.toHex()) != in || DecodeHexLine(in.toHex().toUpper()) != in)
        std::abort();
    // Each pair stands alone: the decoding of a prefix is a prefix.
    const qsizetype cut = size ? (data[0] % (in.size() + 1)) & ~qsizetype(1) : 0;
    if (out.left(cut / 2) != DecodeHexLine(in.left(cut)))
        std::abort();
    // A pair that is not hex gives 0 when its first digit is not hex.
    for (qsizetype j = 0; j + 1 < in.size(); j += 2)
        if (HexToLong(in.mid(j, 1)) == 0 && !std::isxdigit(uchar(in[j])) && out[j / 2] != 0)
            std::abort();
    return 0;
}
