#pragma once
#include <QHash>
#include <QString>
#include <functional>

// How long a wrong login waits for its 401, per client address: the first
// failure 250 ms, each further one twice as long, at most 30 s; an address
// quiet for 15 minutes starts again from the beginning, a right login too.
// Guessing from one address soon costs half a minute per try, while a user
// who mistyped once hardly notices.
class WebAuthDelay
{
public:
    static constexpr qint64 kFirstMs = 250;
    static constexpr qint64 kMaxMs = 30000;
    static constexpr qint64 kForgetMs = 15 * 60 * 1000;
    static constexpr int kMaxAddresses = 4096; // beyond, the longest quiet ones are forgotten

    // Milliseconds of a steady clock (QElapsedTimer in the program, set by tests).
    using MsClock = std::function<qint64()>;
    explicit WebAuthDelay(MsClock clock);

    // Records a failure of address and returns how long its 401 waits.
    qint64 failed(const QString &address);
    void succeeded(const QString &address);

private:
    struct Entry {
        int failures = 0;
        qint64 last = 0;
    };
    void prune(qint64 now);

    MsClock clock_;
    QHash<QString, Entry> entries_;
};
