#pragma once
#include <QPointer>
#include <QWidget>

// Shows the one window of its kind: an open one comes to the front, else
// `make` builds it (deleted when closed) and it is shown.
template <class Form, class Make> Form *ShowSingle(QPointer<Form> &open, Make make)
{
    if (!open) {
        open = make();
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}
