// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/HeifLayout.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QtEndian>

#include <climits>
#include <limits>
#include <optional>

namespace inkveil {

namespace {

// Phones put a few kilobytes ahead of the pixels, and a grid of as many tiles as we take needs a
// few hundred; a few boxes come before 'meta' in any file.
constexpr qint64 MaxMetaBytes = 4 * 1024 * 1024;
constexpr int MaxBoxesBeforeMeta = 64;
// A photo, its alpha, its thumbnail and a gain map or depth map each may be a grid.
constexpr int MaxDerivedImages = 64;

QString pastTheEnd()
{
    return QStringLiteral("its boxes run past the end of the file");
}

// Big-endian reading of a box's payload that turns every overrun into a failed read.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes, qsizetype begin = 0, qsizetype end = -1)
        : m_bytes(bytes)
        , m_pos(begin)
        , m_end(end < 0 ? bytes.size() : end)
    {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos >= m_end; }
    qsizetype pos() const { return m_pos; }
    qsizetype end() const { return m_end; }

    quint64 uint(int bytes)
    {
        if (bytes < 0 || bytes > 8 || m_end - m_pos < bytes) {
            m_ok = false;
            m_pos = m_end;
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | static_cast<quint8>(m_bytes.at(m_pos++));
        return value;
    }
    QByteArray type()
    {
        const qsizetype at = m_pos;
        uint(4);
        return m_ok ? m_bytes.mid(at, 4) : QByteArray();
    }

    // The next child box: its type and payload, or nothing once the parent is used up. A child
    // that overruns its parent fails the reader.
    std::optional<std::pair<QByteArray, Reader>> child()
    {
        if (atEnd() || !m_ok)
            return std::nullopt;
        const qsizetype start = m_pos;
        quint64 size = uint(4);
        const QByteArray kind = type();
        if (size == 1)
            size = uint(8);
        else if (size == 0)
            size = static_cast<quint64>(m_end - start);
        if (!m_ok || size < static_cast<quint64>(m_pos - start) ||
            size > static_cast<quint64>(m_end - start)) {
            m_ok = false;
            return std::nullopt;
        }
        const qsizetype payload = m_pos;
        m_pos = start + static_cast<qsizetype>(size);
        return std::pair{kind, Reader(m_bytes, payload, m_pos)};
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos;
    qsizetype m_end;
    bool m_ok = true;
};

struct Extent
{
    quint64 offset = 0;
    quint64 length = 0;
};

struct Item
{
    QByteArray type;
    int method = 0;
    QList<Extent> extents;
    QList<int> properties; // 1-based indices into 'ipco'
};

struct Meta
{
    quint32 primary = 0;
    QHash<quint32, Item> items;
    QList<std::pair<QByteArray, Reader>> properties;
    qsizetype idatBegin = 0;
    qsizetype idatSize = 0;
};

void readInfe(Reader box, Meta &meta)
{
    const quint64 version = box.uint(1);
    box.uint(3);
    if (version < 2)
        return;
    const auto id = static_cast<quint32>(box.uint(version == 2 ? 2 : 4));
    box.uint(2);
    const QByteArray type = box.type();
    if (box.ok())
        meta.items[id].type = type;
}

void readIinf(Reader box, Meta &meta)
{
    const quint64 version = box.uint(1);
    box.uint(3);
    box.uint(version == 0 ? 2 : 4);
    while (auto child = box.child()) {
        if (child->first == "infe")
            readInfe(child->second, meta);
    }
}

bool readIloc(Reader box, Meta &meta)
{
    const quint64 version = box.uint(1);
    box.uint(3);
    const quint64 sizes = box.uint(1);
    const quint64 sizes2 = box.uint(1);
    const int offsetSize = static_cast<int>(sizes >> 4), lengthSize = static_cast<int>(sizes & 15);
    const int baseSize = static_cast<int>(sizes2 >> 4);
    const int indexSize = version >= 1 ? static_cast<int>(sizes2 & 15) : 0;
    const quint64 count = box.uint(version < 2 ? 2 : 4);
    for (quint64 i = 0; i < count && box.ok(); ++i) {
        Item &item = meta.items[static_cast<quint32>(box.uint(version < 2 ? 2 : 4))];
        item.method = version >= 1 ? static_cast<int>(box.uint(2) & 15) : 0;
        box.uint(2);
        const quint64 base = box.uint(baseSize);
        const quint64 extents = box.uint(2);
        // An extent written in no bytes at all is the whole file, once; thousands of them would
        // cost time and memory without a byte of file to show for it.
        if (indexSize + offsetSize + lengthSize == 0 && extents > 1)
            return false;
        for (quint64 e = 0; e < extents && box.ok(); ++e) {
            box.uint(indexSize);
            const quint64 offset = box.uint(offsetSize);
            item.extents.append({base + offset, box.uint(lengthSize)});
        }
    }
    return box.ok();
}

bool readIprp(Reader box, Meta &meta)
{
    while (auto child = box.child()) {
        if (child->first == "ipco") {
            while (auto property = child->second.child())
                meta.properties.append(*property);
            if (!child->second.ok())
                return false;
        } else if (child->first == "ipma") {
            Reader ipma = child->second;
            const quint64 version = ipma.uint(1);
            const bool wide = (ipma.uint(3) & 1) != 0;
            const quint64 count = ipma.uint(4);
            for (quint64 i = 0; i < count && ipma.ok(); ++i) {
                Item &item = meta.items[static_cast<quint32>(ipma.uint(version < 1 ? 2 : 4))];
                const quint64 associations = ipma.uint(1);
                for (quint64 a = 0; a < associations && ipma.ok(); ++a)
                    item.properties.append(
                        static_cast<int>(ipma.uint(wide ? 2 : 1) & (wide ? 0x7fff : 0x7f)));
            }
            if (!ipma.ok())
                return false;
        }
    }
    return box.ok();
}

Result<Meta> readMeta(const QByteArray &bytes)
{
    Reader box(bytes);
    box.uint(4);
    Meta meta;
    while (auto child = box.child()) {
        Reader &payload = child->second;
        if (child->first == "pitm") {
            const quint64 version = payload.uint(1);
            payload.uint(3);
            meta.primary = static_cast<quint32>(payload.uint(version == 0 ? 2 : 4));
        } else if (child->first == "iinf") {
            readIinf(payload, meta);
        } else if (child->first == "iloc") {
            if (!readIloc(payload, meta))
                return Error{QStringLiteral("its item locations are cut short")};
        } else if (child->first == "iprp") {
            if (!readIprp(payload, meta))
                return Error{pastTheEnd()};
        } else if (child->first == "idat") {
            meta.idatBegin = payload.pos();
            meta.idatSize = payload.end() - payload.pos();
        }
    }
    if (!box.ok())
        return Error{pastTheEnd()};
    return meta;
}

// The first bytes of an item's data, from the file or from 'idat'.
QByteArray itemHead(QIODevice &device, const QByteArray &metaBytes, const Meta &meta,
                    const Item &item, const quint64 most = 32)
{
    if (item.extents.isEmpty())
        return {};
    const Extent &first = item.extents.first();
    const qint64 wanted =
        static_cast<qint64>(qMin<quint64>(first.length ? first.length : most, most));
    if (item.method == 1)
        return metaBytes.mid(meta.idatBegin + static_cast<qsizetype>(first.offset), wanted);
    if (item.method != 0 || !device.seek(static_cast<qint64>(first.offset)))
        return {};
    return device.read(wanted);
}

bool extentsInside(const Meta &meta, const qint64 fileSize)
{
    for (const Item &item : meta.items) {
        const quint64 limit = item.method == 1   ? static_cast<quint64>(meta.idatSize)
                              : item.method == 0 ? static_cast<quint64>(fileSize)
                                                 : std::numeric_limits<quint64>::max();
        for (const Extent &extent : item.extents) {
            if (extent.offset > limit || extent.length > limit - extent.offset)
                return false;
        }
    }
    return true;
}

// The output size a grid ('grid') or overlay ('iovl') records, and a grid's tile count.
void derivedSize(const QByteArray &head, const QByteArray &type, HeifLayout &layout)
{
    Reader data(head);
    data.uint(1);
    const int fieldSize = (data.uint(1) & 1) != 0 ? 4 : 2;
    if (type == "grid") {
        const auto rows = static_cast<int>(data.uint(1)) + 1;
        layout.tiles = rows * (static_cast<int>(data.uint(1)) + 1);
    } else {
        data.uint(8); // canvas fill colour
    }
    const auto width = data.uint(fieldSize);
    const auto height = data.uint(fieldSize);
    if (data.ok())
        layout.size = QSize(static_cast<int>(qMin<quint64>(width, INT_MAX)),
                            static_cast<int>(qMin<quint64>(height, INT_MAX)));
}

// Reads a header bit by bit, most significant first; every overrun reads as zero and clears
// ok().
class BitReader
{
public:
    explicit BitReader(const QByteArray &bytes)
        : m_bytes(bytes)
    {}

    bool ok() const { return m_ok; }

    quint64 bits(int count)
    {
        quint64 value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_bit >= m_bytes.size() * 8) {
                m_ok = false;
                return 0;
            }
            const auto byte = static_cast<quint8>(m_bytes.at(m_bit / 8));
            value = value << 1 | ((byte >> (7 - m_bit % 8)) & 1);
            ++m_bit;
        }
        return value;
    }

private:
    QByteArray m_bytes;
    qsizetype m_bit = 0;
    bool m_ok = true;
};

// The largest frame an AV1 sequence header allows.
QSize av1FrameSize(BitReader &bits)
{
    bits.bits(3 + 1);        // profile, still picture
    if (bits.bits(1) != 0) { // a reduced header, as still pictures have
        bits.bits(5);
    } else {
        bool decoderModel = false;
        int delayBits = 0;
        if (bits.bits(1) != 0) { // timing info
            bits.bits(64);
            if (bits.bits(1) != 0) { // ticks per picture, as an unsigned exp-Golomb number
                int zeros = 0;
                while (bits.bits(1) == 0 && bits.ok() && zeros < 32)
                    ++zeros;
                bits.bits(zeros);
            }
            decoderModel = bits.bits(1) != 0;
            if (decoderModel) {
                delayBits = static_cast<int>(bits.bits(5)) + 1;
                bits.bits(32 + 5 + 5);
            }
        }
        const bool displayDelay = bits.bits(1) != 0;
        const int points = static_cast<int>(bits.bits(5)) + 1;
        for (int i = 0; i < points && bits.ok(); ++i) {
            bits.bits(12);
            if (bits.bits(5) > 7)
                bits.bits(1);
            if (decoderModel && bits.bits(1) != 0)
                bits.bits(2 * delayBits + 1);
            if (displayDelay && bits.bits(1) != 0)
                bits.bits(4);
        }
    }
    const int widthBits = static_cast<int>(bits.bits(4)) + 1;
    const int heightBits = static_cast<int>(bits.bits(4)) + 1;
    const quint64 width = bits.bits(widthBits) + 1;
    const quint64 height = bits.bits(heightBits) + 1;
    if (!bits.ok())
        return {};
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The frame size of the sequence header that opens an AV1 item's data; empty when there is
// none among its first units.
QSize av1FrameSize(const QByteArray &data)
{
    BitReader bits(data);
    for (int unit = 0; unit < 4 && bits.ok(); ++unit) {
        bits.bits(1);
        const quint64 type = bits.bits(4);
        const bool extension = bits.bits(1) != 0;
        const bool sized = bits.bits(1) != 0;
        bits.bits(1 + (extension ? 8 : 0));
        quint64 size = 0;
        for (int i = 0; sized && i < 8; ++i) { // little-endian base 128
            const quint64 byte = bits.bits(8);
            size |= (byte & 0x7F) << (7 * i);
            if ((byte & 0x80) == 0)
                break;
        }
        if (type == 1)
            return av1FrameSize(bits);
        if (!sized || size > quint64(data.size()))
            return {};
        bits.bits(static_cast<int>(8 * size));
    }
    return {};
}

// An item's upright size and tiles, from its 'ispe' and 'irot' and a grid's or overlay's record.
HeifLayout itemLayout(QIODevice &device, const QByteArray &metaBytes, const Meta &meta,
                      const Item &item)
{
    HeifLayout layout;
    bool quarterTurn = false;
    for (const int index : item.properties) {
        if (index < 1 || index > meta.properties.size())
            continue;
        auto [type, property] = meta.properties.at(index - 1);
        if (type == "ispe" && layout.size.isEmpty()) {
            property.uint(4);
            const auto width = property.uint(4);
            const auto height = property.uint(4);
            if (property.ok())
                layout.size = QSize(static_cast<int>(qMin<quint64>(width, INT_MAX)),
                                    static_cast<int>(qMin<quint64>(height, INT_MAX)));
        } else if (type == "irot") {
            quarterTurn = (property.uint(1) & 1) != 0;
        }
    }
    if (item.type == "grid" || item.type == "iovl")
        derivedSize(itemHead(device, metaBytes, meta, item), item.type, layout);
    else if (item.type == "av01")
        layout.coded = av1FrameSize(itemHead(device, metaBytes, meta, item, 256));
    if (quarterTurn) {
        layout.size.transpose();
        layout.coded.transpose();
    }
    return layout;
}

qint64 area(const QSize size)
{
    return static_cast<qint64>(size.width()) * size.height();
}

// The primary image's layout, grown to the largest grid or overlay in the file and counting the
// tiles of all grids: its alpha is one of them and is decoded with it.
Result<HeifLayout> layoutOf(QIODevice &device, const QByteArray &metaBytes, const Meta &meta)
{
    HeifLayout layout = itemLayout(device, metaBytes, meta, meta.items.value(meta.primary));
    int derived = 0;
    for (auto it = meta.items.cbegin(); it != meta.items.cend(); ++it) {
        if (it.key() == meta.primary || (it->type != "grid" && it->type != "iovl"))
            continue;
        if (++derived > MaxDerivedImages)
            return Error{QStringLiteral("it has more than %1 grids").arg(MaxDerivedImages)};
        const HeifLayout other = itemLayout(device, metaBytes, meta, *it);
        layout.tiles += other.tiles;
        if (area(other.size) > area(layout.size))
            layout.size = other.size;
    }
    return layout;
}

} // namespace

Result<HeifLayout> HeifLayout::read(QIODevice &device)
{
    const qint64 fileSize = device.size();
    qint64 pos = 0;
    for (int boxes = 0; boxes < MaxBoxesBeforeMeta && pos + 8 <= fileSize; ++boxes) {
        if (!device.seek(pos))
            return Error{device.errorString()};
        const QByteArray header = device.read(16);
        quint64 size = qFromBigEndian<quint32>(header.constData());
        if (size == 1 && header.size() == 16)
            size = qFromBigEndian<quint64>(header.constData() + 8);
        else if (size == 0)
            size = static_cast<quint64>(fileSize - pos);
        if (size < 8 || size > static_cast<quint64>(fileSize - pos))
            return Error{pastTheEnd()};
        if (header.mid(4, 4) == "meta") {
            if (size > static_cast<quint64>(MaxMetaBytes))
                return Error{QStringLiteral("its description of the image is over 4 MB")};
            const qint64 headerSize = qFromBigEndian<quint32>(header.constData()) == 1 ? 16 : 8;
            device.seek(pos + headerSize);
            const QByteArray bytes = device.read(static_cast<qint64>(size) - headerSize);
            Result<Meta> meta = readMeta(bytes);
            if (!meta)
                return meta.error();
            if (!extentsInside(*meta, fileSize))
                return Error{QStringLiteral("its image data lies past the end of the file")};
            return layoutOf(device, bytes, *meta);
        }
        pos += static_cast<qint64>(size);
    }
    return Error{QStringLiteral("it has no image description")};
}

} // namespace inkveil
