#pragma once
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <functional>

// Checks HTTP Basic credentials against the stored password hash without
// holding up the event loop: the key derivation (a noticeable fraction of a
// second by design) runs on worker threads, at most kMaxRunning at once and
// one per client address, and a busy checker refuses at once instead of
// queueing, so a client sending wrong passwords never delays anyone else.
// A wrong user name costs the same derivation as a wrong password: the time
// tells nothing about which was wrong. Verified Authorization values are
// remembered for kRememberMs, so a browser's requests cost nothing after
// the first.
class WebAuthCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxRunning = 2;
    static constexpr qint64 kRememberMs = 5 * 60 * 1000;
    static constexpr int kMaxRemembered = 64;

    // Milliseconds of a steady clock.
    using MsClock = std::function<qint64()>;
    WebAuthCheck(QString userName, QString storedHash, MsClock clock, QObject *parent = nullptr);
    ~WebAuthCheck() override;

    enum class Start {
        Known,       // verified recently: right, nothing started
        Malformed,   // no Basic credentials at all: wrong, nothing started
        Started,     // done is called later on this object's thread
        AddressBusy, // this address has a check running
        AllBusy,     // kMaxRunning checks run
    };
    // Starts checking authorization (the header's value) for address.
    Start check(const QByteArray &authorization, const QString &address, std::function<void(bool)> done);
    int running() const { return int(addresses_.size()); }

private:
    QByteArray digest(const QByteArray &authorization) const;

    QString userName_;
    QString stored_;
    MsClock clock_;
    QSet<QString> addresses_;
    QHash<QByteArray, qint64> remembered_; // digest -> when it is forgotten
    QThreadPool pool_;                     // last: waits for its workers before the rest goes
};
