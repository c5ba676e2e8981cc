#include "KeyboardAccess.h"

#include "lang/AccessKeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <functional>

namespace
{
// One scope: texts in, the same texts with their access letters out.
struct Scope {
    QStringList texts;
    QList<std::function<void(const QString &)>> setters;

    void add(const QString &text, std::function<void(const QString &)> set)
    {
        if (text.isEmpty())
            return;
        texts << text;
        setters << std::move(set);
    }
    void add(QAction *a)
    {
        if (!a->isSeparator())
            add(a->text(), [a](const QString &t) { a->setText(t); });
    }
    void apply() const
    {
        const QStringList keyed = WithAccessKeys(texts);
        for (int i = 0; i < keyed.size(); ++i)
            setters[i](keyed[i]);
    }
};

void assignMenu(QMenu *menu)
{
    Scope s;
    for (QAction *a : menu->actions())
        s.add(a);
    s.apply();
}
} // namespace

void AssignAccessKeys(QWidget *window)
{
    if (auto *menu = qobject_cast<QMenu *>(window)) {
        assignMenu(menu);
        return;
    }
    Scope s;
    QList<QMenu *> menus;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window)
            continue;
        if (auto *bar = qobject_cast<QMenuBar *>(w)) {
            for (QAction *a : bar->actions()) {
                s.add(a);
                if (a->menu())
                    menus << a->menu();
            }
        } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            if (!b->group() || !b->group()->exclusive())
                s.add(b->text(), [b](const QString &t) { b->setText(t); });
        } else if (auto *l = qobject_cast<QLabel *>(w); l && l->buddy()) {
            s.add(l->text(), [l](const QString &t) { l->setText(t); });
        }
    }
    s.apply();
    for (QMenu *m : menus)
        assignMenu(m);
}
