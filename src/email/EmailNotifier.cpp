#include "EmailNotifier.h"

#include "core/Catalogue.h"
#include "core/DateText.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"
#include "model/TankSnapshot.h"

#include <algorithm>

#include <cmath>

namespace
{
// The shortest text that reads back as the same double: a percentage stored
// with fewer digits would differ from the next equal reading (1000 of 3000 L
// is 33.333333333333336 %), which then counts as a rise.
QString number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
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
    int next = 0;
    bool stampsLastEmail = true;
};

EmailNotifier::EmailNotifier(const DeviceTable &devices, EmailSettings &values, Settings &settings,
                             UiServices &ui, const Texts &texts, ClockFn clock, HistoryHooks &history,
                             MailFn mail, std::function<MessageContext()> message,
                             std::function<bool()> simulationRunning, QObject *parent)
    : QObject(parent), devices_(devices), values_(values), settings_(settings), ui_(ui), texts_(texts),
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

void EmailNotifier::SendRuleEmail(int tank, int reason)
{
    SendEmail(tank, reason, false);
    SaveMelderasterLast();
}

void EmailNotifier::SendLossEmail(int tank, int reason)
{
    SendEmail(tank, reason, false, nullptr, {}, false);
}

RuleValues EmailNotifier::ruleValues(int tank)
{
    using namespace Cfg::Email;
    const EmailValues &v = values_.values();
    RuleValues r;
    r.alarmmode = v.alarmmode;
    r.schwelle2 = v.schwelle2;
    r.abstand1 = v.abstand1;
    r.abstand2 = v.abstand2;
    r.melderaster = RuleNumber(v.melderaster, Melderaster.defaultText().toDouble(), true);
    // As written, fractions too: what --set accepts (a number above 0) is used as it is.
    r.deltaMinutenBetankung = RuleNumber(settings_.read(DeltaMinutenBetankung),
                                         DeltaMinutenBetankung.defaultText().toDouble(), true);
    r.simulation = simulationRunning_ && simulationRunning_();
    const bool recipient = !v.empfaenger[0].isEmpty() || !v.empfaenger[1].isEmpty();
    r.mailsGoOut = v.aktiv && takesPart(tank, v) && recipient;
    return r;
}

TankRuleState EmailNotifier::readState(int n, const QDateTime &now)
{
    using namespace Cfg::Email;
    // A value that is no number counts as its default (a minimum of 0 read
    // from "x" would open a refuelling case on the next telegram).
    auto num = [this, n](const IniKeyN &key, bool positiveOnly) {
        const IniKey k = key.at(n);
        return RuleNumber(settings_.read(k), k.defaultText().toDouble(), positiveOnly);
    };
    TankRuleState s;
    s.minProzent = num(MinProzent, false);
    const QString minVolumen = settings_.read(MinVolumen.at(n));
    if (!minVolumen.isEmpty())
        s.minVolumen = qint32(ToLongOrZero(minVolumen));
    s.deltaProzentBetankung = num(DeltaProzentBetankung, true);
    s.betankungsfall = settings_.readInt(Betankungsfall.at(n)) == 1;
    s.betankungEnde = parsedOrZero(settings_.read(BetankungEnde.at(n)), now);
    s.betankungMax = num(BetankungMax, false);
    s.melderasterLast = num(MelderasterLast, false);
    s.letzteEmail = parsedOrZero(settings_.read(LetzteEmail), now);
    if (busy() && lastQueued_.isValid() && lastQueued_ > s.letzteEmail)
        s.letzteEmail = lastQueued_;
    return s;
}

void EmailNotifier::writeState(int n, const RuleOutcome &out)
{
    using namespace Cfg::Email;
    const TankRuleState &s = out.state;
    if (!out.written)
        return;
    Settings::Batch batch(settings_);
    if (out.written & TankRuleState::MinProzentField)
        settings_.write(MinProzent.at(n), number(s.minProzent));
    if ((out.written & TankRuleState::MinVolumenField) && s.minVolumen)
        settings_.write(MinVolumen.at(n), *s.minVolumen);
    if (out.written & TankRuleState::BetankungsfallField)
        settings_.write(Betankungsfall.at(n), s.betankungsfall ? 1 : 0);
    if (out.written & TankRuleState::BetankungEndeField)
        settings_.write(BetankungEnde.at(n), FormatDateText(s.betankungEnde));
    if (out.written & TankRuleState::BetankungMaxField)
        settings_.write(BetankungMax.at(n), number(s.betankungMax));
}

void EmailNotifier::EvalEmail(int tank, bool alarmChanged)
{
    if (tank < 1 || tank > devices_.DeviceCount)
        return;
    const DeviceRecord &rec = devices_[tank];
    const QDateTime now = clock_();
    const RuleReading reading{rec.Alarm, alarmChanged, rec.Volumen, percent(tank), rec.Uhrzeit};
    const RuleOutcome out = EvaluateEmailRules(readState(tank, now), reading, ruleValues(tank), now);
    writeState(tank, out);
    for (const RuleMessage &m : out.messages) {
        // The history line and the message may report another content (the
        // minimum before a refuelling); the device table keeps its own.
        ReportedLevel reported;
        if (m.reportedVolumen)
            reported = {tank, *m.reportedVolumen};
        if (m.snapshot)
            history_.AppendHistorySnapshot(now, reported);
        SendEmail(tank, m.reason, false, nullptr, reported);
    }
    if (out.storeReportedLevels)
        SaveMelderasterLast();
}

bool EmailNotifier::takesPart(int tank, const EmailValues &v)
{
    if (tank >= 1 && tank <= v.tanks.size())
        return v.tanks[tank - 1];
    return values_.tankSelected(tank);
}

void EmailNotifier::setBusy(bool on)
{
    if (busyShown_ == on)
        return;
    busyShown_ = on;
    ui_.setWaitCursor(on);
    emit busyChanged(on);
}

bool EmailNotifier::SendTestEmail(int tank, const EmailValues &shown)
{
    if (busy())
        return false;
    SendEmail(tank, ReasonManual, true, &shown);
    SaveMelderasterLast();
    return true;
}

bool EmailNotifier::SendEmail(int tank, int reason, bool manual, const EmailValues *shown,
                              const ReportedLevel &reported, bool stampsLastEmail)
{
    const EmailValues &v = shown ? *shown : values_.values();
    if (!manual && (!v.aktiv || !takesPart(tank, v)))
        return false;

    MessageContext ctx = message_();
    ctx.texts = texts_;
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
    if (job->recipients.isEmpty())
        return false;
    // A hand-edited address that would put more into the envelope than one
    // address is refused before anything goes out, naming the field.
    const QString problem = EmailSettings::AddressProblem(v, texts_);
    if (!problem.isEmpty()) {
        ui_.messageBox(texts_(121) + QStringLiteral("9999 ") + problem, QString(), MsgIcon::Stop,
                       MsgButtons::Ok);
        return false;
    }
    // The figures as of now, in a table of the message's own.
    DeviceTable figures;
    figures.DeviceCount = devices_.DeviceCount;
    for (int k = 1; k <= std::min(devices_.DeviceCount, kMaxDevices); ++k)
        figures[k] = FiguresOf(devices_[k]);
    if (reported.tank >= 1 && reported.tank <= kMaxDevices)
        figures[reported.tank].Volumen = reported.volumen;
    job->subject = EmailSubject(tank, reason, v.betreff, figures, ctx);
    job->body = EmailBody(tank, reason, figures, listed, ctx);
    job->stampsLastEmail = stampsLastEmail;
    queue_.push_back(job);
    if (stampsLastEmail)
        lastQueued_ = ctx.now;
    setBusy(true);
    if (!sending_)
        sendNext();
    return true;
}

void EmailNotifier::sendNext()
{
    if (!current_) {
        if (queue_.empty()) {
            finish();
            return;
        }
        current_ = queue_.front();
        queue_.pop_front();
        ui_.status(NoticeTopic::Mail, texts_(119));
    }
    const std::shared_ptr<Job> job = current_;
    if (job->next >= job->recipients.size()) {
        current_.reset();
        sendNext();
        return;
    }
    sending_ = true;
    const QString to = job->recipients[job->next++];
    mail_(job->server, to, job->subject, job->body, [this, job](const SmtpResult &r) {
        sending_ = false;
        if (!r.sent) {
            // The remaining recipient of this message is not tried.
            ui_.status(NoticeTopic::Mail, QString());
            const QString error = texts_(121) + QStringLiteral("9999 ") + SMTP_GetError(r);
            ui_.messageBox(error, QString(), MsgIcon::Stop, MsgButtons::Ok);
            current_.reset();
            emit mailResult(false, error);
        } else {
            const QDateTime now = clock_();
            ui_.status(NoticeTopic::Mail, texts_(120) + MeasurementTimeText(now, job->locale));
            if (job->stampsLastEmail)
                settings_.write(Cfg::Email::LetzteEmail, FormatDateText(now));
            emit mailResult(true, QString());
        }
        sendNext();
    });
}

void EmailNotifier::finish()
{
    lastQueued_ = QDateTime();
    setBusy(false);
}
