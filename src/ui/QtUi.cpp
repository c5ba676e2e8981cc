#include "QtUi.h"

#include "app/AppController.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {
QString boxTitle(const QString &title)
{
    return title.isEmpty() ? AppController::ProgramTitle(false) : title;
}

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Stop: return QMessageBox::Critical;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

MsgResult QtUi::messageBox(const QString &text, const QString &title, MsgIcon icon,
                           MsgButtons buttons)
{
    QMessageBox box(qtIcon(icon), boxTitle(title), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    // The hourglass must not hide the box's buttons.
    const bool wasWaiting = waitCursor_;
    if (wasWaiting)
        setWaitCursor(false);
    const int r = box.exec();
    if (wasWaiting)
        setWaitCursor(true);
    if (buttons == MsgButtons::YesNo)
        return r == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    return MsgResult::Ok;
}

QString QtUi::inputBox(const QString &prompt, const QString &title, const QString &def)
{
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(boxTitle(title));
    dlg.setLabelText(prompt);
    dlg.setTextValue(def);
    dlg.setInputMode(QInputDialog::TextInput);
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return dlg.textValue();
}

void QtUi::beep() { QApplication::beep(); }

void QtUi::setWaitCursor(bool on)
{
    if (on == waitCursor_)
        return;
    waitCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
