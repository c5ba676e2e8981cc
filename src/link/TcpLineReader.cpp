#include "TcpLineReader.h"

void TcpLineReader::append(const QByteArray &bytes)
{
    // Drop what was taken before the buffer grows, so it never holds more
    // than one read and a line.
    if (pos_ > 0) {
        buf_.remove(0, pos_);
        pos_ = 0;
    }
    buf_ += bytes;
}

TcpLineReader::Next TcpLineReader::next(QByteArray *line)
{
    const qsizetype lf = buf_.indexOf('\n', pos_);
    const qsizetype end = lf < 0 ? buf_.size() : lf;
    if (end - pos_ > kMaxLineLength) {
        clear();
        return Next::TooLong;
    }
    if (lf < 0)
        return Next::NeedMore;
    *line = buf_.mid(pos_, lf - pos_);
    pos_ = lf + 1;
    return Next::Line;
}

qsizetype TcpLineReader::partialLength() const
{
    const qsizetype lf = buf_.indexOf('\n', pos_);
    return (lf < 0 ? buf_.size() : lf) - pos_;
}

void TcpLineReader::clear()
{
    buf_.clear();
    pos_ = 0;
}
