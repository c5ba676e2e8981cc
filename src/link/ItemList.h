#pragma once
#include <QList>
#include <QString>

// Entries of a list or combo box: a text and an entry number. The list
// helpers of the dialogs work on this; the widget adapters mirror it.
class ItemList
{
public:
    struct Item {
        QString text;
        qint32 number = 0;
    };

    void clear();
    int count() const { return int(items_.size()); }
    const Item &at(int i) const { return items_[i]; }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int i) { current_ = i >= 0 && i < count() ? i : -1; }

    // Appends an entry; with select set it becomes the selected one.
    int AddListItem(const QString &text, qint32 number, bool select = false);
    // Selects the entry whose number is nearest to value (the first of equally
    // near ones); an empty list ends with no selection.
    void SelectByItemData(qint64 value);
    // Number of the selected entry, -1 when none.
    qint32 SelectedItemData() const;

    // The index SelectByItemData picks among these numbers, -1 for none.
    static int NearestIndex(const QList<qint32> &numbers, qint64 value);

private:
    QList<Item> items_;
    int current_ = -1;
};
