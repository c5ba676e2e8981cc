#pragma once
#include <QString>

class QComboBox;
class QListWidget;

// The list helpers on the widgets: the entry number is the item data.
// Selection rules are ItemList's (nearest number, first of equally near).
void AddListItem(QComboBox *list, const QString &text, qint32 number, bool select = false);
void SelectByItemData(QComboBox *list, qint64 value);
qint32 SelectedItemData(const QComboBox *list);

void AddListItem(QListWidget *list, const QString &text, qint32 number, bool select = false);
void SelectByItemData(QListWidget *list, qint64 value);
qint32 SelectedItemData(const QListWidget *list);
