#include "CentralNotifier.h"

#include "core/TextHelpers.h"
#include "model/NotificationLog.h"

namespace
{
using Kind = NotificationLog::Kind;

// The list's kind for a change from one condition to another.
Kind kindOf(TankCondition from, TankCondition to)
{
    switch (to) {
    case TankCondition::Alarm:
        return Kind::AlarmStarted;
    case TankCondition::Fault:
        return Kind::Fault;
    case TankCondition::Silent:
        return Kind::Silent;
    case TankCondition::Loss:
        return Kind::LossStarted;
    default:
        break;
    }
    switch (from) {
    case TankCondition::Alarm:
        return Kind::AlarmEnded;
    case TankCondition::Fault:
        return Kind::FaultEnded;
    case TankCondition::Silent:
        return Kind::SilentEnded;
    case TankCondition::Loss:
        return Kind::LossEnded;
    default:
        return Kind::Message;
    }
}
} // namespace

CentralNotifier::CentralNotifier(NotificationLog &log, MailFn mail, const Texts &texts, ClockFn clock,
                                 int digestMs, QObject *parent)
    : QObject(parent), log_(log), mail_(std::move(mail)), texts_(texts), clock_(std::move(clock))
{
    timer_.setSingleShot(true);
    timer_.setInterval(digestMs);
    connect(&timer_, &QTimer::timeout, this, &CentralNotifier::flush);
}

void CentralNotifier::tankChanged(const TankSnapshotPtr &before, const TankSnapshotPtr &after)
{
    const TankCondition from = before ? before->status.condition : TankCondition::Ok;
    const TankCondition to = after->status.condition;
    if (from == to)
        return;
    const QString words = TankStateWords(after->status, texts_);
    NotificationLog::Event e;
    e.time = clock_();
    e.tankLabel = after->site + QStringLiteral(": ") + after->label;
    e.kind = kindOf(from, to);
    const QString note = TankStateNote(after->status, texts_);
    e.text = note.isEmpty() ? words : note;
    log_.add(e);
    gather(after->site, e.tankLabel + QStringLiteral(" – ") + words);
}

void CentralNotifier::siteChanged(const QString &site, bool online)
{
    NotificationLog::Event e;
    e.time = clock_();
    e.tankLabel = site;
    e.kind = online ? Kind::LinkBack : Kind::LinkLost;
    e.text = FormatText(texts_(online ? 1408 : 1407), {site});
    log_.add(e);
    gather(site, e.text);
}

void CentralNotifier::gather(const QString &site, const QString &line)
{
    lines_ << clock_().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral("  ") + line;
    if (!sites_.contains(site))
        sites_ << site;
    if (!timer_.isActive())
        timer_.start();
}

void CentralNotifier::flush()
{
    timer_.stop();
    if (lines_.isEmpty())
        return;
    QString subject;
    if (lines_.size() == 1) {
        subject = QStringLiteral("Tankmon ") + lines_.first().mid(18);
    } else {
        QStringList named = sites_.mid(0, 3);
        if (sites_.size() > 3)
            named << QStringLiteral("…");
        subject = QStringLiteral("Tankmon ") + FormatText(texts_(1409), {QString::number(lines_.size()),
                                                                         named.join(QStringLiteral(", "))});
    }
    const QString body = lines_.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    lines_.clear();
    sites_.clear();
    if (mail_)
        mail_(subject, body);
}
