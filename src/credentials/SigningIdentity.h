// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

using EVP_PKEY = struct evp_pkey_st;

namespace inkveil {

// Who signs a run's content credentials: a certificate chain (signer first) and the signer's
// private key, checked once before the first photo so a run never fails half way for its key.
// Signing through it is safe from several workers at once.
class SigningIdentity
{
public:
    struct Files
    {
        QString certificates;
        QString key;
        // Empty for a key that isn't encrypted.
        QByteArray passphrase;
    };

    // The identity, or why these files can't sign: a key anyone may read, a key that doesn't
    // belong to the certificate, a certificate out of its dates or without the usages a
    // content-credentials signer needs, an algorithm the signature can't name.
    static Result<std::shared_ptr<const SigningIdentity>> load(const Files &files);
    // Whether the key file is encrypted, so a passphrase must be asked for first.
    static bool keyIsEncrypted(const QString &keyPath);

    ~SigningIdentity();
    Q_DISABLE_COPY_MOVE(SigningIdentity)

    // The signature's algorithm as COSE numbers it (ES256 -7, ES384 -35, ES512 -36, EdDSA -8).
    int coseAlgorithm() const { return m_algorithm; }
    // The chain in DER, signer first, as the signature carries it.
    const QList<QByteArray> &chain() const { return m_chain; }
    // The signer's name from the certificate: its common name, else its organisation.
    const QString &signerName() const { return m_signerName; }
    // A signature of `data` in COSE's form (r and s side by side for ECDSA), or why not.
    Result<QByteArray> sign(const QByteArray &data) const;

private:
    SigningIdentity() = default;

    EVP_PKEY *m_key = nullptr;
    int m_algorithm = 0;
    QList<QByteArray> m_chain;
    QString m_signerName;
};

} // namespace inkveil
