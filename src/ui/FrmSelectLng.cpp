#include "FrmSelectLng.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"

#include "lang/Lng.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmSelectLng::frmSelectLng(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelectLng"));
    // No language is set yet: the system's speaks (English for any other).
    const Texts t(LanguageOfLocale(QLocale::system()));
    setWindowTitle(t(920));
    lbl = new QLabel(t(920) + QLatin1Char(':'), this);
    lst = new QListWidget(this);
    for (const LanguageEntry &lang : LanguageList())
        AddListItem(lst, lang.name, lang.id);
    lst->setCurrentRow(-1);
    lst->setMinimumHeight(lst->sizeHintForRow(0) * (lst->count() + 1));
    lbl->setBuddy(lst);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    cmdOk = buttons->button(QDialogButtonBox::Ok);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setText(t(252));
    cmdOk->setEnabled(false);
    AssignAccessKeys(this);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(lbl);
    outer->addWidget(lst);
    outer->addWidget(buttons);
    // OK and Enter choose the current entry, as a double-click does.
    connect(lst, &QListWidget::currentRowChanged, cmdOk, [this](int row) { cmdOk->setEnabled(row >= 0); });
    connect(buttons, &QDialogButtonBox::accepted, this, &frmSelectLng::choose);
    connect(lst, &QListWidget::itemActivated, this, &frmSelectLng::choose);
    lst->viewport()->installEventFilter(this);
}

bool frmSelectLng::eventFilter(QObject *watched, QEvent *event)
{
    // A double-click anywhere in the list chooses the current entry; without
    // one the dialog stays open and nothing is chosen.
    if (watched == lst->viewport() && event->type() == QEvent::MouseButtonDblClick && lst->currentItem()) {
        choose();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmSelectLng::choose()
{
    if (!lst->currentItem())
        return;
    emit chosen(SelectedItemData(lst));
    accept();
}
