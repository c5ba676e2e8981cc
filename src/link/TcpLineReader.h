#pragma once
#include <QByteArray>

// The lines a TCP peer sends, ended by LF, out of data that arrives in pieces
// of any size. Holds what was received but not yet taken, so the link can
// take one line at a time and return to the event loop whenever it likes.
class TcpLineReader
{
public:
    // Far longer than a telegram's 38 digits; a longer line is a broken or
    // hostile peer.
    static constexpr qsizetype kMaxLineLength = 1024;

    void append(const QByteArray &bytes);
    enum class Next { Line, NeedMore, TooLong };
    // The next complete line without its LF. TooLong: more than
    // kMaxLineLength characters without an LF; what is held is dropped then.
    Next next(QByteArray *line);
    // Characters of the line begun but not yet ended.
    qsizetype partialLength() const;
    // Bytes held: received, not yet taken.
    qsizetype held() const { return buf_.size() - pos_; }
    void clear();

private:
    QByteArray buf_;
    qsizetype pos_ = 0; // start of what is not yet taken
};
