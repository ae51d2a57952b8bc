// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/FileIntegrity.h"

#include "imageio/JpegCodec.h"

#include <QList>
#include <QtEndian>

#include <optional>
#include <utility>

namespace inkveil {

namespace {

QByteArray bytesAt(QIODevice &file, const qint64 offset, const qint64 count)
{
    if (offset < 0 || !file.seek(offset))
        return {};
    return file.read(count);
}

quint32 little32(const QByteArray &bytes, const int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// A BMP of uncompressed rows ends after its last row; compressed ones have no length to go by.
bool bmpWhole(QIODevice &file, const QByteArray &header)
{
    if (header.size() < 34 || little32(header, 14) < 40)
        return true;
    const quint32 compression = little32(header, 30);
    if (compression != 0 && compression != 3 && compression != 6)
        return true;
    const qint64 width = qFromLittleEndian<qint32>(header.constData() + 18);
    const qint64 height = qFromLittleEndian<qint32>(header.constData() + 22);
    const qint64 bits = qFromLittleEndian<quint16>(header.constData() + 28);
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    // Divided rather than multiplied: a forged header's rows times its height overflows.
    const qint64 pixelBytes = file.size() - little32(header, 10);
    return pixelBytes >= 0 && (rowBytes == 0 || std::abs(height) <= pixelBytes / rowBytes);
}

// ISO media files (HEIF, AVIF) are a chain of boxes, each giving its length: the last one must
// end within the file.
bool boxesWhole(QIODevice &file)
{
    constexpr int MostBoxes = 64;
    qint64 offset = 0;
    for (int i = 0; i < MostBoxes && offset < file.size(); ++i) {
        const QByteArray box = bytesAt(file, offset, 16);
        if (box.size() < 8)
            return false;
        qint64 length = qFromBigEndian<quint32>(box.constData());
        if (length == 1 && box.size() == 16)
            length = static_cast<qint64>(qFromBigEndian<quint64>(box.constData() + 8));
        else if (length == 0) // to the end of the file
            return true;
        if (length < 8)
            return true; // not a box chain we know; the decoder judges
        offset += length;
    }
    return offset <= file.size();
}

// A TIFF says where each strip or tile of its first image lies and how long it is: the last one
// must end within the file. Only the first directory and its two arrays are read; a directory
// of a shape not known here passes, and the decoder judges.
class TiffLayout
{
public:
    TiffLayout(QIODevice &file, const QByteArray &header)
        : m_file(file)
        , m_motorola(header.startsWith("MM"))
        , m_version(number(header, 2, 2))
        , m_big(m_version == 43)
    {}

    bool whole() const
    {
        if (m_version != 42 && m_version != 43)
            return true;
        const QByteArray start = bytesAt(m_file, 0, 16);
        const quint64 directory = m_big ? number(start, 8, 8) : number(start, 4, 4);
        const int countSize = m_big ? 8 : 2;
        const QByteArray countBytes = bytesAt(m_file, qint64(directory), countSize);
        if (directory > quint64(m_file.size()) || countBytes.size() < countSize)
            return false;
        const quint64 count = number(countBytes, 0, countSize);
        if (count == 0 || count > MostEntries)
            return true;
        const QByteArray entries =
            bytesAt(m_file, qint64(directory) + countSize, qint64(count) * entrySize());
        if (entries.size() < qint64(count) * entrySize())
            return false;
        for (const auto &[offsetsTag, lengthsTag] : {std::pair{273, 279}, std::pair{324, 325}}) {
            const QByteArray offsets = entry(entries, offsetsTag);
            const QByteArray lengths = entry(entries, lengthsTag);
            if (!offsets.isEmpty() && !lengths.isEmpty())
                return partsWithin(offsets, lengths);
        }
        return true;
    }

private:
    static constexpr quint64 MostEntries = 4096;
    static constexpr quint64 MostParts = quint64(1) << 20;

    int entrySize() const { return m_big ? 20 : 12; }

    quint64 number(const QByteArray &bytes, const qsizetype at, const int size) const
    {
        quint64 value = 0;
        for (int i = 0; i < size && at + size <= bytes.size(); ++i)
            value = value << 8 | uchar(bytes.at(at + (m_motorola ? i : size - 1 - i)));
        return value;
    }

    QByteArray entry(const QByteArray &entries, const int tag) const
    {
        for (qsizetype at = 0; at + entrySize() <= entries.size(); at += entrySize()) {
            if (number(entries, at, 2) == quint64(tag))
                return entries.mid(at, entrySize());
        }
        return {};
    }

    // The values of a SHORT, LONG or LONG8 array; nullopt when they lie past the file's end,
    // an empty list for a kind not known here.
    std::optional<QList<quint64>> values(const QByteArray &entry) const
    {
        const quint64 type = number(entry, 2, 2);
        const int size = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
        const int field = m_big ? 8 : 4;
        const quint64 count = number(entry, 4, field);
        if (size == 0 || count == 0 || count > MostParts)
            return QList<quint64>();
        const qint64 bytes = qint64(count) * size;
        const QByteArray data =
            bytes <= field ? entry.mid(4 + field, bytes)
                           : bytesAt(m_file, qint64(number(entry, 4 + field, field)), bytes);
        if (data.size() < bytes)
            return std::nullopt;
        QList<quint64> list;
        list.reserve(qsizetype(count));
        for (qint64 at = 0; at < bytes; at += size)
            list.append(number(data, at, size));
        return list;
    }

    bool partsWithin(const QByteArray &offsetsEntry, const QByteArray &lengthsEntry) const
    {
        const std::optional<QList<quint64>> offsets = values(offsetsEntry);
        const std::optional<QList<quint64>> lengths = values(lengthsEntry);
        if (!offsets || !lengths)
            return false;
        const auto size = quint64(m_file.size());
        for (qsizetype i = 0; i < std::min(offsets->size(), lengths->size()); ++i) {
            if (offsets->at(i) > size || lengths->at(i) > size - offsets->at(i))
                return false;
        }
        return true;
    }

    QIODevice &m_file;
    const bool m_motorola;
    const quint64 m_version; // 42, or 43 for BigTIFF
    const bool m_big;
};

bool tailHas(QIODevice &file, const QByteArray &marker)
{
    const qint64 from = std::max<qint64>(0, file.size() - FileIntegrity::TailBytes);
    return bytesAt(file, from, FileIntegrity::TailBytes).contains(marker);
}

// GIF ends with its trailer byte, possibly followed by padding zeros.
bool gifWhole(QIODevice &file)
{
    const qint64 from = std::max<qint64>(0, file.size() - FileIntegrity::TailBytes);
    QByteArray tail = bytesAt(file, from, FileIntegrity::TailBytes);
    while (tail.endsWith('\0'))
        tail.chop(1);
    return tail.endsWith(';');
}

bool whole(QIODevice &file, const QByteArray &header)
{
    if (header.startsWith("\xFF\xD8\xFF"))
        return tailHas(file, QByteArrayLiteral("\xFF\xD9"));
    if (header.startsWith("\x89PNG\r\n\x1A\n"))
        return tailHas(file, QByteArrayLiteral("IEND"));
    if (header.startsWith("GIF8"))
        return gifWhole(file);
    if (header.startsWith("BM"))
        return bmpWhole(file, header);
    if (header.startsWith("RIFF") && header.mid(8, 4) == "WEBP" && header.size() >= 12)
        return file.size() >= qint64(little32(header, 4)) + 8;
    if (header.mid(4, 4) == "ftyp")
        return boxesWhole(file);
    if (header.startsWith("II") || header.startsWith("MM"))
        return TiffLayout(file, header).whole();
    return true;
}

} // namespace

QString FileIntegrity::endProblem(QIODevice &file)
{
    const qint64 position = file.pos();
    const QByteArray header = bytesAt(file, 0, 34);
    const bool ok = whole(file, header);
    file.seek(position);
    return ok ? QString() : QString::fromLatin1(JpegCodec::EndsEarly);
}

} // namespace inkveil
