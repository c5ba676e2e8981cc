#include "QtUi.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace
{
QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Stop:
        return QMessageBox::Critical;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QtUi::QtUi(std::function<QString()> programTitle) : programTitle_(std::move(programTitle)) {}

QString QtUi::boxTitle(const QString &title) const
{
    return title.isEmpty() && programTitle_ ? programTitle_() : title;
}

QtUi::Owners QtUi::owners() const
{
    Owners out;
    for (QWidget *w : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        for (; w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
            out << w;
    out << home_;
    return out;
}

QWidget *QtUi::shownOwner(const Owners &owners)
{
    for (const QPointer<QWidget> &w : owners)
        if (w && w->isVisible())
            return w;
    return nullptr;
}

void QtUi::messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      MsgDone done)
{
    QTimer::singleShot(0, this,
                       [this, text, title = boxTitle(title), icon, buttons, done = std::move(done),
                        owners = owners()] { showMessageBox(text, title, icon, buttons, done, owners); });
}

void QtUi::showMessageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                          const MsgDone &done, const Owners &owners)
{
    auto *box = new QMessageBox(qtIcon(icon), title, text, QMessageBox::NoButton, shownOwner(owners));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    if (buttons == MsgButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    } else if (buttons == MsgButtons::OkCancel) {
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Cancel);
        box->setEscapeButton(QMessageBox::Cancel);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
    }
    // The hourglass must not hide the box's buttons.
    const bool wasWaiting = waitCursor_;
    if (wasWaiting)
        setWaitCursor(false);
    connect(box, &QDialog::finished, this, [this, box, buttons, wasWaiting, done] {
        if (wasWaiting)
            setWaitCursor(true);
        MsgResult r = defaultAnswer(buttons);
        const auto clicked = box->standardButton(box->clickedButton());
        if (buttons == MsgButtons::YesNo)
            r = clicked == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
        else if (buttons == MsgButtons::OkCancel)
            r = clicked == QMessageBox::Ok ? MsgResult::Ok : MsgResult::Cancel;
        if (done)
            done(r);
    });
    box->show();
}

void QtUi::passwordBox(const QString &prompt, const QString &title, InputDone done)
{
    textBox(prompt, title, QString(), true, std::move(done));
}

void QtUi::inputBox(const QString &prompt, const QString &title, const QString &def, InputDone done)
{
    textBox(prompt, title, def, false, std::move(done));
}

void QtUi::textBox(const QString &prompt, const QString &title, const QString &def, bool hidden,
                   InputDone done)
{
    auto *dlg = new QInputDialog(shownOwner(owners()));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowModality(Qt::ApplicationModal);
    dlg->setWindowTitle(boxTitle(title));
    dlg->setLabelText(prompt);
    dlg->setTextValue(def);
    dlg->setInputMode(QInputDialog::TextInput);
    if (hidden)
        dlg->setTextEchoMode(QLineEdit::Password);
    connect(dlg, &QDialog::finished, this, [dlg, done](int result) {
        if (done)
            done(result == QDialog::Accepted ? dlg->textValue() : QString());
    });
    dlg->show();
}

void QtUi::beep()
{
    QApplication::beep();
}

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
