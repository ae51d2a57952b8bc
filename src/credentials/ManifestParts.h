// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "credentials/AssetContainer.h"
#include "credentials/Jumbf.h"
#include "credentials/Provenance.h"

#include <QCborArray>
#include <QCborValue>

#include <optional>

namespace inkveil {

class SigningIdentity;

// The pieces of a manifest, each in the CBOR its label calls for.
namespace ManifestParts {

extern const QString IngredientLabel;
extern const QString ActionsLabel;
extern const QString DataHashLabel;
extern const QString CreativeWorkLabel;

// A hashed link to a superbox: its URL and the SHA-256 of its bytes after its header.
QCborMap hashedLink(const QString &url, const QByteArray &superBox);
// The claim's links to the assertion superboxes given.
QCborArray assertionLinks(const QList<QByteArray> &assertions);

QCborValue ingredient(const Provenance &provenance, const std::optional<Jumbf::Node> &manifest);
QCborValue actions(const Provenance &provenance, const QByteArray &ingredientBox);
QByteArray creativeWork(const QString &author);
// The hard binding; `exclusion` is the store's own bytes, none for a sidecar.
QCborValue dataHash(const QByteArray &hash, const AssetContainer::Range *exclusion);
QByteArray claim(const Provenance &provenance, const QString &manifestLabel,
                 const QCborArray &links);
// The claim's COSE_Sign1 signature, detached, with the certificate chain in its protected
// header.
Result<QByteArray> sign1(const QByteArray &claim, const SigningIdentity &identity);
// The bytes a COSE_Sign1 signature covers.
QByteArray toBeSigned(const QByteArray &protectedHeader, const QByteArray &payload);

} // namespace ManifestParts
} // namespace inkveil
