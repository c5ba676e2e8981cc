#include "WebAuthCheck.h"

#include "WebPassword.h"

#include <QCryptographicHash>

WebAuthCheck::WebAuthCheck(QString userName, QString storedHash, MsClock clock, QObject *parent)
    : QObject(parent), userName_(std::move(userName)), stored_(std::move(storedHash)),
      clock_(std::move(clock))
{
    pool_.setMaxThreadCount(kMaxRunning);
}

WebAuthCheck::~WebAuthCheck()
{
    pool_.waitForDone();
}

QByteArray WebAuthCheck::digest(const QByteArray &authorization) const
{
    // With the stored hash in it, a new password forgets every old login.
    return QCryptographicHash::hash(authorization + '\n' + stored_.toUtf8(), QCryptographicHash::Sha256);
}

WebAuthCheck::Start WebAuthCheck::check(const QByteArray &authorization, const QString &address,
                                        std::function<void(bool)> done)
{
    const QByteArray key = digest(authorization);
    const qint64 now = clock_();
    if (const auto it = remembered_.constFind(key); it != remembered_.cend() && *it > now)
        return Start::Known;
    if (!authorization.startsWith("Basic "))
        return Start::Malformed;
    const auto decoded = QByteArray::fromBase64Encoding(authorization.mid(6).trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const qsizetype colon = decoded ? decoded.decoded.indexOf(':') : -1;
    if (colon < 0)
        return Start::Malformed;
    if (addresses_.contains(address))
        return Start::AddressBusy;
    if (addresses_.size() >= kMaxRunning)
        return Start::AllBusy;
    addresses_.insert(address);
    const QString user = QString::fromUtf8(decoded.decoded.left(colon));
    const QString password = QString::fromUtf8(decoded.decoded.mid(colon + 1));
    pool_.start([this, user, password, key, address, done = std::move(done)]() mutable {
        // The derivation runs whatever the user name, so both cost the same.
        const bool rightPassword = VerifyWebPassword(stored_, password);
        const bool right = rightPassword && user == userName_;
        QMetaObject::invokeMethod(
            this,
            [this, right, key, address, done = std::move(done)] {
                addresses_.remove(address);
                if (right) {
                    const qint64 now = clock_();
                    if (remembered_.size() >= kMaxRemembered)
                        remembered_.removeIf([now](const auto &e) { return e.value() <= now; });
                    if (remembered_.size() >= kMaxRemembered)
                        remembered_.clear();
                    remembered_.insert(key, now + kRememberMs);
                }
                done(right);
            },
            Qt::QueuedConnection);
    });
    return Start::Started;
}
