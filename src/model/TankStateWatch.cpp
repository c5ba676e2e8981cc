#include "TankStateWatch.h"

#include "TankController.h"

using Kind = NotificationLog::Kind;

TankStateWatch::TankStateWatch(const TankController &tanks, RulesFn rules, ClockFn clock,
                               NotificationLog &log, const Texts &texts, QObject *parent)
    : QObject(parent), tanks_(tanks), rules_(std::move(rules)), clock_(std::move(clock)), log_(log),
      texts_(texts)
{
    timer_.setInterval(60 * 1000);
    connect(&timer_, &QTimer::timeout, this, &TankStateWatch::updateAll);
    // Removed tanks move: what was known of a number no longer holds.
    connect(&tanks_, &TankController::tableReset, this, [this] {
        forgetAll();
        updateAll();
    });
}

void TankStateWatch::start()
{
    timer_.start();
}

void TankStateWatch::forgetAll()
{
    known_.fill(false);
    status_.fill(TankStatus{});
}

TankStatus TankStateWatch::status(int n) const
{
    if (n < 1 || n > tanks_.DeviceCount())
        return {};
    return status_[size_t(n)];
}

void TankStateWatch::updateAll()
{
    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        update(n);
}

void TankStateWatch::update(int n)
{
    if (n < 1 || n > tanks_.DeviceCount())
        return;
    TankReading reading = TankReadingOf(tanks_.device(n));
    reading.loss = loss_ && loss_(n);
    const TankStatus now = TankState(reading, rules_(n), clock_());
    const TankStatus before = status_[size_t(n)];
    const bool first = !known_[size_t(n)];
    known_[size_t(n)] = true;
    status_[size_t(n)] = now;
    if (!first && !(before == now))
        note(n, before, now);
    // A tank that starts in a bad state (loaded so, or first seen so) is
    // worth a line as well, except what is merely low.
    if (first && (now.condition == TankCondition::Alarm || now.condition == TankCondition::Fault ||
                  now.condition == TankCondition::Silent))
        note(n, TankStatus{}, now);
    if (first || !(before == now))
        emit statusChanged(n);
}

void TankStateWatch::note(int n, const TankStatus &before, const TankStatus &now)
{
    const DeviceRecord &r = tanks_.device(n);
    auto add = [&](Kind kind, const QString &text) {
        NotificationLog::Event e;
        e.time = clock_();
        e.tank = n;
        e.kind = kind;
        e.text = text;
        log_.add(std::move(e));
    };
    const TankCondition was = before.condition;
    const TankCondition is = now.condition;
    if (was == is && is != TankCondition::Fault)
        return; // only the hours of a silence grew, or the threshold moved
    if (is == TankCondition::Alarm)
        // What the alarm box says.
        add(Kind::AlarmStarted,
            texts_(271) + QString::number(n) + QStringLiteral(" / SN") + QString::number(r.SN));
    else if (was == TankCondition::Alarm)
        add(Kind::AlarmEnded, texts_(812));
    if (is == TankCondition::Silent)
        add(Kind::Silent, TankStateNote(now, texts_));
    else if (was == TankCondition::Silent)
        add(Kind::SilentEnded, texts_(814));
    if (is == TankCondition::Fault && (was != TankCondition::Fault || before.errorCode != now.errorCode))
        add(Kind::Fault, TankStateNote(now, texts_));
    else if (was == TankCondition::Fault && is != TankCondition::Fault && r.Volumen >= 0)
        add(Kind::FaultEnded, texts_(813));
}
