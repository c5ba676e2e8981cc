#pragma once
#include "core/UiServices.h"

// The user-interface services on Qt widgets. Boxes run their own event loop,
// so timers, the serial port and sockets keep being served while one is open.
class QtUi : public UiServices {
    Q_OBJECT
public:
    MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &def) override;
    void beep() override;
    void setWaitCursor(bool on) override;

private:
    bool waitCursor_ = false;
};
