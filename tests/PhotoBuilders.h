// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Photo files built byte by byte (JPEG segments and the EXIF data cameras put in them) and
// handed to the engine. Shared by the tests, the benchmark and the fuzzers' seeds, so that all
// agree on what a camera file looks like.

#include "sources/WorkFile.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QtEndian>

#include <optional>

// A directory entry. Up to four value bytes go into the entry, more after the table, unless
// `field` gives the entry's value field as is (an offset that leads nowhere).
struct Entry
{
    quint16 tag;
    quint16 format;
    quint32 count;
    QByteArray value;
    std::optional<quint32> field = std::nullopt;
};

inline QByteArray segment(uchar marker, const QByteArray &payload)
{
    QByteArray length(2, '\0');
    qToBigEndian(quint16(payload.size() + 2), length.data());
    return QByteArray("\xFF") + char(marker) + length + payload;
}

// A JPEG of the given segments, with a scan and an end that the reader must never need.
inline QByteArray jpeg(const QByteArray &segments)
{
    return QByteArray("\xFF\xD8") + segments + segment(0xDA, "scan") + QByteArray("\x5A\xFF\xD9");
}

// Writes EXIF data in one byte order, as cameras put it into a JPEG's APP1 segment.
struct Tiff
{
    static constexpr quint16 ExifPointer = 0x8769;
    bool big;

    template <typename T> QByteArray number(T v) const
    {
        QByteArray b(qsizetype(sizeof v), '\0');
        big ? qToBigEndian(v, b.data()) : qToLittleEndian(v, b.data());
        return b;
    }
    QByteArray u16(quint16 v) const { return number(v); }
    QByteArray u32(quint32 v) const { return number(v); }
    Entry text(quint16 tag, const QByteArray &s) const
    {
        return {tag, 2, quint32(s.size() + 1), s + '\0'};
    }
    Entry short16(quint16 tag, quint16 v) const { return {tag, 3, 1, u16(v)}; }
    Entry long32(quint16 tag, quint32 v) const { return {tag, 4, 1, u32(v)}; }
    Entry ratio(quint16 tag, quint32 n, quint32 d) const { return {tag, 5, 1, u32(n) + u32(d)}; }

    // The directory as it lies at TIFF offset `at`, followed by its values.
    QByteArray directory(const QList<Entry> &entries, quint32 at, quint32 next = 0) const
    {
        QByteArray table = u16(quint16(entries.size())), values;
        for (const Entry &e : entries) {
            table += u16(e.tag) + u16(e.format) + u32(e.count);
            if (e.field || e.value.size() > 4)
                table += u32(e.field.value_or(at + 6 + 12 * quint32(entries.size()) +
                                              quint32(values.size())));
            else
                table += e.value + QByteArray(4 - e.value.size(), '\0');
            if (!e.field && e.value.size() > 4)
                values += e.value;
        }
        return table + u32(next) + values;
    }
    // Header, IFD0 at `ifd0At` pointing to the EXIF directory when there is one, the EXIF
    // directory, then IFD1 linked from IFD0.
    QByteArray tiff(QList<Entry> ifd0, const QList<Entry> &exif = {}, const QList<Entry> &ifd1 = {},
                    quint32 ifd0At = 8) const
    {
        if (!exif.isEmpty())
            ifd0 << long32(ExifPointer, 0);
        const auto exifAt = quint32(ifd0At + directory(ifd0, 0).size());
        if (!exif.isEmpty())
            ifd0.last().value = u32(exifAt);
        const QByteArray exifDir = exif.isEmpty() ? QByteArray() : directory(exif, exifAt);
        const auto ifd1At = quint32(exifAt + exifDir.size());
        return QByteArray(big ? "MM" : "II") + u16(42) + u32(ifd0At) +
               QByteArray(ifd0At - 8, '\0') + directory(ifd0, ifd0At, ifd1.isEmpty() ? 0 : ifd1At) +
               exifDir + (ifd1.isEmpty() ? QByteArray() : directory(ifd1, ifd1At));
    }
    QByteArray app1(const QByteArray &t) const
    {
        return segment(0xE1, QByteArray("Exif\0\0", 6) + t);
    }
    QByteArray file(const QList<Entry> &ifd0, const QList<Entry> &exif = {}) const
    {
        return jpeg(app1(tiff(ifd0, exif)));
    }
};

// The JPEG with an EXIF segment right after its start-of-image marker, where cameras put it.
inline QByteArray withExifSegment(const QByteArray &jpeg, const QByteArray &app1)
{
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

// The EXIF a camera writes, as TIFF data: make, model, upright orientation, 300 dpi and the date
// in the first directory; exposure, aperture, ISO, date taken, focal length and pixel size in the
// EXIF directory. Tags ascending, as the format asks.
inline QByteArray cameraTiff(const Tiff &t, const QByteArray &make, const QByteArray &model,
                             const QByteArray &taken, quint32 width, quint32 height)
{
    return t.tiff({t.text(0x010F, make), t.text(0x0110, model), t.short16(0x0112, 1),
                   t.ratio(0x011A, 300, 1), t.ratio(0x011B, 300, 1), t.short16(0x0128, 2),
                   t.text(0x0132, taken)},
                  {t.ratio(0x829A, 1, 250), t.ratio(0x829D, 56, 10), t.short16(0x8827, 200),
                   t.text(0x9003, taken), t.ratio(0x920A, 50, 1), t.long32(0xA002, width),
                   t.long32(0xA003, height)});
}

// The photos at these paths as the engine takes them.
inline inkveil::WorkFileList workFiles(const QStringList &paths)
{
    inkveil::WorkFileList files;
    for (const QString &path : paths)
        files.append(std::make_shared<inkveil::WorkFile>(path));
    return files;
}
