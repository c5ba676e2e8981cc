#include "Plural.h"

#include <QStringList>

namespace
{
constexpr int kCroatian = 8, kRomanian = 9, kPolish = 10, kFrench = 4;

// 2..4 in the last digit, but not 12..14: Croatian and Polish share it.
bool slavicFew(qint64 n)
{
    return n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14);
}
} // namespace

int PluralFormCount(int lngId)
{
    return lngId == kCroatian || lngId == kRomanian || lngId == kPolish ? 3 : 2;
}

int PluralForm(int lngId, qint64 n)
{
    if (n < 0)
        n = -n;
    switch (lngId) {
    case kCroatian: // 1, 21 litra; 2, 22 litre; 5, 11, 12 litara
        if (n % 10 == 1 && n % 100 != 11)
            return 0;
        return slavicFew(n) ? 1 : 2;
    case kPolish: // 1 litr; 2, 22 litry; 5, 12, 21 litrów
        if (n == 1)
            return 0;
        return slavicFew(n) ? 1 : 2;
    case kRomanian: // 1 litru; 0, 2..19, 102 litri; 20, 101 de litri
        if (n == 1)
            return 0;
        return n == 0 || (n % 100 >= 2 && n % 100 <= 19) ? 1 : 2;
    case kFrench: // 0 and 1 take the singular
        return n <= 1 ? 0 : 1;
    default:
        return n == 1 ? 0 : 1;
    }
}

QString PluralText(const Texts &t, int id, qint64 n)
{
    const QStringList forms = t.lines(id);
    const int form = PluralForm(t.lngId(), n);
    return forms.value(form, forms.last());
}
