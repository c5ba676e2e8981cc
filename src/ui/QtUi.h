#pragma once
#include "core/UiServices.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

// The user-interface services on Qt widgets. A box is shown without a loop
// of its own (it is modal for the user, not for the program): the caller has
// returned long before the user answers, timers, the serial port and the
// sockets go on, and `done` runs when the box is closed. A box belongs to a
// window that stays open: it appears once the event loop has turned (a
// dialog that asked for it while closing is gone by then), on the window
// that asked when it is still shown, else on the nearest window below it
// that is, else on the main window.
class QtUi : public UiServices
{
    Q_OBJECT
public:
    // programTitle: the title of boxes that have none of their own.
    explicit QtUi(std::function<QString()> programTitle);
    // The window boxes fall back to: the main window.
    void setHome(QWidget *home) { home_ = home; }

    void messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                    MsgDone done = {}) override;
    void inputBox(const QString &prompt, const QString &title, const QString &def, InputDone done) override;
    void passwordBox(const QString &prompt, const QString &title, InputDone done) override;
    void beep() override;
    void setWaitCursor(bool on) override;

    // The windows a box asked for now may belong to, nearest first.
    using Owners = QList<QPointer<QWidget>>;
    Owners owners() const;
    // The first of them still shown at the time the box appears.
    static QWidget *shownOwner(const Owners &owners);

private:
    void showMessageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                        const MsgDone &done, const Owners &owners);
    QString boxTitle(const QString &title) const;
    void textBox(const QString &prompt, const QString &title, const QString &def, bool hidden,
                 InputDone done);

    std::function<QString()> programTitle_;
    QPointer<QWidget> home_;
    bool waitCursor_ = false;
};
