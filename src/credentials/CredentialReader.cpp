// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/CredentialReader.h"

#include "credentials/AssetContainer.h"
#include "credentials/Jumbf.h"
#include "credentials/ManifestParts.h"
#include "credentials/OpenSsl.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace inkveil::CredentialReader {

namespace {

// No photo's credentials come near this; a store this large is refused unread.
constexpr qsizetype MostStoreBytes = 64 << 20;

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

QCborValue decode(const QByteArray &bytes)
{
    QCborParserError error;
    QCborValue value = QCborValue::fromCbor(bytes, &error);
    return error.error == QCborError::NoError ? value : QCborValue();
}

const Jumbf::Node *childStartingWith(const Jumbf::Node &node, const QString &prefix)
{
    for (const Jumbf::Node &child : node.children) {
        if (child.label.startsWith(prefix))
            return &child;
    }
    return nullptr;
}

// The signer's name when the claim's signature verifies with the certificate it carries.
Result<QString> checkSignature(const Jumbf::Node &signature, const QByteArray &claim)
{
    const QCborValue cose = decode(signature.data);
    const QCborArray sign1 = (cose.isTag() ? cose.taggedValue() : cose).toArray();
    if (sign1.size() != 4 || !sign1.at(0).isByteArray() || !sign1.at(3).isByteArray())
        return Error{str("the signature is not a COSE_Sign1")};
    const QByteArray protectedHeader = sign1.at(0).toByteArray();
    const QCborMap header = decode(protectedHeader).toMap();
    QCborValue chain = header.value(33);
    if (chain.isUndefined())
        chain = sign1.at(1).toMap().value(33);
    const QByteArray leaf =
        chain.isArray() ? chain.toArray().at(0).toByteArray() : chain.toByteArray();
    const OpenSsl::Certificate cert = OpenSsl::fromDer(leaf);
    if (!cert)
        return Error{str("the signature carries no certificate")};
    const int algorithm = static_cast<int>(header.value(1).toInteger());
    if (!OpenSsl::verify(cert.get(), algorithm, ManifestParts::toBeSigned(protectedHeader, claim),
                         sign1.at(3).toByteArray()))
        return Error{str("the signature does not match the claim")};
    return OpenSsl::subjectName(cert.get());
}

Result<QByteArray> fileHash(const QByteArray &asset, const QCborMap &dataHash)
{
    qint64 at = 0;
    QList<AssetContainer::Range> ranges;
    for (const QCborValue &exclusion : dataHash.value(str("exclusions")).toArray()) {
        const QCborMap range = exclusion.toMap();
        ranges.append(
            {range.value(str("start")).toInteger(), range.value(str("length")).toInteger()});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const auto &a, const auto &b) { return a.start < b.start; });
    QList<QByteArrayView> hashed;
    for (const AssetContainer::Range &range : ranges) {
        if (range.start < at || range.length < 0 || range.start > asset.size() ||
            range.length > asset.size() - range.start)
            return Error{str("the data hash leaves out bytes the file doesn't have")};
        hashed.append(QByteArrayView(asset).sliced(at, range.start - at));
        at = range.start + range.length;
    }
    hashed.append(QByteArrayView(asset).sliced(at));
    return OpenSsl::sha256(hashed);
}

// Checks each link the claim signed; keeps what the assertions say.
Result<void> checkAssertions(const QByteArray &asset, const Jumbf::Node &manifest,
                             const QCborMap &claim, Credentials &found)
{
    const Jumbf::Node *store = manifest.child(str("c2pa.assertions"));
    QCborArray links = claim.value(str("created_assertions")).toArray();
    for (const QCborValue &link : claim.value(str("gathered_assertions")).toArray())
        links.append(link);
    for (const QCborValue &link : claim.value(str("assertions")).toArray())
        links.append(link);
    bool hashed = false;
    for (const QCborValue &value : links) {
        const QCborMap link = value.toMap();
        const QString label = link.value(str("url")).toString().section(QLatin1Char('/'), -1);
        const Jumbf::Node *assertion = store ? store->child(label) : nullptr;
        if (!assertion)
            return Error{str("the assertion %1 is missing").arg(label)};
        if (OpenSsl::sha256(assertion->contents) != link.value(str("hash")).toByteArray())
            return Error{str("the assertion %1 was changed").arg(label)};
        if (label.startsWith(ManifestParts::ActionsLabel.left(12))) {
            for (const QCborValue &action :
                 decode(assertion->data).toMap().value(str("actions")).toArray())
                found.actions.append(action.toMap().value(str("action")).toString());
        } else if (label == ManifestParts::CreativeWorkLabel) {
            const QJsonObject work = QJsonDocument::fromJson(assertion->data).object();
            found.author =
                work.value(str("author")).toArray().at(0).toObject().value(str("name")).toString();
        } else if (label == ManifestParts::DataHashLabel) {
            const QCborMap dataHash = decode(assertion->data).toMap();
            const Result<QByteArray> hash = fileHash(asset, dataHash);
            if (!hash)
                return hash.error();
            if (*hash != dataHash.value(str("hash")).toByteArray())
                return Error{str("the file was changed after it was signed")};
            hashed = true;
        }
    }
    if (!hashed)
        return Error{str("nothing binds the credentials to the file")};
    return {};
}

Result<void> validate(const QByteArray &asset, const QByteArray &storeBytes, Credentials &found)
{
    if (storeBytes.size() > MostStoreBytes)
        return Error{str("the manifest store is too large")};
    const Result<Jumbf::Node> store = Jumbf::parse(storeBytes);
    if (!store)
        return Error{str("the manifest store is damaged: ") + store.reason()};
    if (store->children.isEmpty())
        return Error{str("the manifest store is empty")};
    const Jumbf::Node &manifest = store->children.last();
    const Jumbf::Node *claim = childStartingWith(manifest, str("c2pa.claim"));
    const Jumbf::Node *signature = manifest.child(str("c2pa.signature"));
    if (!claim || !signature)
        return Error{str("the manifest has no signed claim")};
    const Result<QString> signer = checkSignature(*signature, claim->data);
    if (!signer)
        return signer.error();
    found.signer = *signer;
    return checkAssertions(asset, manifest, decode(claim->data).toMap(), found);
}

} // namespace

Credentials read(const QByteArray &asset)
{
    Credentials found;
    const Result<AssetContainer::Found> store = AssetContainer::find(asset);
    if (!store)
        return found;
    found.present = true;
    found.store = store->store;
    const Result<void> valid = validate(asset, store->store, found);
    found.valid = valid.ok();
    found.problem = valid.reason();
    return found;
}

} // namespace inkveil::CredentialReader
