#include "WebPassword.h"

#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace
{
constexpr QLatin1String kScheme("pbkdf2-sha256");

// Compares without leaving early, so the time says nothing about where two
// keys differ.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QByteArray deriveKey(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              WebPasswordHash::kKeyBytes);
}
} // namespace

QString HashWebPassword(const QString &password, const QByteArray &salt, int iterations)
{
    return kScheme + QLatin1Char('$') + QString::number(iterations) + QLatin1Char('$') +
           QString::fromLatin1(salt.toBase64()) + QLatin1Char('$') +
           QString::fromLatin1(deriveKey(password, salt, iterations).toBase64());
}

QString NewWebPasswordHash(const QString &password)
{
    QByteArray salt(WebPasswordHash::kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()),
                                          WebPasswordHash::kSaltBytes / int(sizeof(quint32)));
    return HashWebPassword(password, salt);
}

bool VerifyWebPassword(const QString &stored, const QString &password)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1 || iterations > WebPasswordHash::kMaxIterations)
        return false;
    const auto salt =
        QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto key =
        QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !key || salt.decoded.isEmpty() || key.decoded.size() != WebPasswordHash::kKeyBytes)
        return false;
    return sameBytes(deriveKey(password, salt.decoded, iterations), key.decoded);
}
