#include "FrmSelectLng.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"

#include "lang/Lng.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

frmSelectLng::frmSelectLng(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelectLng"));
    setWindowTitle(QStringLiteral("Auswahl Sprache"));
    // The language is not known yet: the label speaks the two of the help.
    lbl =
        new QLabel(QStringLiteral("Sprache wählen (Doppelklick)\nChoose the language (double-click)"), this);
    lst = new QListWidget(this);
    for (const LanguageEntry &lang : LanguageList())
        AddListItem(lst, lang.name, lang.id);
    lst->setCurrentRow(-1);
    lst->setMinimumHeight(lst->sizeHintForRow(0) * (lst->count() + 1));
    lbl->setBuddy(lst);
    AssignAccessKeys(this);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(lbl);
    outer->addWidget(lst);
    lst->viewport()->installEventFilter(this);
}

bool frmSelectLng::eventFilter(QObject *watched, QEvent *event)
{
    // A double-click anywhere in the list chooses the current entry; without
    // one the dialog stays open and nothing is chosen.
    if (watched == lst->viewport() && event->type() == QEvent::MouseButtonDblClick && lst->currentItem()) {
        emit chosen(SelectedItemData(lst));
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
