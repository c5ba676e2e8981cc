// Settings-file parser: any bytes parse and write back unchanged; a value
// written is read back, after a new parse of the written text, and nothing
// else changes.
#include "core/IniStore.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// Names and values the program writes: no line breaks, brackets, '=' or
// blanks at the ends. Taken from the input so the fuzzer can reach them.
QString safeText(const QByteArray &b, bool allowEmpty)
{
    QString s;
    for (const char c : b) {
        const uchar u = uchar(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
            u == 0xE4 || u == 0xF6 || u == 0xFC || u == 0xDF)
            s += QChar(u);
    }
    if (s.isEmpty() && !allowEmpty)
        s = QStringLiteral("k");
    return s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    // Layout: file bytes, then after the last 0xFF 0x00 pair: section,key,value.
    const qsizetype cut = all.lastIndexOf(QByteArray("\xFF\0", 2));
    const QByteArray fileBytes = cut < 0 ? all : all.left(cut);
    const QList<QByteArray> words = cut < 0 ? QList<QByteArray>{} : all.mid(cut + 2).split(',');

    QString refusal;
    const QByteArray text = IniFile::textOf(fileBytes, &refusal);
    IniFile f;
    f.parse(text);
    if (f.serialize() != text)
        std::abort();

    const QString section = safeText(words.value(0), false);
    const QString key = safeText(words.value(1), false);
    const QString value = safeText(words.value(2), true);
    const QString probeSection = safeText(words.value(3), false);
    const QString probeKey = safeText(words.value(4), false);
    const bool del = words.size() > 5;
    const auto probeBefore = f.value(probeSection, probeKey);

    f.setValue(section, key, del ? std::nullopt : std::optional<QString>(value));
    IniFile again;
    again.parse(f.serialize());
    const auto got = again.value(section, key);
    // Deleting removes the first occurrence; a later duplicate may show then.
    if (!del && got != value.left(kIniMaxValueLength))
        std::abort();
    const bool sameSection = probeSection.trimmed().toCaseFolded() == section.trimmed().toCaseFolded();
    const bool sameKey = probeKey.toCaseFolded() == key.toCaseFolded();
    if (!(sameSection && sameKey) && again.value(probeSection, probeKey) != probeBefore)
        std::abort();
    return 0;
}
