#pragma once
#include "core/UiServices.h"

#include <functional>

// The user-interface services on Qt widgets. A box is shown without a loop
// of its own (it is modal for the user, not for the program): the caller has
// returned long before the user answers, timers, the serial port and the
// sockets go on, and `done` runs when the box is closed.
class QtUi : public UiServices
{
    Q_OBJECT
public:
    // programTitle: the title of boxes that have none of their own.
    explicit QtUi(std::function<QString()> programTitle);

    void messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                    MsgDone done = {}) override;
    void inputBox(const QString &prompt, const QString &title, const QString &def, InputDone done) override;
    void passwordBox(const QString &prompt, const QString &title, InputDone done) override;
    void beep() override;
    void setWaitCursor(bool on) override;

private:
    QString boxTitle(const QString &title) const;
    void textBox(const QString &prompt, const QString &title, const QString &def, bool hidden,
                 InputDone done);

    std::function<QString()> programTitle_;
    bool waitCursor_ = false;
};
