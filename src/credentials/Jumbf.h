// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace inkveil {

// The boxes content credentials are stored in (JUMBF, ISO 19566-5): a superbox "jumb" opens
// with a description box "jumd" naming its kind (a UUID) and label, then holds either more
// superboxes or one content box ("cbor" for every assertion, claim and signature we write).
namespace Jumbf {

// The kinds of superbox a manifest store is made of; the first four bytes spell the kind.
enum class Kind { Store, Manifest, Assertions, Claim, Signature, Cbor, Json, Other };
QByteArray uuid(Kind kind);
Kind kindOf(const QByteArray &uuid);

// One box: length, four-letter type, payload.
QByteArray box(const char *type, const QByteArray &payload);
// A superbox of `kind` labelled `label` holding the given boxes, one after the other.
QByteArray superBox(Kind kind, const QString &label, const QByteArray &contents);
// A labelled superbox of one CBOR content box.
QByteArray cborBox(Kind kind, const QString &label, const QByteArray &cbor);

// A superbox read back. `contents` are its bytes after its own header, which is what a claim's
// hashed reference to it covers; `data` is the payload of its content box, when it has one.
struct Node
{
    Kind kind = Kind::Other;
    QString label;
    QByteArray contents;
    QByteArray contentType;
    QByteArray data;
    QList<Node> children;

    const Node *child(const QString &childLabel) const;
};

// Parses a manifest store. Lengths that run past their parent, nesting deeper than any store
// needs and more boxes than a store of ours would hold are refused, so a hostile file costs
// no more than its own size.
Result<Node> parse(const QByteArray &bytes);

} // namespace Jumbf
} // namespace inkveil
