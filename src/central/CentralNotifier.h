#pragma once
#include "core/Clock.h"
#include "lang/Lng.h"
#include "model/TankSnapshot.h"

#include <QObject>
#include <QTimer>
#include <functional>

class NotificationLog;

// What the centre tells about the sites: every change of a remote tank's
// condition (alarm, fault, low, very low, silent, loss and their ends) and a
// site going offline or coming back becomes a notification at once, and an
// e-mail with the site in its subject. Changes that come within the digest
// time of the first go out together: one mail for one change, one digest
// for many, so a thousand sites changing at once send one message.
class CentralNotifier : public QObject
{
    Q_OBJECT
public:
    using MailFn = std::function<void(const QString &subject, const QString &body)>;

    // digestMs: how long changes gather before they are mailed.
    CentralNotifier(NotificationLog &log, MailFn mail, const Texts &texts, ClockFn clock, int digestMs,
                    QObject *parent = nullptr);

    void tankChanged(const TankSnapshotPtr &before, const TankSnapshotPtr &after);
    void siteChanged(const QString &site, bool online);
    // Mails what gathered now (at the digest time's end).
    void flush();
    int pending() const { return int(lines_.size()); }

private:
    void gather(const QString &site, const QString &line);

    NotificationLog &log_;
    MailFn mail_;
    const Texts &texts_;
    ClockFn clock_;
    QTimer timer_;
    QStringList lines_;
    QStringList sites_; // the sites of the lines, each once
};
