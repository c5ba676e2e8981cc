#pragma once
#include <QByteArray>
#include <QString>

// The stored form of the web password: never the password itself but
// "pbkdf2-sha256$<iterations>$<salt, Base64>$<key, Base64>", PBKDF2 with
// HMAC-SHA256, so a stolen settings file gives nothing away cheaply and the
// iterations can grow later without invalidating stored values.

namespace WebPasswordHash
{
inline constexpr int kIterations = 120000;
inline constexpr int kSaltBytes = 16;
inline constexpr int kKeyBytes = 32;
inline constexpr int kMaxIterations = 10000000; // a stored value above is refused, not computed
} // namespace WebPasswordHash

// The stored form of password with this salt and iteration count.
QString HashWebPassword(const QString &password, const QByteArray &salt,
                        int iterations = WebPasswordHash::kIterations);
// The same with a fresh random salt.
QString NewWebPasswordHash(const QString &password);
// Whether password matches the stored form; false for anything malformed.
bool VerifyWebPassword(const QString &stored, const QString &password);
