// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/AssetContainer.h"

#include <QList>
#include <QtEndian>

#include <zlib.h>

namespace inkveil::AssetContainer {

namespace {

const QByteArray PngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr char StoreType[] = "c2pa";
// A JPEG segment's payload: at most 65535 bytes with its length field; after the JPEG XT
// header (CI "JP", instance, sequence) and the repeated box header, room for this much store.
constexpr qsizetype SegmentRoom = 65535 - 2 - 8 - 8;
// The box instance number our segments carry; any value no other JUMBF box in the file uses.
constexpr quint16 Instance = 0x0211;

struct Segment
{
    qint64 start = 0;
    qint64 length = 0; // Marker included.
    uchar marker = 0;
};

// A JPEG's segments up to the image data. Stops quietly at anything it doesn't follow.
QList<Segment> jpegSegments(const QByteArray &asset)
{
    QList<Segment> segments;
    qint64 at = 2;
    while (at + 4 <= asset.size() && uchar(asset.at(at)) == 0xFF) {
        const auto marker = uchar(asset.at(at + 1));
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qint64 length = 2 + qFromBigEndian<quint16>(asset.constData() + at + 2);
        if (length < 4 || at + length > asset.size())
            break;
        segments.append({at, length, marker});
        at += length;
    }
    return segments;
}

// Whether an APP11 segment opens a manifest store, and its instance number.
bool opensStore(const QByteArray &asset, const Segment &segment, QByteArray &instance)
{
    if (segment.marker != 0xEB || segment.length < 4 + 28)
        return false;
    const char *content = asset.constData() + segment.start + 4;
    if (QByteArray::fromRawData(content, 2) != "JP" ||
        QByteArray::fromRawData(content + 24, 4) != StoreType)
        return false;
    instance = QByteArray(content + 2, 2);
    return true;
}

// The JPEG's store segments, in order.
QList<Segment> storeSegments(const QByteArray &asset)
{
    QList<Segment> found;
    QByteArray instance;
    for (const Segment &segment : jpegSegments(asset)) {
        QByteArray opened;
        if (found.isEmpty() && opensStore(asset, segment, opened)) {
            instance = opened;
            found.append(segment);
        } else if (!found.isEmpty() && segment.marker == 0xEB && segment.length >= 4 + 16 &&
                   asset.mid(segment.start + 4, 2) == "JP" &&
                   asset.mid(segment.start + 6, 2) == instance) {
            found.append(segment);
        }
    }
    return found;
}

struct Chunk
{
    qint64 start = 0;
    qint64 length = 0; // Length, type and CRC included.
    QByteArray type;
};

QList<Chunk> pngChunks(const QByteArray &asset)
{
    QList<Chunk> chunks;
    qint64 at = PngSignature.size();
    while (at + 12 <= asset.size()) {
        const qint64 length = 12 + qint64(qFromBigEndian<quint32>(asset.constData() + at));
        if (at + length > asset.size())
            break;
        chunks.append({at, length, asset.mid(at + 4, 4)});
        if (chunks.last().type == "IEND")
            break;
        at += length;
    }
    return chunks;
}

void removeRanges(QByteArray &asset, const QList<Range> &ranges)
{
    for (auto it = ranges.crbegin(); it != ranges.crend(); ++it)
        asset.remove(it->start, it->length);
}

} // namespace

Type typeOf(const QByteArray &asset)
{
    if (asset.startsWith("\xFF\xD8"))
        return Type::Jpeg;
    if (asset.startsWith(PngSignature))
        return Type::Png;
    return Type::Unsupported;
}

Result<Prepared> prepare(QByteArray asset, const Type type)
{
    QList<Range> old;
    Prepared prepared;
    if (type == Type::Jpeg) {
        for (const Segment &segment : storeSegments(asset))
            old.append({segment.start, segment.length});
        removeRanges(asset, old);
        prepared.asset = std::move(asset);
        // After the JFIF header, where readers expect it first.
        prepared.insertAt = 2;
        for (const Segment &segment : jpegSegments(prepared.asset)) {
            if (segment.marker == 0xE0)
                prepared.insertAt = segment.start + segment.length;
        }
        return prepared;
    }
    if (type == Type::Png) {
        const QList<Chunk> chunks = pngChunks(asset);
        if (chunks.isEmpty() || chunks.first().type != "IHDR")
            return Error{QStringLiteral("a PNG without its header")};
        for (const Chunk &chunk : chunks) {
            if (chunk.type == "caBX")
                old.append({chunk.start, chunk.length});
        }
        prepared.insertAt = chunks.first().start + chunks.first().length;
        removeRanges(asset, old);
        prepared.asset = std::move(asset);
        return prepared;
    }
    return Error{QStringLiteral("a format that carries no content credentials inside")};
}

QByteArray wrap(const QByteArray &store, const Type type)
{
    QByteArray out;
    if (type == Type::Png) {
        QByteArray chunk(8, '\0');
        qToBigEndian<quint32>(quint32(store.size()), chunk.data());
        chunk.replace(4, 4, "caBX", 4);
        chunk += store;
        QByteArray crc(4, '\0');
        qToBigEndian<quint32>(
            quint32(crc32(0, reinterpret_cast<const Bytef *>(chunk.constData()) + 4,
                          uInt(chunk.size() - 4))),
            crc.data());
        return chunk + crc;
    }
    // JPEG XT marker segments: every one repeats the box's length and type.
    quint32 sequence = 1;
    for (qsizetype at = 0; at < store.size(); ++sequence) {
        const qsizetype skip = at == 0 ? 0 : 8;
        const QByteArray piece = store.mid(at, SegmentRoom + (at == 0 ? 8 : 0));
        QByteArray header(12, '\0');
        header[0] = '\xFF';
        header[1] = '\xEB';
        qToBigEndian<quint16>(quint16(2 + 8 + skip + piece.size()), header.data() + 2);
        header[4] = 'J';
        header[5] = 'P';
        qToBigEndian<quint16>(Instance, header.data() + 6);
        qToBigEndian<quint32>(sequence, header.data() + 8);
        out += header;
        if (skip)
            out += store.left(8);
        out += piece;
        at += piece.size();
    }
    return out;
}

QByteArray insert(Prepared prepared, const QByteArray &wrapped)
{
    prepared.asset.insert(prepared.insertAt, wrapped);
    return std::move(prepared.asset);
}

Result<Found> find(const QByteArray &asset)
{
    Found found;
    const Type type = typeOf(asset);
    if (type == Type::Jpeg) {
        const QList<Segment> segments = storeSegments(asset);
        for (const Segment &segment : segments) {
            // The first segment's box header is the store's own; the others repeat it.
            const qint64 skip = found.store.isEmpty() ? 12 : 20;
            found.store += asset.mid(segment.start + skip, segment.length - skip);
        }
        if (!segments.isEmpty()) {
            found.range.start = segments.first().start;
            found.range.length = segments.last().start + segments.last().length - found.range.start;
            return found;
        }
    } else if (type == Type::Png) {
        for (const Chunk &chunk : pngChunks(asset)) {
            if (chunk.type == "caBX") {
                found.store = asset.mid(chunk.start + 8, chunk.length - 12);
                found.range = {chunk.start, chunk.length};
                return found;
            }
        }
    }
    return Error{QStringLiteral("no content credentials")};
}

} // namespace inkveil::AssetContainer
