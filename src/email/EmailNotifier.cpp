#include "EmailNotifier.h"

#include "core/Catalogue.h"
#include "core/DateText.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"

#include <cmath>

namespace
{
QString number(double v)
{
    return QString::number(v, 'g', 15);
}

QDateTime parsedOrZero(const QString &text, const QDateTime &now)
{
    const QDateTime t = ParseDateTimeText(text, now);
    return t.isValid() ? t : ZeroDateTime();
}
} // namespace

// One composed message on its way to the recipients.
struct EmailNotifier::Job {
    SmtpServer server;
    QStringList recipients;
    QString subject, body;
    QLocale locale;
    std::function<void()> done;
    int next = 0;
};

EmailNotifier::EmailNotifier(DeviceTable &devices, EmailSettings &values, Settings &settings, UiServices &ui,
                             ClockFn clock, HistoryHooks &history, MailFn mail,
                             std::function<MessageContext()> message, std::function<bool()> simulationRunning,
                             QObject *parent)
    : QObject(parent), devices_(devices), values_(values), settings_(settings), ui_(ui),
      clock_(std::move(clock)), history_(history), mail_(std::move(mail)), message_(std::move(message)),
      simulationRunning_(std::move(simulationRunning))
{
}

double EmailNotifier::percent(int tank) const
{
    return FillFraction(devices_[tank]) * 100;
}

void EmailNotifier::SaveMelderasterLast()
{
    Settings::Batch batch(settings_);
    for (int n = 1; n <= devices_.DeviceCount; ++n)
        settings_.write(Cfg::Email::MelderasterLast.at(n), number(percent(n)));
}

void EmailNotifier::sendThen(int tank, int reason, std::function<void()> then)
{
    if (!SendEmail(tank, reason, false, then))
        then();
}

void EmailNotifier::SendRuleEmail(int tank, int reason, std::function<void()> then)
{
    sendThen(tank, reason, [this, then = std::move(then)] {
        SaveMelderasterLast();
        if (then)
            then();
    });
}

void EmailNotifier::EvalEmail(int tank, bool alarmChanged)
{
    if (busy_ || tank < 1 || tank > devices_.DeviceCount)
        return;
    if (alarmChanged) {
        const int mode = values_.values().alarmmode;
        const bool alarm = devices_[tank].Alarm;
        const int reason = alarm && mode >= 1 ? ReasonAlarmStart : !alarm && mode >= 2 ? ReasonAlarmEnd : 0;
        auto rest = [this, tank] {
            SaveMelderasterLast();
            if (tank <= devices_.DeviceCount)
                levelRules(tank);
        };
        if (reason)
            sendThen(tank, reason, rest);
        else
            rest();
        return;
    }
    levelRules(tank);
}

void EmailNotifier::levelRules(int n)
{
    using namespace Cfg::Email;
    DeviceRecord &rec = devices_[n];
    if (rec.Volumen < 0 || IsMeasurementStale(rec.Uhrzeit, clock_()))
        return;
    const double p = percent(n);

    // The running minimum since the last refuelling.
    const double m = ParseNumber(settings_.read(MinProzent.at(n)));
    if (p < m) {
        Settings::Batch batch(settings_);
        settings_.write(MinProzent.at(n), number(p));
        settings_.write(MinVolumen.at(n), rec.Volumen);
    }

    // A rise of more than the delta above the minimum opens a refuelling case.
    const double d = ParseNumber(settings_.read(DeltaProzentBetankung.at(n)));
    if (p > m + d && settings_.readInt(Betankungsfall.at(n)) != 1) {
        {
            Settings::Batch batch(settings_);
            settings_.write(Betankungsfall.at(n), 1);
            settings_.write(BetankungEnde.at(n), FormatDateText(clock_()));
            settings_.write(BetankungMax.at(n), number(p));
        }
        // The snapshot and the message report the minimum before the refuelling.
        const qint32 content = rec.Volumen;
        const QString minVolumen = settings_.read(MinVolumen.at(n));
        if (!minVolumen.isEmpty())
            rec.Volumen = qint32(ToLongOrZero(minVolumen));
        history_.AppendHistorySnapshot(clock_());
        auto rest = [this, n, p] {
            SaveMelderasterLast();
            if (n <= devices_.DeviceCount)
                openCase(n, p);
        };
        const bool later = SendEmail(n, ReasonRefuelStart, false, rest);
        rec.Volumen = content;
        if (!later)
            rest();
        return;
    }
    openCase(n, p);
}

void EmailNotifier::openCase(int n, double p)
{
    using namespace Cfg::Email;
    if (settings_.readInt(Betankungsfall.at(n)) != 1) {
        levelReports(n, p);
        return;
    }
    const QDateTime now = clock_();
    const double x = ParseNumber(settings_.read(BetankungMax.at(n)));
    if (x < p) { // still rising
        Settings::Batch batch(settings_);
        settings_.write(BetankungEnde.at(n), FormatDateText(now));
        settings_.write(BetankungMax.at(n), number(p));
        return;
    }
    const qint64 k =
        simulationRunning_ && simulationRunning_() ? 1 : settings_.readInt(DeltaMinutenBetankung);
    const QDateTime e = parsedOrZero(settings_.read(BetankungEnde.at(n)), now);
    if (e.addSecs(k * 60) > now)
        return;
    {
        Settings::Batch batch(settings_);
        settings_.write(Betankungsfall.at(n), 0);
        settings_.write(BetankungEnde.at(n), FormatDateText(now));
        settings_.write(BetankungMax.at(n), number(p));
        settings_.write(MinProzent.at(n), 100);
    }
    history_.AppendHistorySnapshot(now);
    SendRuleEmail(n, ReasonRefuelEnd, {});
}

void EmailNotifier::levelReports(int n, double p)
{
    using namespace Cfg::Email;
    const EmailValues &v = values_.values();
    const int t = v.schwelle2;
    const qint64 h = p >= t ? v.abstand1 : v.abstand2;
    const QDateTime now = clock_();
    const double q = ParseNumber(settings_.read(MelderasterLast.at(n)));
    const QDateTime l = parsedOrZero(settings_.read(LetzteEmail), now);
    const double r = ParseNumber(v.melderaster);

    const bool crossed = q >= t && p < t;
    const bool moved = r <= std::abs(q - p);
    const bool due = l.msecsTo(now) >= h * 3600000;
    if (!crossed && !moved && !due)
        return;
    SendRuleEmail(n, p >= t ? ReasonCyclic : ReasonLevelLow, {});
}

bool EmailNotifier::takesPart(int tank, const EmailValues &v)
{
    if (tank >= 1 && tank <= v.tanks.size())
        return v.tanks[tank - 1];
    return values_.tankSelected(tank);
}

void EmailNotifier::setBusy(bool on)
{
    if (busy_ == on)
        return;
    busy_ = on;
    ui_.setWaitCursor(on);
    emit busyChanged(on);
}

bool EmailNotifier::SendTestEmail(int tank, const EmailValues &shown)
{
    if (busy_)
        return false;
    if (!SendEmail(
            tank, ReasonManual, true, [this] { SaveMelderasterLast(); }, &shown))
        SaveMelderasterLast();
    return true;
}

bool EmailNotifier::SendEmail(int tank, int reason, bool manual, std::function<void()> done,
                              const EmailValues *shown)
{
    const EmailValues &v = shown ? *shown : values_.values();
    if (!manual && (!v.aktiv || !takesPart(tank, v)))
        return false;
    setBusy(true);
    ui_.setPanelText(1, LngText(119));

    MessageContext ctx = message_();
    ctx.customer = v.customer;
    ctx.now = clock_();
    QList<bool> listed;
    for (int k = 1; k <= devices_.DeviceCount; ++k)
        listed << takesPart(k, v);

    auto job = std::make_shared<Job>();
    job->server = v.server;
    job->locale = ctx.locale;
    for (const QString &to : v.empfaenger)
        if (!to.isEmpty())
            job->recipients << to;
    job->subject = EmailSubject(tank, reason, v.betreff, devices_, ctx);
    job->body = EmailBody(tank, reason, devices_, listed, ctx);
    job->done = std::move(done);
    if (job->recipients.isEmpty()) {
        setBusy(false);
        return false;
    }
    sendNext(job);
    return true;
}

void EmailNotifier::sendNext(std::shared_ptr<Job> job)
{
    if (job->next >= job->recipients.size()) {
        finish(job);
        return;
    }
    const QString to = job->recipients[job->next++];
    mail_(job->server, to, job->subject, job->body, [this, job](const SmtpResult &r) {
        if (!r.sent) {
            // The remaining recipient is not tried.
            setBusy(false);
            ui_.setPanelText(1, QString());
            ui_.messageBox(LngText(121) + QStringLiteral("9999 ") + SMTP_GetError(r), QString(),
                           MsgIcon::Stop, MsgButtons::Ok);
            finish(job);
            return;
        }
        const QDateTime now = clock_();
        ui_.setPanelText(1, LngText(120) + MeasurementTimeText(now, job->locale));
        settings_.write(Cfg::Email::LetzteEmail, FormatDateText(now));
        sendNext(job);
    });
}

void EmailNotifier::finish(const std::shared_ptr<Job> &job)
{
    setBusy(false);
    if (job->done)
        job->done();
}
