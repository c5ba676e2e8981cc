#pragma once
#include "model/Telegram.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

// Telegram framing and the small text helpers the links share.

constexpr char kStx = 2;

// Cuts 19-character blocks that start with STX out of buf and hands each to
// evaluate. After an accepted block the scan goes on behind it, after a
// rejected one at its next character (an STX inside may start a telegram).
// Returns the incomplete telegram at the end that must wait for more
// characters; everything else is dropped.
QByteArray ScanTelegrams(const QByteArray &buf, const std::function<bool(const QByteArray &)> &evaluate);

// The value of the leading hexadecimal digits of text (at most 8 count),
// 0 when text does not begin with one.
qint32 HexToLong(const char *text, qsizetype len);
inline qint32 HexToLong(const QByteArray &text)
{
    return HexToLong(text.constData(), text.size());
}

// One TCP line: two hex digits per character; an odd last digit alone makes
// one more character; bad digits give code 0.
QByteArray DecodeHexLine(const QByteArray &line);

// Received bytes for a trace line: CR and LF shown as "_".
QString TraceData(const QByteArray &bytes);

// A moment in the system's default date and time form, as the status line shows it.
QString ReceptionTimeText(const QDateTime &now);
