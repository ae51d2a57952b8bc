// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "credentials/Provenance.h"

#include <QByteArray>

namespace inkveil {

class SigningIdentity;

// Signs a finished JPEG or PNG: builds a C2PA manifest store (claim, assertions, COSE_Sign1
// signature) whose data hash covers every byte of the file but the store's own, and puts it
// in. The file must be final: any later change breaks the hash.
namespace ContentCredentials {

// Whether files of this media type carry their credentials inside.
bool embeds(const QString &mimeType);
Result<QByteArray> sign(QByteArray asset, const Provenance &provenance,
                        const SigningIdentity &identity);
// A store for a format that carries none inside (a sidecar .c2pa file), bound to the file's
// bytes as they are.
Result<QByteArray> sidecar(const QByteArray &asset, const Provenance &provenance,
                           const SigningIdentity &identity);

} // namespace ContentCredentials
} // namespace inkveil
