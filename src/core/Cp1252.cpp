#include "Cp1252.h"

namespace
{
// 0x80..0x9F; 0 marks the five unassigned positions (decoded as the C1 control).
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

QString Cp1252::decode(const char *data, qsizetype len)
{
    QString out(len, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < len; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80])
            o[i] = QChar(kHigh[b - 0x80]);
        else
            o[i] = QChar(b);
    }
    return out;
}

QString Cp1252::decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

QByteArray Cp1252::encode(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            o[i] = static_cast<char>(c);
            continue;
        }
        char r = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] && kHigh[k] == c) {
                r = static_cast<char>(0x80 + k);
                break;
            }
            if (!kHigh[k] && c == 0x80 + k) {
                r = static_cast<char>(c);
                break;
            }
        }
        o[i] = r;
    }
    return out;
}

bool Cp1252::Holds(const QString &text)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            continue;
        bool found = false;
        for (int k = 0; k < 32 && !found; ++k)
            found = kHigh[k] ? kHigh[k] == c : c == 0x80 + k;
        if (!found)
            return false;
    }
    return true;
}
