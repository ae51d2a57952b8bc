// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

// The few OpenSSL calls content credentials make, with its objects held by RAII: the library's
// C interface stops here.
namespace inkveil::OpenSsl {

template <auto Free> struct Deleter
{
    template <typename T> void operator()(T *p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;

QString subjectName(X509 *cert);
QByteArray der(X509 *cert);
Certificate fromDer(const QByteArray &der);
bool hasDocumentSigning(X509 *cert);
// The COSE algorithm number a key signs with, 0 for one we don't sign with.
int coseAlgorithm(EVP_PKEY *key);
Result<QByteArray> sign(EVP_PKEY *key, int algorithm, const QByteArray &data);
bool verify(X509 *cert, int algorithm, const QByteArray &data, const QByteArray &signature);
// SHA-256 of the parts one after the other; OpenSSL's, several times as fast as Qt's own on
// a photo's megabytes.
QByteArray sha256(const QList<QByteArrayView> &parts);
inline QByteArray sha256(QByteArrayView data)
{
    return sha256(QList<QByteArrayView>{data});
}

} // namespace inkveil::OpenSsl
