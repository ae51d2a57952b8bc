// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>

namespace inkveil {

// Where a manifest store lives inside an image file: APP11 segments in a JPEG, the caBX chunk
// in a PNG. The bytes it takes are the range a store's data hash leaves out.
namespace AssetContainer {

enum class Type { Unsupported, Jpeg, Png };
Type typeOf(const QByteArray &asset);

struct Range
{
    qint64 start = 0;
    qint64 length = 0;
};

// The file without any manifest store it carries, and where a store goes into it.
struct Prepared
{
    QByteArray asset;
    qint64 insertAt = 0;
};
Result<Prepared> prepare(QByteArray asset, Type type);
// The bytes that carry `store` in a file of `type`: what `insert` puts at the insertion point.
QByteArray wrap(const QByteArray &store, Type type);
// The file with the store in; in place, since a photo's megabytes are slow to copy afresh.
QByteArray insert(Prepared prepared, const QByteArray &wrapped);

// The store a file carries and the bytes it takes, or an error when it carries none.
struct Found
{
    QByteArray store;
    Range range;
};
Result<Found> find(const QByteArray &asset);

} // namespace AssetContainer
} // namespace inkveil
