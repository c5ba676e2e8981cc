#pragma once
#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

// What happened that the user should know about, newest last: alarms,
// faults, silent tanks, the link, e-mail and MQTT. Anything may add to it
// (add); the list window reads and acknowledges. Kept in memory for the run,
// the oldest dropped beyond kCapacity.
class NotificationLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCapacity = 1000;

    enum class Kind {
        AlarmStarted,
        AlarmEnded,
        Fault,
        FaultEnded,
        Silent,
        SilentEnded,
        LinkLost,
        LinkBack,
        EmailFailed,
        MqttProblem,
        MqttBack,
        LossStarted, // the content falls far faster than the tank's own use
        LossEnded,
        Message, // a box the program showed
    };

    struct Event {
        qint64 id = 0; // given by add, unique in the run
        QDateTime time;
        int tank = 0; // 0: no tank
        // The tank as it was called then ("2 Diesel"): tanks deleted or
        // renamed later do not change whom an old entry names.
        QString tankLabel{};
        Kind kind = Kind::Message;
        QString text;
        bool acknowledged = false;
    };

    explicit NotificationLog(QObject *parent = nullptr) : QObject(parent) {}

    // How add() names a tank that an event has no label for.
    void setTankLabel(std::function<QString(int tank)> label) { label_ = std::move(label); }
    // Appends the event (its id and, if missing, its tank label are set
    // here); returns the id.
    qint64 add(Event e);
    void acknowledge(qint64 id);
    void acknowledgeAll();

    const std::deque<Event> &events() const { return events_; }
    int unacknowledged() const { return open_; }
    // Whether the kind reports a problem (as against its end).
    static bool IsProblem(Kind k);

signals:
    void added(qint64 id);
    // Anything changed (an event added, dropped or acknowledged).
    void changed();

private:
    std::function<QString(int)> label_;
    std::deque<Event> events_;
    qint64 nextId_ = 1;
    int open_ = 0;
};
