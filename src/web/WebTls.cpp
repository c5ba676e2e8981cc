#include "WebTls.h"

#include <QSslConfiguration>

#include <memory>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

QList<QSslCipher> WebCipherSuites()
{
    QList<QSslCipher> out;
    for (const QSslCipher &c : QSslConfiguration::supportedCiphers()) {
        const QString name = c.name();
        const bool tls13 = c.protocol() == QSsl::TlsV1_3 || name.startsWith(QLatin1String("TLS_"));
        const bool aead = name.contains(QLatin1String("GCM")) || name.contains(QLatin1String("CHACHA20"));
        if (tls13 || (name.startsWith(QLatin1String("ECDHE-")) && aead))
            out.append(c);
    }
    return out;
}

bool KeyFitsCertificate(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    // No passphrase is asked for (OpenSSL would ask on the terminal).
    const auto noPassphrase = [](char *, int, int, void *) { return 0; };
    const std::unique_ptr<BIO, decltype(&BIO_free)> certBio(
        BIO_new_mem_buf(certificatePem.constData(), int(certificatePem.size())), BIO_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(
        BIO_new_mem_buf(keyPem.constData(), int(keyPem.size())), BIO_free);
    if (!certBio || !keyBio)
        return false;
    const std::unique_ptr<X509, decltype(&X509_free)> cert(
        PEM_read_bio_X509(certBio.get(), nullptr, noPassphrase, nullptr), X509_free);
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, noPassphrase, nullptr), EVP_PKEY_free);
    const bool fits = cert && key && X509_check_private_key(cert.get(), key.get()) == 1;
    ERR_clear_error(); // what failed is told by the result; nothing is left for Qt's TLS to trip over
    return fits;
}
