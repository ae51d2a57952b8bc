// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/OpenSsl.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

namespace inkveil::OpenSsl {

namespace {

using SignatureValue = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;

constexpr int Es256 = -7;
constexpr int Es384 = -35;
constexpr int Es512 = -36;
constexpr int EdDsa = -8;

const EVP_MD *digestFor(const int algorithm)
{
    switch (algorithm) {
    case Es256:
        return EVP_sha256();
    case Es384:
        return EVP_sha384();
    case Es512:
        return EVP_sha512();
    default:
        return nullptr;
    }
}

int fieldBytes(const int algorithm)
{
    return algorithm == Es256 ? 32 : algorithm == Es384 ? 48 : 66;
}

QString entry(X509_NAME *name, const int nid)
{
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return {};
    ASN1_STRING *data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char *utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, data);
    if (length < 0)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(utf8), length);
    OPENSSL_free(utf8);
    return text;
}

} // namespace

QString subjectName(X509 *cert)
{
    X509_NAME *name = X509_get_subject_name(cert);
    const QString common = entry(name, NID_commonName);
    return common.isEmpty() ? entry(name, NID_organizationName) : common;
}

QByteArray der(X509 *cert)
{
    const int length = i2d_X509(cert, nullptr);
    if (length <= 0)
        return {};
    QByteArray bytes(length, '\0');
    auto *out = reinterpret_cast<unsigned char *>(bytes.data());
    i2d_X509(cert, &out);
    return bytes;
}

Certificate fromDer(const QByteArray &bytes)
{
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData());
    return Certificate(d2i_X509(nullptr, &in, static_cast<long>(bytes.size())));
}

bool hasDocumentSigning(X509 *cert)
{
    using Usages = std::unique_ptr<EXTENDED_KEY_USAGE, Deleter<EXTENDED_KEY_USAGE_free>>;
    const Usages usages(static_cast<EXTENDED_KEY_USAGE *>(
        X509_get_ext_d2i(cert, NID_ext_key_usage, nullptr, nullptr)));
    if (!usages)
        return false;
    // id-kp-documentSigning (RFC 9336).
    const std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT_free>> documentSigning(
        OBJ_txt2obj("1.3.6.1.5.5.7.3.36", 1));
    for (int i = 0; i < sk_ASN1_OBJECT_num(usages.get()); ++i) {
        if (OBJ_cmp(sk_ASN1_OBJECT_value(usages.get(), i), documentSigning.get()) == 0)
            return true;
    }
    return false;
}

int coseAlgorithm(EVP_PKEY *key)
{
    if (EVP_PKEY_is_a(key, "ED25519"))
        return EdDsa;
    if (!EVP_PKEY_is_a(key, "EC"))
        return 0;
    char curve[64] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, curve, sizeof curve,
                                        nullptr))
        return 0;
    const QByteArray name(curve);
    if (name == "prime256v1" || name == "P-256")
        return Es256;
    if (name == "secp384r1" || name == "P-384")
        return Es384;
    if (name == "secp521r1" || name == "P-521")
        return Es512;
    return 0;
}

Result<QByteArray> sign(EVP_PKEY *key, const int algorithm, const QByteArray &data)
{
    const DigestContext context(EVP_MD_CTX_new());
    size_t length = 0;
    const auto *in = reinterpret_cast<const unsigned char *>(data.constData());
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, digestFor(algorithm), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length, in, static_cast<size_t>(data.size())) !=
            1) {
        ERR_clear_error();
        return Error{QStringLiteral("the key could not sign")};
    }
    QByteArray signature(static_cast<qsizetype>(length), '\0');
    auto *out = reinterpret_cast<unsigned char *>(signature.data());
    if (EVP_DigestSign(context.get(), out, &length, in, static_cast<size_t>(data.size())) != 1) {
        ERR_clear_error();
        return Error{QStringLiteral("the key could not sign")};
    }
    signature.resize(static_cast<qsizetype>(length));
    if (algorithm == EdDsa)
        return signature;
    // ECDSA signs in DER; COSE carries r and s as two fixed-size numbers.
    const auto *derIn = reinterpret_cast<const unsigned char *>(signature.constData());
    const SignatureValue value(d2i_ECDSA_SIG(nullptr, &derIn, static_cast<long>(length)));
    if (!value)
        return Error{QStringLiteral("the key made an unreadable signature")};
    const int size = fieldBytes(algorithm);
    QByteArray raw(2 * size, '\0');
    auto *rs = reinterpret_cast<unsigned char *>(raw.data());
    BN_bn2binpad(ECDSA_SIG_get0_r(value.get()), rs, size);
    BN_bn2binpad(ECDSA_SIG_get0_s(value.get()), rs + size, size);
    return raw;
}

bool verify(X509 *cert, const int algorithm, const QByteArray &data, const QByteArray &signature)
{
    EVP_PKEY *key = X509_get0_pubkey(cert);
    if (!key || coseAlgorithm(key) != algorithm)
        return false;
    QByteArray der = signature;
    if (algorithm != EdDsa) {
        const int size = fieldBytes(algorithm);
        if (signature.size() != 2 * size)
            return false;
        const auto *rs = reinterpret_cast<const unsigned char *>(signature.constData());
        SignatureValue value(ECDSA_SIG_new());
        ECDSA_SIG_set0(value.get(), BN_bin2bn(rs, size, nullptr),
                       BN_bin2bn(rs + size, size, nullptr));
        const int length = i2d_ECDSA_SIG(value.get(), nullptr);
        der = QByteArray(std::max(length, 0), '\0');
        auto *out = reinterpret_cast<unsigned char *>(der.data());
        i2d_ECDSA_SIG(value.get(), &out);
    }
    const DigestContext context(EVP_MD_CTX_new());
    const bool good =
        context &&
        EVP_DigestVerifyInit(context.get(), nullptr, digestFor(algorithm), nullptr, key) == 1 &&
        EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(der.constData()),
                         static_cast<size_t>(der.size()),
                         reinterpret_cast<const unsigned char *>(data.constData()),
                         static_cast<size_t>(data.size())) == 1;
    ERR_clear_error();
    return good;
}

QByteArray sha256(const QList<QByteArrayView> &parts)
{
    const DigestContext context(EVP_MD_CTX_new());
    QByteArray digest(32, '\0');
    bool good = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    for (const QByteArrayView part : parts)
        good = good &&
               EVP_DigestUpdate(context.get(), part.data(), static_cast<size_t>(part.size())) == 1;
    good =
        good && EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char *>(digest.data()),
                                   nullptr) == 1;
    ERR_clear_error();
    return good ? digest : QByteArray();
}

} // namespace inkveil::OpenSsl
