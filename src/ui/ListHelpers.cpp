#include "ListHelpers.h"

#include "link/ItemList.h"

#include <QComboBox>
#include <QListWidget>

void AddListItem(QComboBox *list, const QString &text, qint32 number, bool select)
{
    list->addItem(text, number);
    if (select)
        list->setCurrentIndex(list->count() - 1);
}

void SelectByItemData(QComboBox *list, qint64 value)
{
    QList<qint32> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->itemData(i).toInt();
    list->setCurrentIndex(ItemList::NearestIndex(numbers, value));
}

qint32 SelectedItemData(const QComboBox *list)
{
    const int i = list->currentIndex();
    return i >= 0 ? list->itemData(i).toInt() : -1;
}

void AddListItem(QListWidget *list, const QString &text, qint32 number, bool select)
{
    auto *item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, number);
    if (select)
        list->setCurrentItem(item);
}

void SelectByItemData(QListWidget *list, qint64 value)
{
    QList<qint32> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->data(Qt::UserRole).toInt();
    list->setCurrentRow(ItemList::NearestIndex(numbers, value));
}

qint32 SelectedItemData(const QListWidget *list)
{
    const int i = list->currentRow();
    return i >= 0 ? list->item(i)->data(Qt::UserRole).toInt() : -1;
}
