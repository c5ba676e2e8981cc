// Date-text reader: any text gives a date or none, and every date it gives
// within four-digit years is written back as a text that reads as the same.
#include "core/Clock.h"
#include "core/DateText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QDateTime t = DateTimeTextValue(text);
    const QDateTime now = Clock::Naive(QDate(2026, 12, 5), QTime(12, 0));
    const QDateTime p = ParseDateTimeText(text, now);
    if (p.isValid() != (t.isValid() && t <= now.addDays(1)) || (p.isValid() && p != t))
        std::abort();
    if (!t.isValid())
        return 0;
    const QString back = FormatDateText(t);
    if (t.date().year() >= 1000 && t.date().year() <= 9999) {
        if (back.size() != 19 || DateTimeTextValue(back) != t)
            std::abort();
    }
    return 0;
}
