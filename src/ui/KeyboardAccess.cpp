#include "KeyboardAccess.h"

#include "lang/AccessKeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace {
void assign(const QList<QAction *> &actions)
{
    QList<QAction *> named;
    QStringList texts;
    for (QAction *a : actions)
        if (!a->isSeparator() && !a->text().isEmpty()) {
            named << a;
            texts << a->text();
        }
    const QStringList keyed = WithAccessKeys(texts);
    for (int i = 0; i < named.size(); ++i)
        named[i]->setText(keyed[i]);
}
} // namespace

void AssignAccessKeys(QMenuBar *bar)
{
    assign(bar->actions());
    for (QAction *a : bar->actions())
        if (QMenu *m = a->menu())
            assign(m->actions());
}

void AssignAccessKeys(QWidget *dialog)
{
    QList<QWidget *> widgets;
    QStringList texts;
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        if (auto *b = qobject_cast<QAbstractButton *>(w); b && !b->text().isEmpty()) {
            widgets << b;
            texts << b->text();
        } else if (auto *l = qobject_cast<QLabel *>(w); l && l->buddy() && !l->text().isEmpty()) {
            widgets << l;
            texts << l->text();
        }
    }
    const QStringList keyed = WithAccessKeys(texts);
    for (int i = 0; i < widgets.size(); ++i) {
        if (auto *b = qobject_cast<QAbstractButton *>(widgets[i]))
            b->setText(keyed[i]);
        else
            static_cast<QLabel *>(widgets[i])->setText(keyed[i]);
    }
}
