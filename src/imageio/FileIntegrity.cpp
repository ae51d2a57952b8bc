// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/FileIntegrity.h"

#include "imageio/JpegCodec.h"

#include <QtEndian>

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
    return file.size() >= little32(header, 10) + rowBytes * std::abs(height);
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
