#pragma once
#include "EmailSettings.h"
#include "MessageText.h"
#include "SmtpSender.h"

#include "core/Clock.h"
#include "model/DeviceRecord.h"
#include "model/Hooks.h"

#include <QObject>
#include <functional>

class Settings;
class UiServices;

// The notification e-mails: after each evaluated telegram (server mode)
// EvalEmail decides whether a message is due for the tank, SendEmail
// composes it and hands it to the mail server for each recipient.
//
// The rule state of every tank lives in section "E-Mail" of the settings, so
// it survives a restart. The exchange with the mail server runs off the
// event loop (SmtpSender); the busy flag stays set until it has ended, and
// whatever the rules do after a message (storing the reported levels, the
// further steps of the same evaluation) runs then, so the rules see the
// outcome of the message ("LetzteEmail") as if it had been sent at once.
// Telegrams evaluated meanwhile make no e-mail decision.
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
    EmailNotifier(DeviceTable &devices, EmailSettings &values, Settings &settings, UiServices &ui,
                  ClockFn clock, HistoryHooks &history, MailFn mail, std::function<MessageContext()> message,
                  std::function<bool()> simulationRunning, QObject *parent = nullptr);

    void EvalEmail(int tank, bool alarmChanged) override;
    void UnloadForm() override { values_.unload(); }

    // A message is being composed or sent.
    bool busy() const { return busy_; }

    // The dialog's test button: a manual message (reason 0) for the tank with
    // the values the dialog shows, sent even with the e-mail function off;
    // then the reported levels are stored. False (nothing done) while busy.
    bool SendTestEmail(int tank, const EmailValues &shown);

    // Stores the fill percentage of every tank as its last reported level.
    void SaveMelderasterLast();

    // Composes the message for the tank and reason and sends it to each
    // recipient in turn. False when it finished at once (not due: function
    // off or tank not taking part, unless manual; or no recipient): then
    // done is not called. True: done runs when the last exchange has ended.
    bool SendEmail(int tank, int reason, bool manual, std::function<void()> done,
                   const EmailValues *shown = nullptr);

    // A message the rules decided on for the tank (sent as SendEmail
    // decides); then the reported levels are stored and then runs, at once
    // when nothing was sent, else when the exchange has ended.
    void SendRuleEmail(int tank, int reason, std::function<void()> then);

signals:
    void busyChanged(bool busy);

private:
    struct Job;
    void levelRules(int tank);
    void openCase(int tank, double p);
    void levelReports(int tank, double p);
    void sendThen(int tank, int reason, std::function<void()> then);
    void sendNext(std::shared_ptr<Job> job);
    void finish(const std::shared_ptr<Job> &job);
    void setBusy(bool on);
    double percent(int tank) const;
    bool takesPart(int tank, const EmailValues &v);

    DeviceTable &devices_;
    EmailSettings &values_;
    Settings &settings_;
    UiServices &ui_;
    ClockFn clock_;
    HistoryHooks &history_;
    MailFn mail_;
    std::function<MessageContext()> message_;
    std::function<bool()> simulationRunning_;
    bool busy_ = false;
};
