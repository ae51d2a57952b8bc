// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/SigningIdentity.h"

#include "credentials/OpenSsl.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <vector>

namespace inkveil {

namespace {

// A PEM file is small; anything larger is not one.
constexpr qint64 MostPemBytes = 1 << 20;

Result<QByteArray> readPem(const QString &path, const QString &what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error{
            QStringLiteral("The %1 %2 can't be read: %3.").arg(what, path, file.errorString())};
    return file.read(MostPemBytes);
}

Result<std::vector<OpenSsl::Certificate>> readChain(const QString &path)
{
    const Result<QByteArray> pem = readPem(path, QStringLiteral("certificate"));
    if (!pem)
        return pem.error();
    const OpenSsl::Bio bio(BIO_new_mem_buf(pem->constData(), static_cast<int>(pem->size())));
    std::vector<OpenSsl::Certificate> chain;
    while (X509 *cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr))
        chain.emplace_back(cert);
    ERR_clear_error();
    if (chain.empty())
        return Error{QStringLiteral("The certificate %1 holds no PEM certificate.").arg(path)};
    return chain;
}

int passphraseCallback(char *buffer, int size, int, void *userData)
{
    const auto *passphrase = static_cast<const QByteArray *>(userData);
    const int length = std::min(size, static_cast<int>(passphrase->size()));
    std::copy_n(passphrase->constData(), length, buffer);
    return length;
}

Result<OpenSsl::Key> readKey(const SigningIdentity::Files &files)
{
    const QFileInfo info(files.key);
    if (info.exists() && (info.permissions() & QFileDevice::ReadOther))
        return Error{QStringLiteral("The signing key %1 can be read by anyone; make it yours "
                                    "alone (chmod 600).")
                         .arg(files.key)};
    const Result<QByteArray> pem = readPem(files.key, QStringLiteral("signing key"));
    if (!pem)
        return pem.error();
    const OpenSsl::Bio bio(BIO_new_mem_buf(pem->constData(), static_cast<int>(pem->size())));
    QByteArray passphrase = files.passphrase;
    OpenSsl::Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, passphraseCallback, &passphrase));
    ERR_clear_error();
    if (key)
        return key;
    if (SigningIdentity::keyIsEncrypted(files.key))
        return Error{
            files.passphrase.isEmpty()
                ? QStringLiteral("The signing key %1 needs its passphrase.").arg(files.key)
                : QStringLiteral("The passphrase doesn't open the signing key %1.").arg(files.key)};
    return Error{QStringLiteral("The signing key %1 holds no PEM private key.").arg(files.key)};
}

QString dateText(const ASN1_TIME *time)
{
    std::tm tm{};
    if (ASN1_TIME_to_tm(time, &tm) != 1)
        return QStringLiteral("an unreadable date");
    return QStringLiteral("%1-%2-%3")
        .arg(tm.tm_year + 1900)
        .arg(tm.tm_mon + 1, 2, 10, QLatin1Char('0'))
        .arg(tm.tm_mday, 2, 10, QLatin1Char('0'));
}

Result<void> checkDates(const std::vector<OpenSsl::Certificate> &chain, const QString &path)
{
    for (const OpenSsl::Certificate &cert : chain) {
        const QString name = OpenSsl::subjectName(cert.get());
        if (X509_cmp_current_time(X509_get0_notAfter(cert.get())) < 0)
            return Error{QStringLiteral("The certificate \"%1\" in %2 expired on %3.")
                             .arg(name, path, dateText(X509_get0_notAfter(cert.get())))};
        if (X509_cmp_current_time(X509_get0_notBefore(cert.get())) > 0)
            return Error{QStringLiteral("The certificate \"%1\" in %2 is not valid before %3.")
                             .arg(name, path, dateText(X509_get0_notBefore(cert.get())))};
    }
    return {};
}

// What a signer's certificate must allow: digital signatures, and an extended usage of
// e-mail protection or document signing, but not any usage at all; and it is no authority.
Result<void> checkUsages(X509 *signer, const QString &path)
{
    const QString refused =
        QStringLiteral("The certificate %1 may not sign content credentials: ").arg(path);
    const uint32_t flags = X509_get_extension_flags(signer);
    if (!(flags & EXFLAG_KUSAGE) || !(X509_get_key_usage(signer) & KU_DIGITAL_SIGNATURE))
        return Error{refused + QStringLiteral("its key usage lacks digital signature.")};
    if (X509_check_ca(signer) != 0)
        return Error{refused + QStringLiteral("it is a certificate authority's.")};
    const uint32_t extended = (flags & EXFLAG_XKUSAGE) ? X509_get_extended_key_usage(signer) : 0;
    if (extended & XKU_ANYEKU)
        return Error{refused + QStringLiteral("it allows any extended key usage.")};
    if (!(extended & XKU_SMIME) && !OpenSsl::hasDocumentSigning(signer))
        return Error{refused + QStringLiteral("its extended key usage names neither e-mail "
                                              "protection nor document signing.")};
    return {};
}

} // namespace

bool SigningIdentity::keyIsEncrypted(const QString &keyPath)
{
    const Result<QByteArray> pem = readPem(keyPath, QString());
    return pem &&
           (pem->contains("ENCRYPTED PRIVATE KEY") || pem->contains("Proc-Type: 4,ENCRYPTED"));
}

Result<std::shared_ptr<const SigningIdentity>> SigningIdentity::load(const Files &files)
{
    Result<OpenSsl::Key> key = readKey(files);
    if (!key)
        return key.error();
    const Result<std::vector<OpenSsl::Certificate>> chain = readChain(files.certificates);
    if (!chain)
        return chain.error();
    X509 *signer = chain->front().get();
    if (X509_check_private_key(signer, key->get()) != 1) {
        ERR_clear_error();
        return Error{QStringLiteral("The signing key %1 doesn't belong to the certificate %2.")
                         .arg(files.key, files.certificates)};
    }
    const int algorithm = OpenSsl::coseAlgorithm(key->get());
    if (algorithm == 0)
        return Error{QStringLiteral("The signing key %1 is neither ECDSA (P-256, P-384, P-521) "
                                    "nor Ed25519.")
                         .arg(files.key)};
    if (const Result<void> dated = checkDates(*chain, files.certificates); !dated)
        return dated.error();
    if (const Result<void> usable = checkUsages(signer, files.certificates); !usable)
        return usable.error();

    std::shared_ptr<SigningIdentity> identity(new SigningIdentity);
    identity->m_key = key->release();
    identity->m_algorithm = algorithm;
    for (const OpenSsl::Certificate &cert : *chain)
        identity->m_chain.append(OpenSsl::der(cert.get()));
    identity->m_signerName = OpenSsl::subjectName(signer);
    return std::shared_ptr<const SigningIdentity>(std::move(identity));
}

SigningIdentity::~SigningIdentity()
{
    EVP_PKEY_free(m_key);
}

Result<QByteArray> SigningIdentity::sign(const QByteArray &data) const
{
    return OpenSsl::sign(m_key, m_algorithm, data);
}

} // namespace inkveil
