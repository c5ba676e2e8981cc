#include "EmailDialogLogic.h"

#include "MessageText.h"

#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QLocale>
#include <QPointer>
#include <algorithm>

namespace
{
// The display texts of a list, line by line, beside the fixed item values.
QList<EmailDialogLogic::ListEntry> entries(const QStringList &lines, const QList<int> &values)
{
    QList<EmailDialogLogic::ListEntry> out;
    for (int i = 0; i < values.size(); ++i)
        out.append({lines.value(i), values[i]});
    return out;
}
} // namespace

EmailDialogLogic::EmailDialogLogic(EmailSettings &settings, TestMailFns testMail, UiServices &ui,
                                   const Texts &texts, const DeviceTable &devices, QObject *parent)
    : QObject(parent), settings_(settings), testMail_(std::move(testMail)), ui_(ui), texts_(texts),
      devices_(devices)
{
}

QList<EmailDialogLogic::ListEntry> EmailDialogLogic::SchwelleList() const
{
    return entries(texts_.lines(142), EmailSettings::SchwelleItems());
}

QList<EmailDialogLogic::ListEntry> EmailDialogLogic::Abstand1List() const
{
    return entries(texts_.lines(143), EmailSettings::Abstand1Items());
}

QList<EmailDialogLogic::ListEntry> EmailDialogLogic::Abstand2List() const
{
    return entries(texts_.lines(141), EmailSettings::Abstand2Items());
}

void EmailDialogLogic::Load()
{
    // Every opening starts from what is stored.
    settings_.unload();
    values = settings_.values();
    tankTexts.clear();
    for (int n = 1; n <= devices_.DeviceCount; ++n) {
        // The name the user gave, with number and serial number to tell tanks apart.
        const QString name = devices_[n].Tankbezeichnung.trimmed();
        tankTexts << (name.isEmpty() ? QStringLiteral("%1 / SN%2").arg(n).arg(devices_[n].SN)
                                     : QStringLiteral("%1: %2 / SN%3")
                                           .arg(QString::number(n), name, QString::number(devices_[n].SN)));
    }
    currentTank_ = tankTexts.isEmpty() ? -1 : 0;
    locked_ = !settings_.lockPassword().isEmpty();
    subjectEditing_ = false;
    refreshSubject();
    emit fieldsChanged();
    emit enablingChanged();
}

void EmailDialogLogic::setCurrentTank(int position)
{
    currentTank_ = position >= 0 && position < tankTexts.size() ? position : -1;
    if (!subjectEditing_)
        refreshSubject();
}

void EmailDialogLogic::refreshSubject()
{
    const int mode = subjectEditing_ ? SubjectToPlaceholders : SubjectToValues;
    subjectText_ =
        ExpandSubject(currentTank_ + 1, values.betreff, mode, devices_, values.customer, QLocale(), texts_);
    emit subjectChanged();
}

QString EmailDialogLogic::subjectPreview(const QString &typed) const
{
    const QString codes =
        ExpandSubject(currentTank_ + 1, typed, SubjectToCodes, devices_, values.customer, QLocale(), texts_);
    return ExpandSubject(currentTank_ + 1, codes, SubjectToValues, devices_, values.customer, QLocale(),
                         texts_);
}

void EmailDialogLogic::subjectFocusIn()
{
    subjectEditing_ = true;
    refreshSubject();
}

void EmailDialogLogic::subjectFocusOut(const QString &typed)
{
    values.betreff =
        ExpandSubject(currentTank_ + 1, typed, SubjectToCodes, devices_, values.customer, QLocale(), texts_);
    subjectEditing_ = false;
    refreshSubject();
}

void EmailDialogLogic::setLogin(bool on)
{
    values.server.login = on;
    emit enablingChanged();
}

void EmailDialogLogic::setLocked(bool locked)
{
    locked_ = locked;
    emit enablingChanged();
}

bool EmailDialogLogic::unlockAccepted(const QString &answer) const
{
    if (answer.isEmpty())
        return false;
    if (answer == settings_.lockPassword())
        return true;
    // The service code: the serial number of tank 1 read backwards. Without
    // a registered tank there is none.
    if (devices_.DeviceCount < 1)
        return false;
    QString code = QString::number(devices_[1].SN);
    std::reverse(code.begin(), code.end());
    return answer == code;
}

void EmailDialogLogic::cmdSchloss()
{
    QPointer<EmailDialogLogic> self(this);
    if (!locked_) {
        ui_.passwordBox(texts_(83), texts_(84), [self](const QString &answer) {
            if (!self)
                return;
            if (answer.isEmpty()) {
                self->ui_.beep();
                return;
            }
            self->settings_.setLockPassword(answer);
            self->setLocked(true);
        });
        return;
    }
    ui_.passwordBox(texts_(85), texts_(86), [self](const QString &answer) {
        if (!self)
            return;
        if (!self->unlockAccepted(answer)) {
            self->ui_.beep();
            return;
        }
        // Unlocking removes the lock for good.
        self->settings_.setLockPassword(QString());
        self->setLocked(false);
    });
}

void EmailDialogLogic::Ok()
{
    // Locked, nothing could be edited: OK saves the values as they are.
    const QString problem = locked_ ? QString() : EmailSettings::AddressProblem(values, texts_);
    if (!problem.isEmpty()) {
        ui_.messageBox(problem, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    settings_.save(values);
    // The status bar tells at once whether e-mails are on.
    ui_.setPanelText(2, values.aktiv ? texts_(276) : texts_(257));
    emit closeRequested();
}

void EmailDialogLogic::Cancel()
{
    emit closeRequested();
}

void EmailDialogLogic::cmdTest()
{
    if (testMail_.busy()) {
        ui_.messageBox(texts_(122), QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    // Without a server, sender or recipient nothing can go out: said before asking.
    QStringList missing;
    const auto field = [](const QString &caption) {
        QString c = caption.trimmed();
        while (c.endsWith(QLatin1Char(':')))
            c.chop(1);
        return c.trimmed();
    };
    if (values.server.host.trimmed().isEmpty())
        missing << QStringLiteral("SMTP-Server");
    if (values.server.sender.trimmed().isEmpty())
        missing << field(texts_(154));
    if (values.empfaenger[0].trimmed().isEmpty() && values.empfaenger[1].trimmed().isEmpty())
        missing << field(texts_(153));
    if (!missing.isEmpty()) {
        ui_.messageBox(FormatText(texts_(917), {missing.join(QStringLiteral(", "))}), QString(),
                       MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    QPointer<EmailDialogLogic> self(this);
    ui_.messageBox(texts_(82), QString(), MsgIcon::Question, MsgButtons::OkCancel, [self](MsgResult r) {
        if (!self || r != MsgResult::Ok)
            return;
        if (self->testMail_.busy()) { // a notification went out while the question was open
            self->ui_.messageBox(self->texts_(122), QString(), MsgIcon::Exclamation, MsgButtons::Ok);
            return;
        }
        self->testMail_.send(self->currentTank_ + 1, self->values);
    });
}
