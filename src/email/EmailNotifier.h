#pragma once
#include "EmailRules.h"
#include "EmailSettings.h"
#include "MessageText.h"
#include "SmtpSender.h"

#include "core/Clock.h"
#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QObject>
#include <deque>
#include <functional>
#include <memory>

class Settings;
class UiServices;
class Texts;

// The notification e-mails: after each evaluated telegram (server mode)
// EvalEmail runs the rules (EvaluateEmailRules) over the tank's state in
// section "E-Mail", stores the new state and composes the messages the rules
// decided on at once; they go out one after another, in order, each to every
// recipient in turn (SmtpSender, off the event loop). A telegram evaluated
// while messages are out is evaluated all the same: no alarm, refuelling or
// level event is lost. While messages wait, the rules take "LetzteEmail" as
// the time of the last one queued, as if it had gone out at once.
class EmailNotifier : public QObject, public EmailHooks
{
    Q_OBJECT
public:
    // Delivers one message to one recipient; done comes later from the event loop.
    using MailFn = std::function<void(const SmtpServer &server, const QString &recipient,
                                      const QString &subject, const QString &body, SmtpSender::Done done)>;

    // message: the version line, partner branding and locale of a message,
    // asked for each one (its time is taken from the clock).
    // simulationRunning: a refuelling then ends after 1 minute without a rise.
    EmailNotifier(const DeviceTable &devices, EmailSettings &values, Settings &settings, UiServices &ui,
                  const Texts &texts, ClockFn clock, HistoryHooks &history, MailFn mail,
                  std::function<MessageContext()> message, std::function<bool()> simulationRunning,
                  QObject *parent = nullptr);

    void EvalEmail(int tank, bool alarmChanged) override;
    void UnloadForm() override { values_.unload(); }

    // Messages are waiting or on their way.
    bool busy() const { return sending_ || !queue_.empty(); }

    // The dialog's test button: a manual message (reason 0) for the tank with
    // the values the dialog shows, sent even with the e-mail function off;
    // then the reported levels are stored. False (nothing done) while busy.
    bool SendTestEmail(int tank, const EmailValues &shown);

    // Stores the fill percentage of every tank as its last reported level.
    void SaveMelderasterLast();

    // Composes the message for the tank and reason now and queues it for
    // every recipient. False when nothing was queued: not due (function off
    // or tank not taking part, unless manual), no recipient, or an address
    // that cannot be used (said in a message box, naming the field).
    // reported: the tank's content as the message reports it (a refuelling's minimum).
    // stampsLastEmail: a message that went out becomes "LetzteEmail" (false
    // for the loss mails, which stand apart from the rules).
    bool SendEmail(int tank, int reason, bool manual, const EmailValues *shown = nullptr,
                   const ReportedLevel &reported = {}, bool stampsLastEmail = true);

    // A message of a rule other than EvalEmail's (a silent tank): sent as
    // SendEmail decides, then the reported levels are stored.
    void SendRuleEmail(int tank, int reason);
    // A loss message (reason ReasonLoss or ReasonLossEnd): sent as SendEmail
    // decides, and it changes none of the rules' state: neither "LetzteEmail"
    // nor the reported levels, so the other reports keep their raster.
    void SendLossEmail(int tank, int reason);

    // The rule values of the settings in force for the tank.
    RuleValues ruleValues(int tank);

signals:
    void busyChanged(bool busy);
    // One message to one recipient went out (sent) or failed (error: what the box says).
    void mailResult(bool sent, const QString &error);

private:
    struct Job;
    TankRuleState readState(int tank, const QDateTime &now);
    void writeState(int tank, const RuleOutcome &out);
    void sendNext();
    void finish();
    void setBusy(bool on);
    double percent(int tank) const;
    bool takesPart(int tank, const EmailValues &v);

    const DeviceTable &devices_;
    EmailSettings &values_;
    Settings &settings_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
    HistoryHooks &history_;
    MailFn mail_;
    std::function<MessageContext()> message_;
    std::function<bool()> simulationRunning_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::shared_ptr<Job> current_;
    bool sending_ = false;
    bool busyShown_ = false;
    QDateTime lastQueued_; // the time of the last message queued, while any waits
};
