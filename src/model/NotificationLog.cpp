#include "NotificationLog.h"

qint64 NotificationLog::add(Event e)
{
    e.id = nextId_++;
    if (e.tank > 0 && e.tankLabel.isEmpty() && label_)
        e.tankLabel = label_(e.tank);
    if (!e.acknowledged)
        ++open_;
    events_.push_back(std::move(e));
    while (events_.size() > size_t(kCapacity)) {
        if (!events_.front().acknowledged)
            --open_;
        events_.pop_front();
    }
    const qint64 id = events_.back().id;
    emit added(id);
    emit changed();
    return id;
}

void NotificationLog::acknowledge(qint64 id)
{
    for (Event &e : events_) {
        if (e.id == id && !e.acknowledged) {
            e.acknowledged = true;
            --open_;
            emit changed();
            return;
        }
    }
}

void NotificationLog::acknowledgeAll()
{
    if (open_ == 0)
        return;
    for (Event &e : events_)
        e.acknowledged = true;
    open_ = 0;
    emit changed();
}

bool NotificationLog::IsProblem(Kind k)
{
    switch (k) {
    case Kind::AlarmEnded:
    case Kind::FaultEnded:
    case Kind::SilentEnded:
    case Kind::LinkBack:
    case Kind::MqttBack:
    case Kind::LossEnded:
        return false;
    default:
        return true;
    }
}
