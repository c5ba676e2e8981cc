#pragma once
#include <QByteArray>
#include <QList>
#include <QSslCipher>

// What the web view's TLS offers and accepts.

// TLS 1.3's suites and, for TLS 1.2, only forward-secret key exchange
// (ECDHE) with an AEAD cipher (AES-GCM, ChaCha20-Poly1305): no plain RSA key
// exchange, no CBC, no SHA-1.
QList<QSslCipher> WebCipherSuites();

// Whether the private key (PEM) belongs to the certificate (PEM): a pair
// that does not makes every handshake fail, so the server must not start
// with it. False for anything unreadable or encrypted.
bool KeyFitsCertificate(const QByteArray &certificatePem, const QByteArray &keyPem);
