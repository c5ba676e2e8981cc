#include "ItemList.h"

#include <limits>

void ItemList::clear()
{
    items_.clear();
    current_ = -1;
}

int ItemList::AddListItem(const QString &text, qint32 number, bool select)
{
    items_.append({text, number});
    if (select)
        current_ = count() - 1;
    return count() - 1;
}

int ItemList::NearestIndex(const QList<qint32> &numbers, qint64 value)
{
    int best = -1;
    qint64 distance = std::numeric_limits<qint32>::max();
    for (int i = 0; i < numbers.size(); ++i) {
        const qint64 d = numbers[i] > value ? numbers[i] - value : value - numbers[i];
        if (d < distance) {
            best = i;
            distance = d;
        }
    }
    return best;
}

void ItemList::SelectByItemData(qint64 value)
{
    QList<qint32> numbers;
    numbers.reserve(items_.size());
    for (const Item &it : items_)
        numbers.append(it.number);
    current_ = NearestIndex(numbers, value);
}

qint32 ItemList::SelectedItemData() const
{
    return current_ >= 0 ? items_[current_].number : -1;
}
